// Benchmarks of the per-step simulation work on one core, no GL: the light step on the shipped
// room and on a 256 x 16 x 256 grid (against the plain rule), the room fading to black through
// subnormal floats, and the visibility pass with the reveal. Reads media/ from the working
// directory or from --root DIR. Times per step or per pass.
#include <IL/il.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "app/Scene.h"
#include "tests/support/ReferenceLightStep.h"
#include "tools/RootArgument.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/WorldBuilder.h"

namespace {

// The shipped room inside a Scene, built as the program builds it but without the render
// set-up, so the benchmarks run the Scene's own steps where it has one.
struct ShippedRoom {
  ShippedRoom() {
    ilInit();
    world.grid = new LightGrid();
    world.occlusionMap = &map;
    world.camera.reset();
    world.placeCamera(buildRoomFromMap(kShippedMapFile, kRoomHeight, *world.grid, map));
  }
  LightGrid& grid() { return *world.grid; }
  ColorMap map;
  Scene world;  // owns the grid
};

// A large room: solid floor and ceiling, random wall and glass columns, ceiling lights and
// random light everywhere else.
void fillLargeRoom(LightGrid& g, unsigned seed) {
  g.resize(256, 16, 256);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> light(0.0f, 100.0f);
  std::uniform_int_distribution<int> kind(0, 99);
  for (int z = 0; z < g.sizeZ; ++z)
    for (int x = 0; x < g.sizeX; ++x) {
      const int k = kind(rng);
      for (int y = 0; y < g.sizeY; ++y) {
        GridCell c;
        if (y == 0 || y == g.sizeY - 1 || k < 10) c.setSolid();
        else if (k < 15) c.setTranslucent(0.5f);
        for (float& l : c.light) l = light(rng);
        if (y == g.sizeY - 1 && k >= 95) {
          c.emitter = true;
          c.emission[0] = c.emission[1] = 350.0f;
          c.emission[2] = 150.0f;
        }
        g.setCell(x, y, z, c);
      }
    }
  g.strength = 0.05f;
}

void BM_StepShippedRoom(benchmark::State& state) {
  ShippedRoom room;
  room.grid().strength = 0.05f;
  std::srand(1);
  for (int i = 0; i < 500; ++i) room.grid().step();
  for (auto _ : state) room.grid().step();
  const long cells = static_cast<long>(room.grid().sizeX) * room.grid().sizeY * room.grid().sizeZ;
  state.SetItemsProcessed(state.iterations() * cells);
}
BENCHMARK(BM_StepShippedRoom)->Unit(benchmark::kMicrosecond);

template <void (*Step)(LightGrid&)>
void BM_StepLarge(benchmark::State& state) {
  LightGrid g;
  fillLargeRoom(g, 7);
  std::srand(1);
  for (auto _ : state) Step(g);
  state.SetItemsProcessed(state.iterations() * 256L * 16 * 256);
}
void fastStep(LightGrid& g) { g.step(); }
BENCHMARK_TEMPLATE(BM_StepLarge, fastStep)->Name("BM_Step256x16x256")->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_StepLarge, referenceLightStep)
    ->Name("BM_Step256x16x256_PlainRule")
    ->Unit(benchmark::kMillisecond);

// The shipped room lit for a while, then left with strength 0: its light falls through the
// subnormal range to zero. One iteration is the whole fade, reported per step.
void BM_StepFadingRoom(benchmark::State& state) {
  ShippedRoom room;
  room.grid().strength = 0.05f;
  std::srand(1);
  for (int i = 0; i < 500; ++i) room.grid().step();
  room.grid().strength = 0.0f;
  const long cells = static_cast<long>(room.grid().sizeX) * room.grid().sizeY * room.grid().sizeZ;
  std::vector<GridCell> lit(room.grid().current, room.grid().current + cells);
  const int steps = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(lit.begin(), lit.end(), room.grid().current);
    std::srand(2);
    state.ResumeTiming();
    for (int i = 0; i < steps; ++i) room.grid().step();
  }
  state.SetItemsProcessed(state.iterations() * steps * cells);
  state.counters["time_per_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * steps,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// About 1,000 steps take the light below the smallest normal float; 2,500 reach zero.
BENCHMARK(BM_StepFadingRoom)->Arg(1000)->Arg(2500)->Unit(benchmark::kMillisecond);

// Only the subnormal tail of the fade: every light value starts below the smallest normal.
void BM_StepSubnormalRoom(benchmark::State& state) {
  ShippedRoom room;
  room.grid().strength = 0.05f;
  std::srand(1);
  for (int i = 0; i < 500; ++i) room.grid().step();
  room.grid().strength = 0.0f;
  const long cells = static_cast<long>(room.grid().sizeX) * room.grid().sizeY * room.grid().sizeZ;
  for (long i = 0; i < cells; ++i)
    for (float& l : room.grid().current[i].light) l *= 1e-40f;
  std::vector<GridCell> faint(room.grid().current, room.grid().current + cells);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(faint.begin(), faint.end(), room.grid().current);
    std::srand(2);
    state.ResumeTiming();
    for (int i = 0; i < 20; ++i) room.grid().step();
  }
  state.SetItemsProcessed(state.iterations() * 20 * cells);
  state.counters["time_per_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 20,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StepSubnormalRoom)->Unit(benchmark::kMillisecond);

// The non-GL half of Scene::stepSimulation: the visibility pass from the start view and the reveal
// of the columns it saw.
void BM_VisibilityAndRevealShippedRoom(benchmark::State& state) {
  ShippedRoom room;
  for (auto _ : state) {
    room.map.updateVisibility(Scene::kVisibilityRays, room.world.camera.eye, room.world.camera.target);
    room.world.revealVisibleColumns();
  }
}
BENCHMARK(BM_VisibilityAndRevealShippedRoom)->Unit(benchmark::kMicrosecond);

// The most a pass can cost: an open 256 x 256 map where every ray runs its full range.
void BM_VisibilityOpenMap(benchmark::State& state) {
  ColorMap map;
  map.resize(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) map.basePixel(x, y) = {255, 255, 255};
  const Vec3 eye(128.0f, 2.0f, 128.0f), target(100.0f, 2.0f, 110.0f);
  for (auto _ : state) map.updateVisibility(Scene::kVisibilityRays, eye, target);
}
BENCHMARK(BM_VisibilityOpenMap)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (!enterRoot(argc, argv)) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
