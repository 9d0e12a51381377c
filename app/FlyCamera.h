// The walking body camera: a ViewCamera carried by a body that collides with the grid's solid cells
// on every axis, stands on whatever solid lies under it, climbs one-cell steps, ducks under low
// ceilings, falls under gravity and jumps with a cooldown. Seconds and grid units, y up.
#pragma once

#include <vector>

#include "app/ViewCamera.h"

class LightGrid;

// The body is an upright box around the eye: kBodyRadius to each side in x and z, kHeadMargin
// above the eye, `legs` below it down to the feet. Standing, the legs are kEyeHeight long, so the
// eye rests kEyeHeight above the top face of the solid cell under the feet; a low space bends
// them (down to kMinLegs) and they straighten again, raising the eye, where there is room.
// Every movement of the eye moves the target with it: only the mouse (and levelView) turns the
// view.
//
// A cell is solid to the body when its opacity is above kSolidThreshold (walls, floors, glass)
// or when it is a lamp (an emitter other than the wandering light's cell: the lamps sit in floors
// and ceilings with no opacity of their own); the outside of the grid is solid. Boxes that touch
// a cell's face, or overlap it by less than kContact, do not collide with it.
class FlyCamera : public ViewCamera {
 public:
  FlyCamera();

  // Fills the 64 probe directions, sets the default view and zeroes the body state.
  void reset();
  // View update (mouse look, the movement keys carried by the body, the view matrix), then the
  // body step, then the jump cooldown; dt <= 0.1 s.
  void update(double dt);
  // Starts a jump of the given upward speed when the cooldown has run out.
  void jump(double speed);
  // One body step over `seconds`: the body fitted where it stands, the soft push-out from the
  // probe ring (`steps` samples a direction), gravity and damping, the velocity's move in
  // collision-checked substeps (landing stops a fall, a ceiling stops a rise), then the legs
  // straighten. Eye and target move together.
  void moveBody(int steps, double seconds);
  // Moves the body by d as far as the solid cells allow: the horizontal part first (stepping up
  // onto a one-cell step or ducking under a low ceiling when that gets it further), then the
  // vertical part. Without a grid the eye and target simply move by d.
  void moveBy(const Vec3& d) override;

  // Where the body's box is now: lo and hi corners.
  Vec3 bodyLow() const { return Vec3(eye.x - kBodyRadius, eye.y - legs, eye.z - kBodyRadius); }
  Vec3 bodyHigh() const { return Vec3(eye.x + kBodyRadius, eye.y + kHeadMargin, eye.z + kBodyRadius); }
  // True when the cell (x, y, z) stops the body (the rule above); off the grid always true.
  bool solidToBody(int x, int y, int z) const;
  // True when the body standing with its feet where they are would sink no further.
  bool supported() const;

  // Samples per probe direction taken by the frame update.
  static constexpr int kProbeSamples = 12;
  // Distance from the eye of the first sample on each probe direction.
  static constexpr float kProbeRadius = 0.175f;
  // Distance between samples, and the push one sample inside an obstacle contributes.
  static constexpr float kProbeSpacing = 0.015625f;
  // A probe sample counts as inside an obstacle when the grid's interpolated opacity there is
  // above the opacity at the eye by more than this; a cell of more opacity stops the body.
  static constexpr float kSolidThreshold = 0.05f;
  // Applied to the summed pushes before the eye moves.
  static constexpr float kPushScale = 2.0f * 0.015625f;
  static constexpr float kGravity = -9.98f;   // units per second squared along y
  static constexpr float kDamping = 0.99f;    // velocity factor per frame
  static constexpr double kJumpCooldown = 1.0;  // seconds between jumps

  // The standing eye above the feet: on the usual floor (top face y = 0.5) the eye is at 1.5.
  static constexpr float kEyeHeight = 1.0f;
  // The shortest the legs bend: the eye never comes closer than this to what the feet stand on.
  static constexpr float kMinLegs = 0.25f;
  // Room kept above the eye, and the half width of the body; both keep the nearest cell face
  // beyond the view's near plane.
  static constexpr float kHeadMargin = 0.25f;
  static constexpr float kBodyRadius = 0.25f;
  // The highest top face above the feet that walking steps up onto (one cell).
  static constexpr float kStepHeight = 1.0f;
  // How fast bent legs straighten, raising the eye (units per second).
  static constexpr float kStandSpeed = 4.0f;
  // Overlaps thinner than this count as touching.
  static constexpr float kContact = 1e-3f;
  // The longest move along one axis in one substep of the velocity's move.
  static constexpr float kMaxSubstep = 0.25f;

  LightGrid* grid = nullptr;
  std::vector<Vec3> probeDirections;
  double jumpCooldown = 0.0;
  Vec3 velocity;
  // The eye's height above the feet, kMinLegs..kEyeHeight.
  float legs = kEyeHeight;

 private:
  // The distance (signed as d) the body box [lo, hi] can move along axis (0 x, 1 y, 2 z) before
  // its leading face meets a solid cell it does not already overlap.
  float sweep(const Vec3& lo, const Vec3& hi, int axis, float d) const;
  // True when a solid cell overlaps the box [lo, hi] by more than kContact on every axis.
  bool overlaps(const Vec3& lo, const Vec3& hi) const;
  // Eye and target move by d together.
  void shift(const Vec3& d);
  // A horizontal move along axis 0 or 2; when blocked and `climb`, tries stepping up or ducking.
  // Returns true when a solid cell cut the move short.
  bool moveAcross(int axis, float d, bool climb);
  // A vertical move of the whole body; returns true when a solid cell cut it short.
  bool moveUpOrDown(float d);
  // Bent legs reach down, then straighten against the ground, by at most `rise`.
  void straighten(float rise);
  // The legs fitted to the ground under the eye (feet drawn up onto a top face they cross) and,
  // if the body still overlaps a solid cell, the smallest move along one axis that frees it.
  void settle();
  // The legs for an eye at `at`: kEyeHeight, or less where a solid cell's top face lies closer
  // under the eye in the body's columns; false when that is closer than kMinLegs.
  bool fitLegs(const Vec3& at, float& fitted) const;
};
