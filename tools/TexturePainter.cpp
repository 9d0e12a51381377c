// Procedural texture painting with hash-based value noise that wraps at the image size, so the
// pictures repeat without seams. Colours are worked in floats 0..1 and rounded at the end.
#include "tools/TexturePainter.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

std::uint32_t hash(std::uint32_t a, std::uint32_t b, std::uint32_t seed) {
  std::uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 15;
  h *= 0x2c1b3c6du;
  h ^= h >> 12;
  h *= 0x297a2d39u;
  h ^= h >> 15;
  return h;
}

// Uniform in [0, 1).
float hash01(int a, int b, std::uint32_t seed) {
  return static_cast<float>(hash(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b),
                                 seed) >> 8) / 16777216.0f;
}

float smooth(float t) { return t * t * (3.0f - 2.0f * t); }

float smoothstep(float edge0, float edge1, float x) {
  return smooth(std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f));
}

int wrap(int i, int period) { return ((i % period) + period) % period; }

// Value noise in [0, 1) on a lattice of `cells` x `cells` over the image, wrapping at its edges.
float valueNoise(float x, float y, int size, int cells, std::uint32_t seed) {
  const float fx = x * cells / size, fy = y * cells / size;
  const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
  const float tx = smooth(fx - x0), ty = smooth(fy - y0);
  const float v00 = hash01(wrap(x0, cells), wrap(y0, cells), seed);
  const float v10 = hash01(wrap(x0 + 1, cells), wrap(y0, cells), seed);
  const float v01 = hash01(wrap(x0, cells), wrap(y0 + 1, cells), seed);
  const float v11 = hash01(wrap(x0 + 1, cells), wrap(y0 + 1, cells), seed);
  const float top = v00 + (v10 - v00) * tx;
  const float bottom = v01 + (v11 - v01) * tx;
  return top + (bottom - top) * ty;
}

// Sum of octaves, each twice as fine and half as strong; result roughly in [0, 1).
float fractalNoise(float x, float y, int size, int baseCells, int octaves, std::uint32_t seed) {
  float sum = 0.0f, weight = 1.0f, total = 0.0f;
  int cells = baseCells;
  for (int o = 0; o < octaves; ++o) {
    sum += weight * valueNoise(x, y, size, cells, seed + 101u * static_cast<std::uint32_t>(o));
    total += weight;
    weight *= 0.5f;
    cells *= 2;
  }
  return sum / total;
}

struct Colour {
  float r, g, b;
};

Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(Colour c, float k) { return {c.r * k, c.g * k, c.b * k}; }

RgbImage blank(int size) {
  assert(size > 0);
  RgbImage image;
  image.width = size;
  image.height = size;
  image.pixels.assign(static_cast<size_t>(size) * size * 3, 0);
  return image;
}

// Rounds to 8 bits with a small hashed dither so smooth gradients do not band.
void put(RgbImage& image, int x, int y, Colour c, std::uint32_t seed) {
  const float dither = hash01(x, y, seed ^ 0x5bd1e995u) - 0.5f;
  const float channels[3] = {c.r, c.g, c.b};
  for (int i = 0; i < 3; ++i) {
    const float v = std::clamp(channels[i] * 255.0f + dither, 0.0f, 255.0f);
    image.pixels[3 * (static_cast<size_t>(y) * image.width + x) + i] =
        static_cast<std::uint8_t>(std::lround(v));
  }
}

}  // namespace

