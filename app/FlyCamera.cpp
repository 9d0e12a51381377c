// FlyCamera: the body camera's reset, jump, per-frame update and the body: an upright box swept
// through the grid one axis at a time, standing, stepping up, ducking, gravity and the soft
// push-out. Seconds and grid units; cell (x, y, z) is the unit cube centred on (x, y, z).
#include "app/FlyCamera.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "world/LightGrid.h"

namespace {

float component(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

Vec3 along(int axis, float d) {
  return Vec3(axis == 0 ? d : 0.0f, axis == 1 ? d : 0.0f, axis == 2 ? d : 0.0f);
}

// The first and the last index of the cells whose span [k - 0.5, k + 0.5] overlaps (lo, hi) by
// more than kContact.
int firstCell(float lo) { return static_cast<int>(std::floor(lo + FlyCamera::kContact - 0.5f)) + 1; }
int lastCell(float hi) { return static_cast<int>(std::ceil(hi - FlyCamera::kContact + 0.5f)) - 1; }

// What a sweep met: how far the box may move, and whether a solid cell stopped it, at which face.
struct Hit {
  float moved = 0.0f;
  bool blocked = false;
  float face = 0.0f;
  int cell = 0;  // the index along the axis of the layer of cells that stopped it
};

}  // namespace

FlyCamera::FlyCamera() : ViewCamera(Vec3(0, 0, 0), Vec3(0, 0, 0), Vec3(0, 1, 0)) {}

void FlyCamera::reset() {
  // 64 horizontal directions, 2 pi / 64 apart; the angle is accumulated by repeated addition.
  const double angleStep = 0.0981747703125;
  double angle = 0.0;
  probeDirections.clear();
  for (int k = 0; k < 64; ++k) {
    probeDirections.push_back(
        Vec3(static_cast<float>(std::cos(angle)), 0.0f, static_cast<float>(std::sin(angle))));
    angle += angleStep;
  }
  setView(Vec3(10, 5, 10), Vec3(0, 0, 1), Vec3(0, 1, 0));
  velocity = Vec3(0, 0, 0);
  jumpCooldown = 0.0;
  legs = kEyeHeight;
}

void FlyCamera::update(double dt) {
  ViewCamera::update(static_cast<float>(dt));
  // The view matrix is already built, so this frame's body movement shows next frame.
  moveBody(kProbeSamples, dt);
  jumpCooldown -= dt;
}

void FlyCamera::jump(double speed) {
  // No ground test: a jump is allowed once per cooldown, in mid-air as well.
  if (jumpCooldown < 0.0) {
    velocity = Vec3(0.0f, static_cast<float>(speed), 0.0f);
    jumpCooldown = kJumpCooldown;
  }
}

bool FlyCamera::solidToBody(int x, int y, int z) const {
  if (grid == nullptr) return false;
  if (!grid->inside(x, y, z)) return true;
  const long i = grid->index(x, y, z);
  if (grid->opacityAt(i) > kSolidThreshold) return true;
  // Lamps are fittings of the floor and ceiling; the wandering light is only light.
  return grid->emitterAt(i) && !(x == grid->lightX && y == grid->lightY && z == grid->lightZ);
}

bool FlyCamera::overlaps(const Vec3& lo, const Vec3& hi) const {
  if (grid == nullptr) return false;
  for (int y = firstCell(lo.y); y <= lastCell(hi.y); ++y)
    for (int z = firstCell(lo.z); z <= lastCell(hi.z); ++z)
      for (int x = firstCell(lo.x); x <= lastCell(hi.x); ++x)
        if (solidToBody(x, y, z)) return true;
  return false;
}

namespace {

// The sweep proper: steps the box's leading face from one cell boundary to the next along
// `axis` and stops at the first layer of cells (over the box's extent on the other two axes)
// holding a solid cell. Cells the box already overlaps never stop it, so a body caught in a
// freshly edited cell can still leave it.
template <typename Solid>
Hit sweepBox(const Vec3& lo, const Vec3& hi, int axis, float d, const Solid& solid) {
  Hit hit;
  hit.moved = d;
  if (d == 0.0f) return hit;
  const int b = (axis + 1) % 3, c = (axis + 2) % 3;
  const int b0 = firstCell(component(lo, b)), b1 = lastCell(component(hi, b));
  const int c0 = firstCell(component(lo, c)), c1 = lastCell(component(hi, c));
  const auto layerSolid = [&](int n) {
    int at[3];
    at[axis] = n;
    for (int i = b0; i <= b1; ++i)
      for (int j = c0; j <= c1; ++j) {
        at[b] = i;
        at[c] = j;
        if (solid(at[0], at[1], at[2])) return true;
      }
    return false;
  };
  const int step = d > 0.0f ? 1 : -1;
  const float from = d > 0.0f ? component(hi, axis) : component(lo, axis);
  // The outside is solid, so the walk ends at the grid's bounds at the latest.
  for (int n = d > 0.0f ? lastCell(from) + 1 : firstCell(from) - 1;; n += step) {
    const float face = static_cast<float>(n) - 0.5f * static_cast<float>(step);
    const float past = (from + d - face) * static_cast<float>(step);
    if (past <= FlyCamera::kContact) return hit;  // touches the next layer at most
    if (layerSolid(n)) {
      hit.blocked = true;
      hit.face = face;
      hit.cell = n;
      hit.moved = (face - from) * static_cast<float>(step) > 0.0f ? face - from : 0.0f;
      return hit;
    }
  }
}

}  // namespace

float FlyCamera::sweep(const Vec3& lo, const Vec3& hi, int axis, float d) const {
  if (grid == nullptr) return d;
  return sweepBox(lo, hi, axis, d, [this](int x, int y, int z) { return solidToBody(x, y, z); })
      .moved;
}

bool FlyCamera::supported() const {
  return sweep(bodyLow(), bodyHigh(), 1, -2.0f * kContact) > -2.0f * kContact;
}

void FlyCamera::shift(const Vec3& d) {
  eye += d;
  target += d;
}

void FlyCamera::moveBy(const Vec3& d) {
  if (grid == nullptr) {
    shift(d);
    return;
  }
  settle();
  moveAcross(0, d.x, true);
  moveAcross(2, d.z, true);
  moveUpOrDown(d.y);
}

bool FlyCamera::moveAcross(int axis, float d, bool climb) {
  if (d == 0.0f) return false;
  const float before = component(eye, axis);
  if (grid == nullptr) {
    shift(along(axis, d));
    return false;
  }
  const auto solid = [this](int x, int y, int z) { return solidToBody(x, y, z); };
  const float side = d > 0.0f ? kBodyRadius : -kBodyRadius;
  // A blocked move ends with the body's side exactly on the face it met.
  const auto moveTo = [&](const Hit& hit) {
    if (hit.blocked && hit.moved != 0.0f) {
      shift(along(axis, hit.face - side - before));
    } else {
      shift(along(axis, hit.moved));
    }
  };
  const Vec3 lo = bodyLow(), hi = bodyHigh();
  const Hit hit = sweepBox(lo, hi, axis, d, solid);
  if (!hit.blocked || !climb) {
    moveTo(hit);
    return hit.blocked;
  }

  // The layer of cells that stopped the box, read as runs of open cells: each run is a gap the
  // body may pass through, feet raised onto a step below it or head lowered under its top. The
  // gaps are tried in order of the least change to the body.
  struct Gap {
    float cost, feet, eye;
  };
  std::vector<Gap> gaps;
  const int other = axis == 0 ? 2 : 0;
  const int o0 = firstCell(component(lo, other)), o1 = lastCell(component(hi, other));
  const auto open = [&](int layer) {
    for (int j = o0; j <= o1; ++j)
      if (solidToBody(axis == 0 ? hit.cell : j, layer, axis == 0 ? j : hit.cell)) return false;
    return true;
  };
  const float feet = lo.y;
  const int top = lastCell(feet + kStepHeight) + 1;
  for (int y = firstCell(feet) - 1; y <= top; ++y) {
    if (!open(y)) continue;
    int end = y;
    while (open(end + 1)) ++end;  // the outside above the grid ends every gap
    const float gapLow = static_cast<float>(y) - 0.5f, gapHigh = static_cast<float>(end) + 0.5f;
    y = end + 1;
    const float newFeet = std::max(feet, gapLow);
    if (newFeet - feet > kStepHeight + kContact) continue;  // beyond a step's reach
    const float newEye = std::min(std::max(eye.y, newFeet + kMinLegs), gapHigh - kHeadMargin);
    if (newEye < newFeet + kMinLegs - kContact) continue;  // too low even bent double
    gaps.push_back({std::fabs(newEye - eye.y) + (newFeet - feet), newFeet, newEye});
  }
  std::sort(gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) { return a.cost < b.cost; });
  for (const Gap& gap : gaps) {
    // Stepping up may first raise the head where the body stands; ducking and drawing up the
    // feet only shrink the box.
    const float rise = gap.eye - eye.y;
    if (rise > 0.0f && sweep(lo, hi, 1, rise) < rise) continue;
    const Vec3 lo2(lo.x, gap.feet, lo.z), hi2(hi.x, gap.eye + kHeadMargin, hi.z);
    if (overlaps(lo2, hi2)) continue;
    const Hit further = sweepBox(lo2, hi2, axis, d, solid);
    if (std::fabs(further.moved) <= std::fabs(hit.moved) + kContact) continue;
    shift(Vec3(0.0f, rise, 0.0f));
    legs = eye.y - gap.feet;
    moveTo(further);
    return further.blocked;
  }
  moveTo(hit);
  return true;
}

