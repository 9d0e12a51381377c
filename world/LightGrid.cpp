// LightGrid storage: the per-field arrays, cells composed and taken apart at the GridCell
// interface, bounds-tested access, buffer swapping and the derived arrays the step reads.
#include "world/LightGrid.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

LightGrid::LightGrid() {
  outside.opacity = 1.0f;
  setPalette(Palette::standard());
}

LightGrid::~LightGrid() = default;

namespace {

constexpr long kPage = 4096, kLine = 64;

// Fills `store` with `count` elements of `value` (and a page of slack) and returns the first of
// them, placed `line` cache lines into a 4 KiB page.
template <class T>
T* placeInPage(std::vector<T>& store, long count, long line, T value) {
  store.assign(count + kPage / sizeof(T), value);
  const long at = static_cast<long>(reinterpret_cast<std::uintptr_t>(store.data()) % kPage);
  return store.data() + ((line * kLine - at) % kPage + kPage) % kPage / sizeof(T);
}

}  // namespace

void LightGrid::resize(int newSizeX, int newSizeY, int newSizeZ) {
  assert(newSizeX >= 0 && newSizeY >= 0 && newSizeZ >= 0);
  sizeX = newSizeX;
  sizeY = newSizeY;
  sizeZ = newSizeZ;
  const long count = cellCount();
  // The step reads each plane at a cell, one row and one layer away; rows of big grids are whole
  // pages apart and so are planes of a power-of-two size, so that the reads of all three planes
  // would meet in a few cache sets. Planes 5 lines apart in the page (and the other arrays at
  // lines of their own) keep them spread.
  const long pageFloats = kPage / static_cast<long>(sizeof(float));
  planeStride = count + ((5 * kLine / 4 - count) % pageFloats + pageFloats) % pageFloats;
  // assign() rather than resize(): a grid resized to its own size is emptied as well.
  current = placeInPage(lightA, 3 * planeStride, 0, 0.0f);
  lightB = std::vector<float>();
  next = nullptr;
  opacity.assign(count, 0.0f);
  emission.clear();
  flags.assign(count, 0);
  materials.assign(count, 0);
  tinted.clear();
  // Every cell is now of material 0, a pane when the palette tints it.
  tintedStale = tintedMaterial[0];
  stepCount = 1;
  seenAt.assign(count, stepCount);
  keep = placeInPage(keepStore, count, 32, 1.0f);
  emitters.clear();
  emittersStale = false;
  specialMoves = 0;
  texels = placeInPage(texelStore, count, 40, std::uint32_t{0});
  texelsStale = true;
  zeroRow.assign(sizeX, 0.0f);
  bricksX = (sizeX + kBrickX - 1) / kBrickX;
  bricksY = (sizeY + kBrickY - 1) / kBrickY;
  bricksZ = (sizeZ + kBrickZ - 1) / kBrickZ;
  const long bricks = brickCount();
  brickChanged.assign(bricks, 0);
  brickTouched.assign(bricks, 0);
  brickSpecial.assign(bricks, 0);
  brickActive.assign(bricks, 0);
  changedBricks.clear();
  touchedBricks.clear();
  activeBricks.clear();
  brickTexels.assign(bricks, 0);
  texelBricks.clear();
  touchEverything();
  sweepsUnseen = 0;
  roomInMotion = false;
  allocated = true;
}

namespace {

// The fraction of its neighbourhood's light a cell of this opacity keeps; 0 marks a cell that
// light does not enter (the step's rule: opacity at or above 0.999, compared as a double).
float keptFraction(float opacity) {
  return static_cast<double>(opacity) < 0.999 ? 1.0f - opacity : 0.0f;
}

}  // namespace

void LightGrid::setCell(int x, int y, int z, const GridCell& cell) {
  if (!inside(x, y, z)) return;
  const long i = index(x, y, z);
  bool lightChanged = false;
  for (int k = 0; k < 3; ++k) {
    float& l = current[k * planeStride + i];
    if (std::memcmp(&l, &cell.light[k], sizeof l) != 0) lightChanged = true;
    l = cell.light[k];
  }
  if (lightChanged) {
    texelsStale = true;
    markChanged(brickOf(x, y, z));
  }
  writeFields(i, cell);
  markTouched(brickOf(x, y, z));
}