RgbImage TexturePainter::paintTiles(int size, int tilesPerSide, std::uint32_t seed) {
  assert(tilesPerSide > 0 && size % tilesPerSide == 0);
  RgbImage image = blank(size);
  const int tile = size / tilesPerSide;
  const float mortarHalf = tile * 0.045f;  // half width of a mortar line, pixels
  const float bevel = tile * 0.08f;       // width of the rounded tile edge, pixels
  const Colour stone{0.70f, 0.66f, 0.60f};
  const Colour mortar{0.42f, 0.40f, 0.37f};

  // Height of the tile surface: 0 in the mortar, rising over the bevel to 1, with slight
  // unevenness so the edges are not ruler-straight.
  const auto height = [&](int x, int y) {
    const int u = wrap(x, size) % tile, v = wrap(y, size) % tile;
    const float edge = std::min({u + 0.5f, tile - u - 0.5f, v + 0.5f, tile - v - 0.5f});
    const float rough = (valueNoise(static_cast<float>(x), static_cast<float>(y), size, 16,
                                    seed + 7u) - 0.5f) * 1.0f;
    return smoothstep(mortarHalf, mortarHalf + bevel, edge + rough);
  };

  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int tx = x / tile, ty = y / tile;
      const float fx = static_cast<float>(x), fy = static_cast<float>(y);
      // Each tile its own shade and a slight warm or cool cast.
      const float shade = 0.90f + 0.18f * hash01(tx, ty, seed + 1u);
      const float cast = (hash01(tx, ty, seed + 2u) - 0.5f) * 0.06f;
      Colour face = scale(stone, shade);
      face.r += cast;
      face.b -= cast;
      // Cloudy stone: broad patches, fine grain and a few dark pores.
      const float cloud = fractalNoise(fx, fy, size, 8, 4, seed + 3u);
      const float grain = hash01(x, y, seed + 4u);
      face = scale(face, 0.82f + 0.34f * cloud + 0.06f * (grain - 0.5f));
      if (hash01(x, y, seed + 5u) > 0.993f) face = scale(face, 0.80f);

      Colour joint = scale(mortar, 0.85f + 0.25f * fractalNoise(fx, fy, size, 32, 2, seed + 6u) +
                                       0.10f * (grain - 0.5f));

      const float h = height(x, y);
      Colour c = mix(joint, face, h);
      // Light from the upper left: edges facing it brighten, the opposite ones fall into shade.
      const float slope = h - height(x - 1, y - 1);
      c = scale(c, std::clamp(1.0f + 1.2f * slope, 0.6f, 1.3f));
      put(image, x, y, c, seed);
    }
  }
  return image;
}

RgbImage TexturePainter::paintGlass(int size, std::uint32_t seed) {
  RgbImage image = blank(size);
  const float frame = size * 0.055f;  // frame width, pixels
  const Colour metal{0.78f, 0.80f, 0.83f};
  const Colour glass{0.80f, 0.90f, 0.92f};

  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float fx = x + 0.5f, fy = y + 0.5f;
      const float left = fx, right = size - fx, top = fy, bottom = size - fy;
      const float edge = std::min({left, right, top, bottom});
      Colour c;
      if (edge < frame) {
        // Frame: a rounded bar, light on the sides facing the upper left.
        const float across = edge / frame;  // 0 at the outer edge, 1 at the glass
        const bool lit = (edge == left || edge == top);
        const float bar = std::sin(across * 3.14159265f);
        c = scale(metal, 0.78f + (lit ? 0.30f : 0.12f) * bar);
        c = scale(c, 0.96f + 0.06f * valueNoise(fx, fy, size, 64, seed + 1u));
        if (across > 0.86f) c = scale(c, 0.80f);  // the groove the pane sits in
      } else {
        // Glass: a faint vertical wash, gentle waviness and two diagonal reflections.
        const float wash = 1.0f - 0.06f * (fy / size);
        const float wave = fractalNoise(fx, fy, size, 4, 3, seed + 2u) - 0.5f;
        const float diagonal = (fx + fy) / size;  // 0 at the upper left, 2 at the lower right
        const float streak = std::exp(-std::pow((diagonal - 0.62f) / 0.07f, 2.0f)) +
                             0.6f * std::exp(-std::pow((diagonal - 0.82f) / 0.03f, 2.0f));
        c = scale(glass, wash + 0.05f * wave);
        c = mix(c, Colour{1.0f, 1.0f, 1.0f}, 0.45f * streak);
        // A soft shadow cast by the frame onto the pane.
        c = scale(c, 1.0f - 0.10f * (1.0f - smoothstep(frame, frame + size * 0.03f, edge)));
      }
      put(image, x, y, c, seed);
    }
  }
  return image;
}

RgbImage TexturePainter::paintLightSpot(int size, std::uint32_t seed) {
  RgbImage image = blank(size);
  const float centre = size * 0.5f;
  const float radius = size * 0.48f;
  const Colour warm{1.0f, 0.97f, 0.90f};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const float dx = x + 0.5f - centre, dy = y + 0.5f - centre;
      const float r = std::sqrt(dx * dx + dy * dy) / radius;
      // A bright core over a long soft fall-off that reaches zero at the circle.
      const float falloff = std::pow(1.0f - smoothstep(0.0f, 1.0f, r), 1.6f);
      const float core = std::exp(-r * r / 0.02f);
      const float intensity = std::min(1.0f, 0.85f * falloff + 0.25f * core);
      put(image, x, y, scale(warm, intensity), seed);
    }
  }
  return image;
}
