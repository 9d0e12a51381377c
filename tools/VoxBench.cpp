// Benchmarks of .vox import: a 126 x 126 x 126 model, full and half filled, read and flattened
// alone and built into its room (132 x 130 x 132 cells, the grid's allocation included), and the
// room written back as a file. Wall-clock milliseconds per call; the goal for the whole import of
// the 126³ model is under half a second.
#include <benchmark/benchmark.h>

#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/CheckedReporter.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/VoxFile.h"
#include "world/VoxRoom.h"

namespace {

constexpr int kSide = 126;

// A kSide³ model of a few colours, glass and a lamp among them; `share` of its voxels filled.
std::vector<unsigned char> modelFile(double share) {
  vox::Scene scene;
  vox::Model model;
  model.size[0] = model.size[1] = model.size[2] = kSide;
  std::mt19937 rng(5);
  std::bernoulli_distribution filled(share);
  for (int z = 0; z < kSide; ++z)
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x)
        if (filled(rng)) {
          const unsigned char v[4] = {static_cast<unsigned char>(x), static_cast<unsigned char>(y),
                                      static_cast<unsigned char>(z),
                                      static_cast<unsigned char>(1 + (x + y + z) % 12)};
          model.voxels.insert(model.voxels.end(), v, v + 4);
        }
  scene.models.push_back(std::move(model));
  scene.materials[3].set("_type", "_glass");
  scene.materials[3].set("_trans", "0.4");
  scene.materials[7].set("_type", "_emit");
  scene.materials[7].set("_emit", "1");
  scene.hasMaterial[3] = scene.hasMaterial[7] = true;
  return vox::write(scene);
}

const std::vector<unsigned char>& file(double share) {
  static const std::vector<unsigned char> full = modelFile(1.0), half = modelFile(0.5);
  return share == 1.0 ? full : half;
}

void readAndFlatten(benchmark::State& state, double share) {
  const std::vector<unsigned char>& bytes = file(share);
  for (auto _ : state) {
    vox::Scene scene;
    vox::Volume volume;
    std::string error;
    if (!vox::read(bytes.data(), bytes.size(), scene, error) ||
        !vox::flatten(scene, volume, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(volume.index.data());
  }
  state.counters["file MiB"] = static_cast<double>(bytes.size()) / (1 << 20);
}

void importRoom(benchmark::State& state, double share) {
  const std::vector<unsigned char>& bytes = file(share);
  // The loader's start-up lines would run into the report.
  std::ostringstream quiet;
  std::streambuf* shown = std::cout.rdbuf(quiet.rdbuf());
  for (auto _ : state) {
    LightGrid grid;
    ColorMap map;
    const RoomLoad load = loadRoomFromVox("bench.vox", bytes.data(), bytes.size(), grid, map);
    if (!load.ok) {
      std::cout.rdbuf(shown);
      state.SkipWithError(load.error.c_str());
      return;
    }
    benchmark::DoNotOptimize(grid.current);
    quiet.str("");
  }
  std::cout.rdbuf(shown);
}

void writeRoom(benchmark::State& state) {
  const std::vector<unsigned char>& bytes = file(1.0);
  LightGrid grid;
  ColorMap map;
  std::ostringstream quiet;
  std::streambuf* shown = std::cout.rdbuf(quiet.rdbuf());
  const RoomLoad load = loadRoomFromVox("bench.vox", bytes.data(), bytes.size(), grid, map);
  std::cout.rdbuf(shown);
  if (!load.ok) {
    state.SkipWithError(load.error.c_str());
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(roomToVox(grid, load.start).data());
}

BENCHMARK_CAPTURE(readAndFlatten, full126, 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readAndFlatten, half126, 0.5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(importRoom, full126, 1.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(importRoom, half126, 0.5)->Unit(benchmark::kMillisecond);
BENCHMARK(writeRoom)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  CheckedReporter reporter;
  return runCheckedBenchmarks(argc, argv, reporter);
}
