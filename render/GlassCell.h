// Glass cell gathered by the frame's cell walk, with its distance from the eye (world units)
// to the cell's centre; the glass pass draws them far to near.
#pragma once

struct GlassCell {
  int x = 0, y = 0, z = 0;
  float distance = 0.0f;
};
