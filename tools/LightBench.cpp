// Benchmarks of the per-step simulation work, no GL: the light step on the shipped room and on a
// 256 x 16 x 256 grid with one thread and with every thread of the shared pool, beside what
// bounds it (the plain rule on whole cells, a memcpy of one whole cell buffer and of the light a
// step writes, each with the same threads, and the step and that copy taken in turns); the room
// fading to black through subnormal floats; the visibility pass with the reveal. Ends with two
// one-line summaries. Reads media/ from the working directory or from --root DIR. Wall-clock
// times per step, copy or pass.
#include <IL/il.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/Scene.h"
#include "platform/WorkerPool.h"
#include "tests/support/ReferenceLightStep.h"
#include "tools/RootArgument.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/WorldBuilder.h"

namespace {

// The shipped room inside a Scene, loaded as the program loads it but without a backend, so the
// benchmarks run the Scene's own steps where it has one.
struct ShippedRoom {
  ShippedRoom() {
    ilInit();
    std::string error;
    if (!world.loadRoom(kShippedMapFile, kRoomHeight, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
  }
  LightGrid& grid() { return *world.grid; }
  ColorMap& map() { return *world.occlusionMap; }
  Scene world;
};

constexpr int kLargeX = 256, kLargeY = 16, kLargeZ = 256;
constexpr long kLargeCells = static_cast<long>(kLargeX) * kLargeY * kLargeZ;

// A large room: solid floor and ceiling, random wall and glass columns, ceiling lights and
// random light everywhere else.
PlainGrid largeRoom(unsigned seed) {
  PlainGrid g(kLargeX, kLargeY, kLargeZ);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> light(0.0f, 100.0f);
  std::uniform_int_distribution<int> kind(0, 99);
  for (int z = 0; z < g.sizeZ; ++z)
    for (int x = 0; x < g.sizeX; ++x) {
      const int k = kind(rng);
      for (int y = 0; y < g.sizeY; ++y) {
        GridCell& c = g.current[g.index(x, y, z)];
        if (y == 0 || y == g.sizeY - 1 || k < 10) c.setSolid();
        else if (k < 15) c.setTranslucent(0.5f);
        for (float& l : c.light) l = light(rng);
        if (y == g.sizeY - 1 && k >= 95) {
          c.emitter = true;
          c.emission[0] = c.emission[1] = 350.0f;
          c.emission[2] = 150.0f;
        }
      }
    }
  g.strength = 0.05f;
  return g;
}

// The pool of every thread (QUILLMARSH_THREADS or the cores), made once.
WorkerPool& everyThread() {
  static WorkerPool pool(WorkerPool::threadsFromEnvironment());
  return pool;
}

// Arg 0: every thread (everyThread()); else that many.
WorkerPool& poolFor(int threads) {
  static std::map<int, std::unique_ptr<WorkerPool>> pools;
  if (threads == 0) return everyThread();
  auto& p = pools[threads];
  if (!p) p = std::make_unique<WorkerPool>(threads);
  return *p;
}

void BM_StepShippedRoom(benchmark::State& state) {
  ShippedRoom room;
  room.grid().strength = 0.05f;
  std::srand(1);
  for (int i = 0; i < 500; ++i) room.grid().step();
  for (auto _ : state) room.grid().step();
  const long cells = room.grid().cellCount();
  state.SetItemsProcessed(state.iterations() * cells);
}
BENCHMARK(BM_StepShippedRoom)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_Step256x16x256(benchmark::State& state) {
  LightGrid g;
  largeRoom(7).copyTo(g);
  g.pool = &poolFor(static_cast<int>(state.range(0)));
  state.counters["threads"] = g.pool->threads();
  std::srand(1);
  for (auto _ : state) g.step();
  state.SetItemsProcessed(state.iterations() * kLargeCells);
}
BENCHMARK(BM_Step256x16x256)->ArgName("threads")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Step256x16x256_PlainRule(benchmark::State& state) {
  PlainGrid g = largeRoom(7);
  std::srand(1);
  for (auto _ : state) referenceLightStep(g);
  state.SetItemsProcessed(state.iterations() * kLargeCells);
}
BENCHMARK(BM_Step256x16x256_PlainRule)->Unit(benchmark::kMillisecond)->UseRealTime();

// The bytes a step must beat: one whole cell buffer of the large grid (what a step over whole
// cells reads and writes at the least), and the light a step writes (three floats a cell), copied
// in as many slabs as the step uses, on the same pool.
template <long BytesPerCell>
void BM_Memcpy256x16x256(benchmark::State& state) {
  WorkerPool& pool = poolFor(static_cast<int>(state.range(0)));
  const long bytes = BytesPerCell * kLargeCells;
  std::vector<char> from(bytes, 1), to(bytes, 2);
  const int slabs = pool.threads();
  for (auto _ : state) {
    pool.run(slabs, [&](int s) {
      const long first = bytes * s / slabs, end = bytes * (s + 1) / slabs;
      std::memcpy(to.data() + first, from.data() + first, end - first);
    });
    benchmark::DoNotOptimize(to.data());
  }
  state.counters["threads"] = slabs;
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK_TEMPLATE(BM_Memcpy256x16x256, static_cast<long>(sizeof(GridCell)))
    ->Name("BM_Memcpy256x16x256_CellBuffer")->ArgName("threads")->Arg(1)->Arg(0)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Memcpy256x16x256, 3 * static_cast<long>(sizeof(float)))
    ->Name("BM_Memcpy256x16x256_Light")->ArgName("threads")->Arg(1)->Arg(0)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

// The step and the copy of one cell buffer taken in turns, a pair an iteration, on the same pool:
// both see the same machine (other load, clock, the cache each leaves the other), so their
// ratio holds where separate runs drift. Reports the median of each; the copy evicts the step's
// arrays from the cache between steps, as a frame's drawing does in the program.
void BM_StepBesideMemcpy256x16x256(benchmark::State& state) {
  LightGrid g;
  largeRoom(7).copyTo(g);
  WorkerPool& pool = poolFor(static_cast<int>(state.range(0)));
  g.pool = &pool;
  const long bytes = static_cast<long>(sizeof(GridCell)) * kLargeCells;
  std::vector<char> from(bytes, 1), to(bytes, 2);
  const int slabs = pool.threads();
  std::vector<double> step, copy;
  std::srand(1);
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    g.step();
    const auto t1 = Clock::now();
    pool.run(slabs, [&](int s) {
      const long first = bytes * s / slabs, end = bytes * (s + 1) / slabs;
      std::memcpy(to.data() + first, from.data() + first, end - first);
    });
    benchmark::DoNotOptimize(to.data());
    const auto t2 = Clock::now();
    step.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    copy.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
  }
  const auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  state.counters["threads"] = slabs;
  state.counters["step_ms"] = median(step);
  state.counters["memcpy_ms"] = median(copy);
  state.counters["ratio"] = median(step) / median(copy);
}
BENCHMARK(BM_StepBesideMemcpy256x16x256)->ArgName("threads")->Arg(1)->Arg(0)
    ->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(1.0);

// Puts back the light of every cell and the wandering light where it was.
void restore(LightGrid& g, const std::vector<float>& light, const GridCell& wandering, int x, int y,
             int z) {
  GridCell left = g.getCell(g.lightX, g.lightY, g.lightZ);
  left.emitter = false;
  for (float& e : left.emission) e = 0.0f;
  g.setCell(g.lightX, g.lightY, g.lightZ, left);
  g.setCell(x, y, z, wandering);
  g.lightX = x, g.lightY = y, g.lightZ = z;
  for (long i = 0; i < 3 * g.lightPlaneStride(); ++i) g.current[i] = light[i];
}

// The shipped room lit for a while, then left with strength 0: its light falls through the
// subnormal range to zero. One iteration is the whole fade, reported per step.
void BM_StepFadingRoom(benchmark::State& state) {
  ShippedRoom room;
  room.grid().strength = 0.05f;
  std::srand(1);
  for (int i = 0; i < 500; ++i) room.grid().step();
  room.grid().strength = 0.0f;
  const long cells = room.grid().cellCount();
  // Only the light changes in a step; the wandering light is put back with it.
  const std::vector<float> lit(room.grid().current,
                              room.grid().current + 3 * room.grid().lightPlaneStride());
  const LightGrid& g = room.grid();
  const GridCell wandering = g.getCell(g.lightX, g.lightY, g.lightZ);
  const int wx = g.lightX, wy = g.lightY, wz = g.lightZ;
  const int steps = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    restore(room.grid(), lit, wandering, wx, wy, wz);
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
BENCHMARK(BM_StepFadingRoom)->Arg(1000)->Arg(2500)->Unit(benchmark::kMillisecond)->UseRealTime();

// Only the subnormal tail of the fade: every light value starts below the smallest normal.
void BM_StepSubnormalRoom(benchmark::State& state) {
  ShippedRoom room;
  room.grid().strength = 0.05f;
  std::srand(1);
  for (int i = 0; i < 500; ++i) room.grid().step();
  room.grid().strength = 0.0f;
  const long cells = room.grid().cellCount();
  std::vector<float> faint(room.grid().current,
                           room.grid().current + 3 * room.grid().lightPlaneStride());
  for (float& l : faint) l *= 1e-40f;
  const LightGrid& g = room.grid();
  const GridCell wandering = g.getCell(g.lightX, g.lightY, g.lightZ);
  const int wx = g.lightX, wy = g.lightY, wz = g.lightZ;
  for (auto _ : state) {
    state.PauseTiming();
    restore(room.grid(), faint, wandering, wx, wy, wz);
    std::srand(2);
    state.ResumeTiming();
    for (int i = 0; i < 20; ++i) room.grid().step();
  }
  state.SetItemsProcessed(state.iterations() * 20 * cells);
  state.counters["time_per_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 20,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StepSubnormalRoom)->Unit(benchmark::kMillisecond)->UseRealTime();

// The non-GL half of Scene::stepSimulation: the visibility pass from the start view and the reveal
// of the columns it saw.
void BM_VisibilityAndRevealShippedRoom(benchmark::State& state) {
  ShippedRoom room;
  for (auto _ : state) {
    room.map().updateVisibility(Scene::kVisibilityRays, room.world.camera.eye, room.world.camera.target);
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

// Keeps each run's wall-clock time per iteration for the summary, and prints the table as usual.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        const std::string name =
            run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
        ms[name] = run.real_accumulated_time * 1e3 / run.iterations;
        for (const auto& [counter, value] : run.counters) counters[name + ":" + counter] = value;
      }
    ConsoleReporter::ReportRuns(runs);
  }
  // Milliseconds of a run, or -1 when it was filtered out.
  double at(const std::string& name) const {
    const auto it = ms.find(name);
    return it == ms.end() ? -1.0 : it->second;
  }
  // A counter of a run ("name:counter"), or -1.
  double counter(const std::string& name) const {
    const auto it = counters.find(name);
    return it == counters.end() ? -1.0 : it->second.value;
  }
  std::map<std::string, double> ms;
  std::map<std::string, benchmark::Counter> counters;
};

}  // namespace

int main(int argc, char** argv) {
  if (!enterRoot(argc, argv)) return 1;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const int all = everyThread().threads();
  std::printf(
      "summary: 256x16x256 step %.2f ms 1 thread / %.2f ms %d threads; memcpy of one cell buffer "
      "%.2f / %.2f ms, of the light %.2f / %.2f ms; plain rule %.2f ms; shipped room step %.1f us\n",
      reporter.at("BM_Step256x16x256/threads:1"), reporter.at("BM_Step256x16x256/threads:0"), all,
      reporter.at("BM_Memcpy256x16x256_CellBuffer/threads:1"),
      reporter.at("BM_Memcpy256x16x256_CellBuffer/threads:0"),
      reporter.at("BM_Memcpy256x16x256_Light/threads:1"),
      reporter.at("BM_Memcpy256x16x256_Light/threads:0"),
      reporter.at("BM_Step256x16x256_PlainRule"), reporter.at("BM_StepShippedRoom") * 1e3);
  const auto turns = [&](const char* threads) {
    const std::string run = std::string("BM_StepBesideMemcpy256x16x256/threads:") + threads;
    return std::array<double, 3>{reporter.counter(run + ":step_ms"),
                                 reporter.counter(run + ":memcpy_ms"),
                                 reporter.counter(run + ":ratio")};
  };
  const auto one = turns("1"), every = turns("0");
  std::printf(
      "summary, step and memcpy of one cell buffer taken in turns (medians): %.2f / %.2f ms = "
      "%.2f with 1 thread, %.2f / %.2f ms = %.2f with %d threads\n",
      one[0], one[1], one[2], every[0], every[1], every[2], all);
  return 0;
}
