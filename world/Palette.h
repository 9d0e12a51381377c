// A room's materials, up to 256 (a voxel editor's palette holds as many), indexed by the byte a
// cell keeps. Index 0 is air. The standard palette begins with the map legend's kinds, so a room
// built from a map names the same materials in every build.
#pragma once

#include <vector>

#include "world/Material.h"

class Palette {
 public:
  static constexpr int kMaxMaterials = 256;
  // Slots of the map legend's kinds in the standard palette.
  static constexpr unsigned char kAir = 0, kWall = 1, kGlass = 2, kWhiteLight = 3,
                                 kYellowLight = 4, kBlueLight = 5;

  // Just air.
  Palette();
  // The legend's kinds, then coloured glass, walls and lights: what a new room offers.
  static Palette standard();

  int size() const { return static_cast<int>(materials.size()); }
  // Index `i` below size(); any other index reads as air.
  const Material& operator[](int i) const;
  // Appends a material; false when the palette is full.
  bool add(const Material& material);
  // Replaces material `i` (below size()).
  void set(int i, const Material& material);

 private:
  std::vector<Material> materials;
};
