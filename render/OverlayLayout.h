// Where the visibility overlay lies in the window: the map seen from above as it lies around the
// viewer (+x to the right, +z down the screen, so a turn to the right turns the view cone
// clockwise), a third of the window's shorter side whatever the map's size, its aspect kept:
// a column is a square, under a pixel on a map wider than that third. Window pixels, origin at
// the lower-left corner, y up (as GL).
#pragma once

struct OverlayLayout {
  // Gap between the overlay and the window's lower-left corner, pixels.
  static constexpr float kMargin = 10.0f;

  OverlayLayout(int windowWidth, int windowHeight, int mapWidth, int mapHeight);

  // Lower-left corner of map column (x, z)'s square.
  float columnX(int x) const { return left + x * cell; }
  float columnY(int z) const { return bottom + (rows - 1 - z) * cell; }
  // The map's extent across and up the window: at least a pixel, so that a map of one column or
  // row among a thousand still shows.
  float width() const { return columns * cell > 1.0f ? columns * cell : 1.0f; }
  float height() const { return rows * cell > 1.0f ? rows * cell : 1.0f; }

  float left = kMargin, bottom = kMargin;
  float cell = 1.0f;  // edge of one column's square
  int columns = 0, rows = 0;
};
