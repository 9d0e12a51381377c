// Top-down raster of the room, one pixel per grid column (x, z): the `base` map of the columns
// that stop the visibility's rays, read from the grid's cells, and the per-step visibility
// `marks`. Pixel (x, y) is element y * width + x, where y is the grid's z. A pass costs what the
// rays reach, not what the map holds: only the pixels it and the edits since the last pass wrote
// are reset, and the boxes of those pixels are kept for the reveal, the frame and the overlay.
#pragma once

#include <memory>
#include <vector>

#include "world/ColumnBox.h"
#include "world/Vec3.h"

class LightGrid;

class ColorMap {
 public:
  // One raster pixel: three integers 0-255.
  struct Pixel {
    int r = 0, g = 0, b = 0;
    constexpr bool operator==(const Pixel& o) const { return r == o.r && g == o.g && b == o.b; }
    constexpr bool operator!=(const Pixel& o) const { return !(*this == o); }
  };

  // Raster colours. base: wall and open columns; marks: columns a ray saw (wall or open), the
  // camera and the point ahead of it.
  static constexpr Pixel kWall{50, 50, 50};
  static constexpr Pixel kOpen{255, 255, 255};
  static constexpr Pixel kSeenWall{255, 0, 0};
  static constexpr Pixel kSeenOpen{255, 100, 100};
  static constexpr Pixel kCamera{0, 255, 0};
  static constexpr Pixel kAhead{255, 255, 0};

  // How far a ray of the visibility pass reaches, in grid units.
  static constexpr double kRayRange = 40.0;

  ColorMap() = default;
  ColorMap(const ColorMap&) = delete;
  ColorMap& operator=(const ColorMap&) = delete;

  // Prints "size of occlusion map:W,H" and allocates both rasters filled with (0, 0, 0).
  void resize(int newWidth, int newHeight);
  // Makes marks equal to base. Marks differ from base only where passes and setMark wrote since
  // the last reset, or where base was written since then (setBase, refreshColumn, refreshAll),
  // so only the box of those pixels is copied.
  void resetMarks();
  // Writes a base or mark pixel of an in-range (x, y) and notes it for the next reset (the raw
  // rasters below are read directly, but written only through these and the passes).
  void setBase(int x, int y, const Pixel& colour);
  void setMark(int x, int y, const Pixel& colour);

  // The base raster follows the grid: column (x, z) is kWall exactly when every cell of it, floor
  // and ceiling included, is opaque (GridCell::isOpaque), so a window at any height, an arch, a
  // low wall, a gallery or a trench dug in the floor leaves it kOpen, and so does glass, which is
  // seen through. A grid of fewer than three layers has no room to stand in and all its columns
  // are open. Whatever writes a cell of column (x, z) while the room runs, one cell or the whole
  // column, calls refreshColumn(grid, x, z) after the write; it reads at most sizeY cells. A column
  // outside the grid or the raster is left as it is.
  void refreshColumn(const LightGrid& grid, int x, int z);
  // refreshColumn for every column the grid and the raster share (after a room is built).
  void refreshAll(const LightGrid& grid);
  // The base pixel the grid's column (x, z) calls for, by the rule above; (x, z) inside the grid.
  static Pixel columnBase(const LightGrid& grid, int x, int z);

  // One visibility pass from the camera: marks from base, then nine fans of `rays` rays each
  // around the eye along the horizontal view direction (a view with no horizontal part keeps
  // the previous heading), and every column within `around` of the eye (up to kRayRange), as a
  // view turned down to the floor or up to the ceiling sees them on every side.
  void updateVisibility(int rays, const Vec3& eye, const Vec3& target, double around = 0.0);
  // How far the fans reach either side of the heading (radians).
  static constexpr double kFanHalfAngle = 0.275 * 3.14159265;
  // Casts rays at heading + k * angleStep and heading - k * angleStep, k = 0 .. rays - 1; each
  // marks the open pixels it samples and stops at the first wall pixel.
  void castFan(int rays, double heading, float startX, float startZ, double stepLength,
               double angleStep, double maxDistance);

  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  // Pixel reads for an in-range (x, y).
  const Pixel& basePixel(int x, int y) const { return base[static_cast<long>(y) * width + x]; }
  const Pixel& markPixel(int x, int y) const { return marks[static_cast<long>(y) * width + x]; }

  // The pixels of marks that may differ from base: those the last pass and setMark wrote since
  // the last reset (a pass marks only what its rays reach, around the eye). Empty after a reset.
  const ColumnBox& marked() const { return markedBox; }
  // The pixels of marks that changed since marksVersion was `version`: nothing when it still is,
  // the last change's box when it was one less, else the whole raster.
  ColumnBox changedSince(long version) const;

  float eyeX = 0.0f, eyeZ = 0.0f;
  int width = 0, height = 0;
  bool allocated = false;
  std::unique_ptr<Pixel[]> base;
  std::unique_ptr<Pixel[]> marks;
  // Horizontal view angle of the last pass, radians from +x toward +z.
  double heading = 0.0;
  // Moves whenever the marks may have changed (resize, resetMarks and so every visibility
  // pass, setMark).
  long marksVersion = 0;
  // The grid columns whose cells may be shown (not hidden): everything after resize, as a
  // room's cells are built shown. The Scene keeps it: after a step, the columns of the cells the
  // step left shown; each reveal adds its columns. The frame walks only these columns.
  ColumnBox shownColumns = ColumnBox::everything();

 private:
  // Writes a mark at the pixel of a world position (truncated toward zero); off-map: nothing.
  void markAt(float px, float pz, const Pixel& colour);
  // The pixels a fan from (startX, startZ) can sample out to `maxDistance`, on the raster.
  ColumnBox fanReach(double startX, double startZ, double maxDistance) const;
  // Rays run over byte rasters made from marks by beginCasting and written back by
  // endCasting, both over `reach` (every pixel a ray of the pass can sample); see
  // ColorMapVisibility.cpp for why that gives the same marks.
  void beginCasting(const ColumnBox& reach);
  void endCasting(const ColumnBox& reach);
  void castFanOnRaster(int rays, double fanHeading, float startX, float startZ,
                       double stepLength, double angleStep, double maxDistance);
  // A new marks version whose changes lie in `changed`.
  void newMarksVersion(const ColumnBox& changed);

  ColumnBox markedBox;    // see marked()
  ColumnBox baseWritten;  // base pixels written since the last reset
  ColumnBox lastChange;   // the pixels the latest marks version changed

  std::vector<unsigned char> rayStops;  // 1: the pixel stops rays
  std::vector<unsigned char> raySeen;   // 1: a ray sampled the pixel
  // (cos, sin) of each ray of a fan, ray k at 2k and its mirror at 2k + 1, for the fan shape
  // below; every fan of a pass shares it.
  std::vector<double> rayDirections;
  int directionRays = -1;
  double directionHeading = 0.0, directionStep = 0.0;
};
