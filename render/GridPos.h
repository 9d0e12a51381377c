// Cell position of an emitter gathered by the frame's cell walk, with the kBlockFaces bits of the
// faces of its cube that can show.
#pragma once

struct GridPos {
  int x = 0, y = 0, z = 0;
  unsigned faces = 63u;
};