bool FlyCamera::moveUpOrDown(float d) {
  if (d == 0.0f) return false;
  const float before = eye.y;
  if (grid == nullptr) {
    shift(Vec3(0.0f, d, 0.0f));
    return false;
  }
  const Hit hit = sweepBox(bodyLow(), bodyHigh(), 1, d,
                           [this](int x, int y, int z) { return solidToBody(x, y, z); });
  // Landing puts the feet exactly on the top face, so a standing eye is kEyeHeight above it.
  if (hit.blocked && hit.moved != 0.0f) {
    const float to = d > 0.0f ? hit.face - kHeadMargin : hit.face + legs;
    shift(Vec3(0.0f, to - before, 0.0f));
  } else {
    shift(Vec3(0.0f, hit.moved, 0.0f));
  }
  return hit.blocked;
}

void FlyCamera::straighten(float rise) {
  if (grid == nullptr || legs >= kEyeHeight) return;
  const float feet = eye.y - legs;
  // Hanging legs reach down at once; the eye stays.
  const float down = -sweep(bodyLow(), bodyHigh(), 1, legs - kEyeHeight);
  legs = std::min(kEyeHeight, eye.y - (feet - down));
  if (legs >= kEyeHeight) return;
  // Legs on the ground straighten by lifting the eye, as far as the room above allows.
  const float want = std::min(rise, kEyeHeight - legs);
  const float up = sweep(bodyLow(), bodyHigh(), 1, want);
  if (up <= 0.0f) return;
  if (up >= kEyeHeight - legs) {
    shift(Vec3(0.0f, (eye.y - legs + kEyeHeight) - eye.y, 0.0f));
    legs = kEyeHeight;
  } else {
    shift(Vec3(0.0f, up, 0.0f));
    legs += up;
  }
}

