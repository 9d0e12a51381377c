// Cell position of an emitter gathered by the frame's cell walk.
#pragma once

struct GridPos {
  int x = 0, y = 0, z = 0;
};
