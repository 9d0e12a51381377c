// Glass cell gathered by the frame's cell walk, with its distance from the eye (world units)
// to the cell's centre; the glass pass draws them far to near. `faces`: the kBlockFaces bits of
// the faces that can show; `reach`: the bits of the sides where the cube spans the whole cell
// (half edge 0.5, not 0.45) because a drawn neighbour closes that side.
#pragma once

struct GlassCell {
  int x = 0, y = 0, z = 0;
  float distance = 0.0f;
  unsigned faces = 63u;
  unsigned reach = 0u;
};
