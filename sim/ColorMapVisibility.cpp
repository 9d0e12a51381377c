// The top-down visibility pass: fans of rays cast over the ColorMap from around the camera, its
// work bounded by the rays' reach. World (px, pz) falls into pixel (truncate(px), truncate(pz));
// angles are radians from +x toward +z; distances are grid units.
#include <cassert>
#include <cmath>

#include "world/ColorMap.h"

namespace {

constexpr double kPi = 3.14159265;
constexpr double kFullCircle = 6.2831853;
constexpr double kFanSpread = 0.275;
constexpr float kAheadDistance = 3.0f;
constexpr double kFanOffset = 0.45;
constexpr double kRayStep = 1.0;

// Truncation toward zero lands inside [0, size) exactly when -1 < p < size; testing the
// coordinate before converting also keeps huge or NaN positions away from the int conversion.
bool onRaster(double p, int size) { return p > -1.0 && p < static_cast<double>(size); }

}  // namespace

void ColorMap::markAt(float px, float pz, const Pixel& colour) {
  if (!onRaster(px, width) || !onRaster(pz, height)) return;
  const int x = static_cast<int>(px), y = static_cast<int>(pz);
  marks[static_cast<long>(y) * width + x] = colour;
  markedBox.add(x, y);
}

ColumnBox ColorMap::fanReach(double startX, double startZ, double maxDistance) const {
  // A sample lies less than maxDistance from the start along each axis (the rounded sum cannot
  // pass the rounded bound either), and its pixel is its coordinate truncated; a pixel of margin
  // on each side covers the rest. Bounds are clamped near the raster before they become ints; a
  // start that is not a number samples nothing and gives an empty box.
  const auto pixel = [](double p, int size) {
    return static_cast<int>(std::floor(std::fmin(std::fmax(p, -2.0), size + 2.0)));
  };
  const ColumnBox reach{pixel(startX - maxDistance, width) - 1,
                        pixel(startZ - maxDistance, height) - 1,
                        pixel(startX + maxDistance, width) + 2,
                        pixel(startZ + maxDistance, height) + 2};
  return reach.within(ColumnBox::of(width, height));
}

void ColorMap::updateVisibility(int rays, const Vec3& eye, const Vec3& target, double around) {
  assert(allocated);
  resetMarks();
  eyeX = eye.x;
  eyeZ = eye.z;

  const Vec3 n = normalize(target - eye);
  const float aheadX = eye.x + kAheadDistance * n.x;
  const float aheadZ = eye.z + kAheadDistance * n.z;
  markAt(eyeX, eyeZ, kCamera);
  // The ahead mark never replaces a wall: the rays stop at walls read from the marks.
  if (!onRaster(aheadX, width) || !onRaster(aheadZ, height) ||
      markPixel(static_cast<int>(aheadX), static_cast<int>(aheadZ)) != kWall) {
    markAt(aheadX, aheadZ, kAhead);
  }

  const double angleStep = (kPi / rays) * kFanSpread;

  // Looking straight up or down (or at the eye itself) leaves no horizontal direction: the
  // previous heading stays rather than a division by a zero length.
  const double dx = static_cast<double>(aheadX) - eyeX;
  const double dz = static_cast<double>(aheadZ) - eyeZ;
  const double length = std::sqrt(dx * dx + dz * dz);
  if (length > 0.0 && std::isfinite(length)) {
    const double ux = std::fmin(1.0, std::fmax(-1.0, dx / length));
    heading = dz / length >= 0.0 ? std::acos(ux) : kFullCircle - std::acos(ux);
  }

  // Nine fans from the points around the eye, in rows of z.
  float starts[9][2];
  ColumnBox reach;
  for (int f = 0; f < 9; ++f) {
    starts[f][0] = static_cast<float>(eyeX + kFanOffset * (f % 3 - 1));
    starts[f][1] = static_cast<float>(eyeZ + kFanOffset * (f / 3 - 1));
    reach.add(fanReach(starts[f][0], starts[f][1], kRayRange));
  }
  beginCasting(reach);
  for (const auto& start : starts)
    castFanOnRaster(rays, heading, start[0], start[1], kRayStep, angleStep, kRayRange);
  // Pixel (x, z) covers [x, x + 1) x [z, z + 1): its nearest point within `around` of the eye.
  // The box is the fans' reach, which holds every pixel within kRayRange.
  const double radius = std::fmin(around, kRayRange);
  if (radius > 0.0) {
    for (int z = reach.z0; z < reach.z1; ++z)
      for (int x = reach.x0; x < reach.x1; ++x) {
        const double dx = std::fmax(0.0, std::fmax(x - eyeX, eyeX - (x + 1.0)));
        const double dz = std::fmax(0.0, std::fmax(z - eyeZ, eyeZ - (z + 1.0)));
        if (dx * dx + dz * dz <= radius * radius) raySeen[static_cast<long>(z) * width + x] = 1;
      }
  }
  endCasting(reach);

  static const int kAround[9][2] = {{0, 0},  {1, 0},   {-1, 0}, {0, 1}, {0, -1},
                                    {1, 1},  {-1, -1}, {1, -1}, {-1, 1}};
  for (const auto& d : kAround) markAt(eyeX + d[0], eyeZ + d[1], kSeenWall);
  // The version resetMarks began changed what it reset and what the pass marked.
  lastChange.add(markedBox);
}

