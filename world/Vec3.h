// Three-float vector of world positions and directions (grid units, y up).
#pragma once

#include <cmath>

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;

  Vec3() = default;
  Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  Vec3 operator+(const Vec3& o) const { return Vec3(x + o.x, y + o.y, z + o.z); }
  Vec3 operator-(const Vec3& o) const { return Vec3(x - o.x, y - o.y, z - o.z); }
  Vec3 operator-() const { return Vec3(-x, -y, -z); }
  Vec3 operator*(float s) const { return Vec3(x * s, y * s, z * s); }
  Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
  Vec3& operator-=(const Vec3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
  bool operator==(const Vec3& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const Vec3& o) const { return !(*this == o); }

  float dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
  float length() const { return std::sqrt(dot(*this)); }

  // this = this x b, computed into the first operand.
  Vec3& cross(const Vec3& b) {
    const Vec3 a = *this;
    x = a.y * b.z - a.z * b.y;
    y = a.z * b.x - a.x * b.z;
    z = a.x * b.y - a.y * b.x;
    return *this;
  }
  // In place: v * (1 / |v|). A zero vector has no direction and is left unchanged.
  Vec3& normalize() {
    const float lengthSquared = dot(*this);
    if (lengthSquared > 0.0f) *this = *this * (1.0f / std::sqrt(lengthSquared));
    return *this;
  }
};

inline Vec3 cross(Vec3 a, const Vec3& b) { return a.cross(b); }
inline Vec3 normalize(Vec3 v) { return v.normalize(); }