void LightGrid::setNextCell(int x, int y, int z, const GridCell& cell) {
  if (!inside(x, y, z)) return;
  const long i = index(x, y, z);
  if (next == nullptr) next = placeInPage(lightB, 3 * planeStride, 0, 0.0f);
  for (int k = 0; k < 3; ++k) next[k * planeStride + i] = cell.light[k];
  writeFields(i, cell);
  markTouched(brickOf(x, y, z));
}

void LightGrid::writeFields(long i, const GridCell& cell) {
  const unsigned char f = (cell.emitter ? kEmitter : 0) | (cell.greenMarker ? kGreenMarker : 0) |
                          (cell.redMarker ? kRedMarker : 0);
  if ((f ^ flags[i]) & kEmitter) noteSpecialCell(emitters, emittersStale, i, cell.emitter);
  flags[i] = f;
  emission.setCell(i, cell.emission);
  opacity[i] = cell.opacity;
  keep[i] = keptFraction(cell.opacity);
  if (tintedMaterial[materials[i]] != tintedMaterial[cell.material])
    noteSpecialCell(tinted, tintedStale, i, tintedMaterial[cell.material]);
  materials[i] = cell.material;
  setHidden(i, cell.hidden);
}

void LightGrid::noteSpecialCell(std::vector<long>& list, bool& stale, long i, bool member) {
  if (stale) return;
  const auto at = std::lower_bound(list.begin(), list.end(), i);
  if ((at != list.end() && *at == i) == member) return;
  specialMoves += list.end() - at;
  if (specialMoves > cellCount() / 8) {
    stale = true;
    return;
  }
  if (member) {
    list.insert(at, i);
    // A brick left marked after its last one goes only costs the step a search.
    brickSpecial[brickOfIndex(i)] = 1;
  } else {
    list.erase(at);
  }
}

void LightGrid::setPalette(const Palette& palette) {
  materialPalette = palette;
  for (int m = 0; m < Palette::kMaxMaterials; ++m) {
    const Material& material = palette[m];
    // Tinted glass keeps (1 - opacity) of its neighbourhood's light, then its tint's share of
    // each channel; a neutral material keeps the cell's own fraction, so rooms without tinted
    // glass step exactly as before.
    tintedMaterial[m] = material.tinted() && keptFraction(material.opacity) != 0.0f;
    for (int k = 0; k < 3; ++k)
      tintKeep[3 * m + k] = keptFraction(material.opacity) * material.transmits(k);
  }
  tintedStale = true;
  touchEverything();
}

void LightGrid::rebuildTinted() {
  tinted.clear();
  const long count = cellCount();
  for (long i = 0; i < count; ++i)
    if (tintedMaterial[materials[i]]) tinted.push_back(i);
  tintedStale = false;
}

void LightGrid::swapBuffers() {
  if (next == nullptr) next = placeInPage(lightB, 3 * planeStride, 0, 0.0f);
  // The new generation moves into lightA, where `current` lives; the old one is not read again.
  std::swap(lightA, lightB);
  current = next;
  next = nullptr;
  lightB = std::vector<float>();
  texelsStale = true;
  touchEverything();
}

void LightGrid::rebuildEmitters() {
  emitters.clear();
  const long count = cellCount();
  for (long i = 0; i < count; ++i)
    if (flags[i] & kEmitter) emitters.push_back(i);
  emittersStale = false;
}

void LightGrid::rebuildSpecialBricks() {
  std::fill(brickSpecial.begin(), brickSpecial.end(), 0);
  for (const long i : emitters) brickSpecial[brickOfIndex(i)] = 1;
  for (const long i : tinted) brickSpecial[brickOfIndex(i)] = 1;
}