void ColorMap::castFan(int rays, double fanHeading, float startX, float startZ,
                       double stepLength, double angleStep, double maxDistance) {
  const ColumnBox reach = fanReach(startX, startZ, maxDistance);
  beginCasting(reach);
  castFanOnRaster(rays, fanHeading, startX, startZ, stepLength, angleStep, maxDistance);
  endCasting(reach);
  newMarksVersion(reach);
}

// A ray stops at a wall pixel, (50, 50, 50) or already (255, 0, 0), and turns it (255, 0, 0);
// it leaves the camera pixel (0, 255, 0) alone and turns every other pixel (255, 100, 100).
// No ray changes whether a pixel stops rays, so the rays are independent of each other: they
// read which pixels stop them from rayStops, fixed for the whole pass, and only note the
// pixels they sample in raySeen. Keeping what is read apart from what is written also spares
// every sample a wait on an earlier store to the same pixel. Both rasters are whole-map sized but
// made and read only within the pass's reach, which no sample leaves.
void ColorMap::beginCasting(const ColumnBox& reach) {
  const size_t count = static_cast<size_t>(width) * height;
  if (rayStops.size() != count) {
    rayStops.assign(count, 0);
    raySeen.assign(count, 0);
  }
  for (int y = reach.z0; y < reach.z1; ++y)
    for (int x = reach.x0; x < reach.x1; ++x) {
      const long i = static_cast<long>(y) * width + x;
      rayStops[i] = marks[i] == kWall || marks[i] == kSeenWall;
      raySeen[i] = 0;
    }
}

void ColorMap::endCasting(const ColumnBox& reach) {
  for (int y = reach.z0; y < reach.z1; ++y)
    for (int x = reach.x0; x < reach.x1; ++x) {
      const long i = static_cast<long>(y) * width + x;
      if (!raySeen[i] || marks[i] == kCamera) continue;
      marks[i] = rayStops[i] ? kSeenWall : kSeenOpen;
      markedBox.add(x, y);
    }
}

void ColorMap::castFanOnRaster(int rays, double fanHeading, float startX, float startZ,
                               double stepLength, double angleStep, double maxDistance) {
  if (rays <= 0 || maxDistance <= 0.0) return;
  assert(stepLength > 0.0);
  if (rays != directionRays || fanHeading != directionHeading || angleStep != directionStep) {
    rayDirections.resize(4 * static_cast<size_t>(rays));
    for (int k = 0; k < rays; ++k) {
      const double up = fanHeading + k * angleStep;
      const double down = fanHeading - k * angleStep;
      rayDirections[4 * k] = std::cos(up);
      rayDirections[4 * k + 1] = std::sin(up);
      rayDirections[4 * k + 2] = std::cos(down);
      rayDirections[4 * k + 3] = std::sin(down);
    }
    directionRays = rays;
    directionHeading = fanHeading;
    directionStep = angleStep;
  }

  const unsigned char* const stops = rayStops.data();
  unsigned char* const seen = raySeen.data();
  const long rowLength = width;
  const double xLimit = width, zLimit = height;
  for (int r = 0; r < 2 * rays; ++r) {
    const double c = rayDirections[2 * r];
    const double s = rayDirections[2 * r + 1];
    // Each sample coordinate is monotonic in t, so the samples on the raster form one run:
    // once the ray has left the raster no later sample can fall on it.
    bool wasOnRaster = false;
    for (double t = 0.0; t < maxDistance; t += stepLength) {
      const double px = startX + t * c;
      const double pz = startZ + t * s;
      if (!(px > -1.0 && px < xLimit && pz > -1.0 && pz < zLimit)) {
        if (wasOnRaster) break;
        continue;
      }
      wasOnRaster = true;
      const long i = static_cast<int>(pz) * rowLength + static_cast<int>(px);
      seen[i] = 1;
      if (stops[i]) break;
    }
  }
}
