// What a cell is made of: air, a wall with a colour, glass with a colour (the share of red,
// green and blue it lets through) or a light with an RGB emission. A room holds up to 256 of
// them in its Palette; a cell names its material by index. Colours are 8-bit sRGB bytes,
// emission linear and unbounded like the light.
#pragma once

#include <string>

#include "world/GridCell.h"

struct Material {
  enum class Kind : unsigned char { Air, Wall, Glass, Light };

  Kind kind = Kind::Air;
  // Wall: its colour over the tile (white shows the tile as it is). Glass: its tint, the share
  // of each channel it lets through (255: all of it). Light: the colour its cube is shown in.
  unsigned char colour[3] = {255, 255, 255};
  // Glass: the share of every channel it holds back besides its tint (below
  // GridCell::kOpaqueOpacity); a wall is 1, air and lights 0.
  float opacity = 0.0f;
  // Light: what it emits per channel, before the room's strength scales it.
  float emission[3] = {0.0f, 0.0f, 0.0f};
  // One or two words for the screen ("red glass").
  std::string name;

  // Glass whose colour holds back some channel more than another (white glass is neutral).
  bool tinted() const {
    return kind == Kind::Glass && (colour[0] != 255 || colour[1] != 255 || colour[2] != 255);
  }
  // The share of channel k (0 r, 1 g, 2 b) that passes the tint: colour / 255 for glass, else 1.
  float transmits(int k) const {
    return kind == Kind::Glass ? static_cast<float>(colour[k]) / 255.0f : 1.0f;
  }
  // The kind in one word: "air", "wall", "glass" or "light".
  static const char* kindName(Kind kind) {
    switch (kind) {
      case Kind::Wall: return "wall";
      case Kind::Glass: return "glass";
      case Kind::Light: return "light";
      case Kind::Air: break;
    }
    return "air";
  }
  // A cell of this material, named by its palette index: everything else about it cleared.
  GridCell cell(unsigned char index) const {
    GridCell c;
    switch (kind) {
      case Kind::Wall: c.setSolid(); break;
      case Kind::Glass: c.setTranslucent(opacity); break;
      case Kind::Light: c.setEmitter(emission[0], emission[1], emission[2]); break;
      case Kind::Air: break;
    }
    c.material = index;
    return c;
  }
};