std::uint32_t LightGrid::lightTexel(const float light[3]) {
  std::uint32_t texel = 0xFF000000u;
  for (int k = 0; k < 3; ++k) {
    const float q = compressLight(light[k]) * 255.0f;
    const long byte = q > 0.0f ? std::lrint(std::min(q, 255.0f)) : 0;
    texel |= static_cast<std::uint32_t>(byte) << (8 * k);
  }
  return texel;
}

void LightGrid::refreshTexels(long first, long end) const {
  for (long i = first; i < end; ++i) {
    const float l[3] = {current[i], current[planeStride + i], current[2 * planeStride + i]};
    texels[i] = lightTexel(l);
  }
}

const std::uint32_t* LightGrid::lightTexels() const {
  if (texelsStale) {
    refreshTexels(0, cellCount());
    texelsStale = false;
  }
  return texels;
}

bool LightGrid::contains(float x, float y, float z) const {
  return x >= 0.0f && y >= 0.0f && z >= 0.0f && x < static_cast<float>(sizeX) &&
         y < static_cast<float>(sizeY) && z < static_cast<float>(sizeZ);
}

GridCell LightGrid::sampleAt(float x, float y, float z) const {
  if (!contains(x, y, z)) return outside;
  // contains() rules out negative coordinates, so truncation is the floor here.
  const int ix = static_cast<int>(x), iy = static_cast<int>(y), iz = static_cast<int>(z);
  const float tx = x - std::floor(x), ty = y - std::floor(y), tz = z - std::floor(z);
  const float weight[3][2] = {{1.0f - tx, tx}, {1.0f - ty, ty}, {1.0f - tz, tz}};
  // Read in place rather than through getCell: the body samples the grid many times a frame.
  GridCell sum;
  bool first = true;
  for (int a = 0; a <= 1; ++a)
    for (int b = 0; b <= 1; ++b)
      for (int c = 0; c <= 1; ++c) {
        float v[4] = {outside.opacity, outside.light[0], outside.light[1], outside.light[2]};
        if (inside(ix + a, iy + b, iz + c)) {
          const long i = index(ix + a, iy + b, iz + c);
          v[0] = opacity[i];
          for (int k = 0; k < 3; ++k) v[k + 1] = current[k * planeStride + i];
        }
        for (float& f : v) f = f * weight[0][a] * weight[1][b] * weight[2][c];
        sum.opacity = first ? v[0] : sum.opacity + v[0];
        for (int k = 0; k < 3; ++k) sum.light[k] = first ? v[k + 1] : sum.light[k] + v[k + 1];
        first = false;
      }
  return sum;
}

TexelBox LightGrid::wholeBox() const {
  TexelBox box;
  box.hi[0] = sizeX, box.hi[1] = sizeY, box.hi[2] = sizeZ;
  return box;
}

void LightGrid::takeTexelChanges(std::vector<TexelBox>& boxes) {
  boxes.clear();
  std::sort(texelBricks.begin(), texelBricks.end());
  // A run is the bricks beside one another along x in one row of bricks.
  long runs = 0;
  for (std::size_t n = 0; n < texelBricks.size(); ++n)
    if (n == 0 || texelBricks[n] != texelBricks[n - 1] + 1 || texelBricks[n] % bricksX == 0)
      ++runs;
  const bool whole = allTexelsChanged || static_cast<double>(texelBricks.size()) >
                                             kTexelRunShare * static_cast<double>(brickCount());
  if (whole) {
    if (allocated) boxes.push_back(wholeBox());
  } else {
    boxes.reserve(runs);
    for (std::size_t n = 0; n < texelBricks.size(); ++n) {
      int lo[3], hi[3];
      brickBounds(texelBricks[n], lo, hi);
      const bool extends = n > 0 && texelBricks[n] == texelBricks[n - 1] + 1 &&
                           texelBricks[n] % bricksX != 0;
      if (extends) {
        boxes.back().hi[0] = hi[0];
      } else {
        TexelBox box;
        std::copy(lo, lo + 3, box.lo);
        std::copy(hi, hi + 3, box.hi);
        boxes.push_back(box);
      }
    }
  }
  for (const long b : texelBricks) brickTexels[b] = 0;
  texelBricks.clear();
  allTexelsChanged = false;
}
