// The standard palette: the map legend's kinds first, with the legend's exact values, then a few
// coloured glasses, walls and lights.
#include "world/Palette.h"

#include <cassert>

namespace {

Material make(Material::Kind kind, const char* name, unsigned char r, unsigned char g,
              unsigned char b, float opacity = 0.0f, float er = 0.0f, float eg = 0.0f,
              float eb = 0.0f) {
  Material m;
  m.kind = kind;
  m.name = name;
  m.colour[0] = r, m.colour[1] = g, m.colour[2] = b;
  m.opacity = opacity;
  m.emission[0] = er, m.emission[1] = eg, m.emission[2] = eb;
  return m;
}

// A function's static, not a namespace-scope one: other files' statics build palettes before
// this file's statics would be ready.
const Material& airMaterial() {
  static const Material air = make(Material::Kind::Air, "air", 255, 255, 255);
  return air;
}

}  // namespace

Palette::Palette() : materials{airMaterial()} {}

Palette Palette::standard() {
  using K = Material::Kind;
  Palette p;
  for (const Material& m : {
           make(K::Wall, "wall", 255, 255, 255, 1.0f),
           make(K::Glass, "glass", 255, 255, 255, 0.5f),
           make(K::Light, "white light", 255, 244, 214, 0.0f, 350.0f, 350.0f, 150.0f),
           make(K::Light, "yellow light", 255, 240, 80, 0.0f, 350.0f, 350.0f, 0.0f),
           make(K::Light, "blue light", 90, 120, 255, 0.0f, 0.0f, 0.0f, 350.0f),
           make(K::Glass, "red glass", 255, 0, 0, 0.1f),
           make(K::Glass, "green glass", 0, 255, 0, 0.1f),
           make(K::Glass, "blue glass", 0, 0, 255, 0.1f),
           make(K::Glass, "amber glass", 255, 170, 40, 0.1f),
           make(K::Wall, "brick", 190, 90, 70, 1.0f),
           make(K::Wall, "moss", 110, 160, 90, 1.0f),
           make(K::Wall, "slate", 90, 110, 150, 1.0f),
           make(K::Light, "red light", 255, 70, 60, 0.0f, 350.0f, 0.0f, 0.0f),
           make(K::Light, "green light", 80, 255, 90, 0.0f, 0.0f, 350.0f, 0.0f),
       })
    p.add(m);
  return p;
}

const Material& Palette::operator[](int i) const {
  return i >= 0 && i < size() ? materials[static_cast<size_t>(i)] : airMaterial();
}

bool Palette::add(const Material& material) {
  if (size() >= kMaxMaterials) return false;
  materials.push_back(material);
  return true;
}

void Palette::set(int i, const Material& material) {
  assert(i >= 0 && i < size());
  materials[static_cast<size_t>(i)] = material;
}
