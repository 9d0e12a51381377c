// The emission of the grid's cells, kept only for the few cells that have any (the emitters): a
// dense copy cost 12 bytes a cell for rooms of a handful of lights. Channel k (r, g, b) of cell
// i is element 3 * i + k, read and written as in a dense array of three floats a cell.
#pragma once

#include <array>
#include <cstddef>
#include <unordered_map>

class SparseEmission {
 public:
  // One channel, read as a float; assigned, it is stored (a cell all of whose channels are 0
  // is dropped).
  class Channel {
   public:
    operator float() const { return static_cast<const SparseEmission&>(owner)[element]; }
    Channel& operator=(float value) {
      owner.setChannel(element, value);
      return *this;
    }

   private:
    friend class SparseEmission;
    Channel(SparseEmission& o, long e) : owner(o), element(e) {}
    SparseEmission& owner;
    long element;
  };

  // Element 3 * i + k: 0 for a cell without emission.
  float operator[](long element) const {
    if (byCell.empty()) return 0.0f;
    const auto found = byCell.find(element / 3);
    return found == byCell.end() ? 0.0f : found->second[element % 3];
  }
  Channel operator[](long element) { return Channel(*this, element); }
  // All three channels of cell i into `out`, in one look-up.
  void cellInto(long i, float out[3]) const {
    const auto found = byCell.empty() ? byCell.end() : byCell.find(i);
    for (int k = 0; k < 3; ++k) out[k] = found == byCell.end() ? 0.0f : found->second[k];
  }

  // All three channels of cell i.
  void setCell(long i, const float rgb[3]) {
    if (rgb[0] != 0.0f || rgb[1] != 0.0f || rgb[2] != 0.0f) {
      byCell[i] = {rgb[0], rgb[1], rgb[2]};
    } else if (!byCell.empty()) {
      byCell.erase(i);
    }
  }
  void clear() { byCell.clear(); }
  // Cells with emission.
  std::size_t cells() const { return byCell.size(); }

 private:
  void setChannel(long element, float value) {
    std::array<float, 3> rgb{};
    const auto found = byCell.find(element / 3);
    if (found != byCell.end()) rgb = found->second;
    rgb[element % 3] = value;
    setCell(element / 3, rgb.data());
  }

  std::unordered_map<long, std::array<float, 3>> byCell;
};