bool FlyCamera::fitLegs(const Vec3& at, float& fitted) const {
  fitted = kEyeHeight;
  const int x0 = firstCell(at.x - kBodyRadius), x1 = lastCell(at.x + kBodyRadius);
  const int z0 = firstCell(at.z - kBodyRadius), z1 = lastCell(at.z + kBodyRadius);
  // From the highest layer whose top face is not above the eye, downwards while within reach.
  for (int y = static_cast<int>(std::floor(at.y - 0.5f));; --y) {
    const float top = static_cast<float>(y) + 0.5f;
    if (top <= at.y - kEyeHeight + kContact) return true;
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x)
        if (solidToBody(x, y, z)) {
          fitted = at.y - top;
          return fitted >= kMinLegs - kContact;
        }
  }
}

void FlyCamera::settle() {
  if (grid == nullptr || !overlaps(bodyLow(), bodyHigh())) return;
  float fitted = kEyeHeight;
  const bool fits = fitLegs(eye, fitted);
  if (fits && !overlaps(Vec3(eye.x - kBodyRadius, eye.y - fitted, eye.z - kBodyRadius), bodyHigh())) {
    legs = fitted;
    return;
  }
  // The smallest move along one axis that takes the body clear of every solid cell it overlaps,
  // its legs fitted anew wherever it ends.
  const Vec3 lo = bodyLow(), hi = bodyHigh();
  float clear[6] = {0, 0, 0, 0, 0, 0};  // +x, -x, +y, -y, +z, -z
  for (int y = firstCell(lo.y); y <= lastCell(hi.y); ++y)
    for (int z = firstCell(lo.z); z <= lastCell(hi.z); ++z)
      for (int x = firstCell(lo.x); x <= lastCell(hi.x); ++x) {
        if (!solidToBody(x, y, z)) continue;
        const int cell[3] = {x, y, z};
        for (int axis = 0; axis < 3; ++axis) {
          const float k = static_cast<float>(cell[axis]);
          clear[2 * axis] = std::max(clear[2 * axis], k + 0.5f - component(lo, axis));
          clear[2 * axis + 1] = std::min(clear[2 * axis + 1], k - 0.5f - component(hi, axis));
        }
      }
  float best = 0.0f, bestLegs = kEyeHeight;
  Vec3 bestMove;
  // The seventh way: up onto the cells below with the legs bent as far as they go, for a room
  // too low above them to stand in (a floor put back under the feet in a room of three layers).
  for (int i = 0; i < 7; ++i) {
    const Vec3 move = i < 6 ? along(i / 2, clear[i]) : along(1, clear[2] - legs + kMinLegs);
    if (i == 6 && !(clear[2] > 0.0f && move.y > 0.0f)) continue;
    const Vec3 at = eye + move;
    float l = kEyeHeight;
    if (!fitLegs(at, l)) continue;
    const Vec3 lo2(at.x - kBodyRadius, at.y - l, at.z - kBodyRadius);
    const Vec3 hi2(at.x + kBodyRadius, at.y + kHeadMargin, at.z + kBodyRadius);
    if (overlaps(lo2, hi2)) continue;
    const float distance = move.length();
    if (best == 0.0f || distance < best) {
      best = distance;
      bestMove = move;
      bestLegs = l;
    }
  }
  if (best > 0.0f) {
    shift(bestMove);
    legs = bestLegs;
  } else if (fits) {
    legs = fitted;
  }
}

