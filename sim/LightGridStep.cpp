// The light diffusion step: every cell's next light is the decayed, opacity-dimmed average of
// its own and its six face neighbours' light plus its emission; then the wandering light may
// move one cell. Single precision throughout; this file is built without FP contraction so
// that no sum or product is fused and every result is the rounded value of each operation.
#include <cassert>
#include <cstdlib>

#include "world/LightGrid.h"

namespace {

constexpr float kOpaque = 0.999f;  // same floats are below it as below the double 0.999
constexpr float kNeighbourhood = 7.0f;
constexpr int kMoveChance = 10;
constexpr int kMoveDirections = 6;

// A neighbour row of the sweep: cell x of the row is at[x * step]; a row beyond the grid is
// the outside cell repeated (step 0), whose light is zero.
struct Row {
  const GridCell* at;
  long step;
  const float* light(int x) const { return at[x * step].light; }
};

// The sweep's rule for one cell, given its six neighbours' light in the order of the sum.
inline void diffuse(const GridCell& c, const float* xp, const float* xm, const float* yp,
                    const float* ym, const float* zp, const float* zm, float strength,
                    float decay, GridCell& out) {
  float d[3] = {0.0f, 0.0f, 0.0f};
  if (c.opacity < kOpaque) {
    const float keep = 1.0f - c.opacity;
    for (int k = 0; k < 3; ++k) {
      float s = c.light[k];
      s += xp[k];
      s += xm[k];
      s += yp[k];
      s += ym[k];
      s += zp[k];
      s += zm[k];
      d[k] = keep * (s / kNeighbourhood);
    }
  }
  if (c.emitter) {
    for (int k = 0; k < 3; ++k) d[k] = d[k] + strength * c.emission[k];
  }
  out = c;
  for (int k = 0; k < 3; ++k) out.light[k] = d[k] * decay;
  out.hidden = true;
}

}  // namespace

void LightGrid::step() {
  assert(allocated && current != next);
  // A grid without cells has nothing to diffuse and no cell for the light to move to.
  if (sizeX <= 0 || sizeY <= 0 || sizeZ <= 0) return;
  const float* none = outside.light;
  const long plane = static_cast<long>(sizeX) * sizeY;

  // Interior cells read their neighbours directly; only the rows on the grid's faces and the
  // first and last cell of each row meet the outside, and those take its zero light.
  for (int z = 0; z < sizeZ; ++z) {
    for (int y = 0; y < sizeY; ++y) {
      const long base = index(0, y, z);
      const GridCell* own = current + base;
      GridCell* out = next + base;
      const Row yp = y + 1 < sizeY ? Row{own + sizeX, 1} : Row{&outside, 0};
      const Row ym = y > 0 ? Row{own - sizeX, 1} : Row{&outside, 0};
      const Row zp = z + 1 < sizeZ ? Row{own + plane, 1} : Row{&outside, 0};
      const Row zm = z > 0 ? Row{own - plane, 1} : Row{&outside, 0};

      if (sizeX == 1) {
        diffuse(own[0], none, none, yp.light(0), ym.light(0), zp.light(0), zm.light(0), strength,
                decay, out[0]);
        continue;
      }
      diffuse(own[0], own[1].light, none, yp.light(0), ym.light(0), zp.light(0), zm.light(0),
              strength, decay, out[0]);
      const int last = sizeX - 1;
      for (int x = 1; x < last; ++x) {
        diffuse(own[x], own[x + 1].light, own[x - 1].light, yp.light(x), ym.light(x),
                zp.light(x), zm.light(x), strength, decay, out[x]);
      }
      diffuse(own[last], none, own[last - 1].light, yp.light(last), ym.light(last),
              zp.light(last), zm.light(last), strength, decay, out[last]);
    }
  }

  // The wandering light. The cells it rewrites keep their content from before this step.
  if (std::rand() % 100 < kMoveChance) {
    const int direction = std::rand() % kMoveDirections;
    const GridCell light = getCell(lightX, lightY, lightZ);
    int tx = lightX, ty = lightY, tz = lightZ;
    switch (direction) {
      case 0: ++tx; break;
      case 1: --tx; break;
      case 2: ++ty; break;
      case 3: --ty; break;
      case 4: ++tz; break;
      default: --tz; break;
    }
    const GridCell target = getCell(tx, ty, tz);
    // A light placed off the grid (a map smaller than its start cell) has no cell to carry its
    // colour from, so it stays where it is instead of moving in as a dark emitter.
    if (inside(lightX, lightY, lightZ) && inside(tx, ty, tz) && target.opacity < 1.0f &&
        !target.emitter) {
      GridCell left = light;
      left.emitter = false;
      for (float& e : left.emission) e = 0.0f;
      setNextCell(lightX, lightY, lightZ, left);
      lightX = tx;
      lightY = ty;
      lightZ = tz;
      GridCell entered = target;
      entered.emitter = true;
      for (int k = 0; k < 3; ++k) entered.emission[k] = light.emission[k];
      setNextCell(lightX, lightY, lightZ, entered);
    } else {
      setNextCell(lightX, lightY, lightZ, light);
    }
  }

  swapBuffers();
}
