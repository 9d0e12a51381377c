// The room built from decoded map pixels: walls, glass, floor, ceiling, ceiling lights, start
// markers with the camera's start view, the wandering light, and the ColorMap's base raster.
// Pixels are 8-bit RGB, bottom row (z = 0) first; one pixel per grid column (x, z).
#pragma once

class ColorMap;
class FlyCamera;
class LightGrid;

// Builds the room into `grid`, which is already sized (width, room height, height) with empty
// buffers, and `map`, sized (width, height); gives the camera the grid and places it on the
// last start marker. The built world ends up in `current`; the other buffer stays empty.
void buildWorldFromPixels(const unsigned char* rgb, int width, int height, LightGrid& grid,
                          ColorMap& map, FlyCamera& camera);