void FlyCamera::moveBody(int steps, double seconds) {
  const float dt = static_cast<float>(seconds);
  settle();

  Vec3 push(0.0f, 0.0f, 0.0f);
  // Until the world builder hands over the grid there is nothing to collide with.
  if (grid != nullptr) {
    // Sample each direction from the rim of the probe ring towards the eye; every sample where
    // the obstacles rise above what the eye itself sits in adds one spacing of push away from
    // them. Measured against the eye, a floor or ceiling close above or below, which raises the
    // interpolated opacity all around alike, neither pushes nor hides the walls.
    const Vec3 p = eye;
    const float inside = grid->sampleAt(p.x, p.y, p.z).opacity + kSolidThreshold;
    for (const Vec3& d : probeDirections) {
      Vec3 q = p + d * kProbeRadius;
      const Vec3 v = -d * kProbeSpacing;
      for (int j = 0; j < steps; ++j) {
        if (grid->sampleAt(q.x, q.y, q.z).opacity > inside) push += v;
        q += v;
      }
    }
  }
  push = push * kPushScale;
  moveAcross(0, push.x, false);
  moveAcross(2, push.z, false);
  moveUpOrDown(push.y);

  velocity = velocity * kDamping + Vec3(0.0f, kGravity, 0.0f) * dt;
  // Held "e" carries the body up against gravity; let go, it falls as any body does.
  if (upKey && velocity.y < 0.0f) velocity.y = 0.0f;

  // Substeps short enough that a fast body turns corners as it would moving continuously; each
  // axis is swept whole, so nothing is passed through whatever the speed.
  const float longest =
      std::max({std::fabs(velocity.x), std::fabs(velocity.y), std::fabs(velocity.z)}) * dt;
  const int substeps = std::min(64, std::max(1, static_cast<int>(std::ceil(longest / kMaxSubstep))));
  const float h = dt / static_cast<float>(substeps);
  for (int s = 0; s < substeps; ++s) {
    // A wall stops the speed towards it; landing stops a fall, a ceiling a rise.
    const float dx = velocity.x * h, dz = velocity.z * h, dy = velocity.y * h;
    if (moveAcross(0, dx, true)) velocity.x = 0.0f;
    if (moveAcross(2, dz, true)) velocity.z = 0.0f;
    if (moveUpOrDown(dy)) velocity.y = 0.0f;
  }
  // Resting on the ground gathers no downward speed, so a rise key lifts the body at once.
  if (velocity.y < 0.0f && grid != nullptr && supported()) velocity.y = 0.0f;
  straighten(kStandSpeed * dt);
}
