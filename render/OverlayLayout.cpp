// OverlayLayout: the overlay's place and scale in the window.
#include "render/OverlayLayout.h"

#include <algorithm>

OverlayLayout::OverlayLayout(int windowWidth, int windowHeight, int mapWidth, int mapHeight)
    : columns(mapWidth), rows(mapHeight) {
  const float side = std::min(windowWidth, windowHeight) / 3.0f;
  const int longer = std::max(1, std::max(mapWidth, mapHeight));
  cell = side / longer;
}
