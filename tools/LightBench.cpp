// Benchmarks of the per-step simulation work, no GL: the light step on the shipped room and on a
// 256 x 16 x 256 grid with one thread and with every thread of the benchmark's pool, beside what
// bounds it (the plain rule on whole cells, a memcpy of one whole cell buffer and of the light a
// step writes, each with the same threads, and the step and that copy taken in turns); the room
// fading to black through subnormal floats; the visibility pass with the reveal. Ends with two
// one-line summaries; then the settled room of halls, the sparse step beside the full sweep and
// the recovery after a strength change, with a summary line for each thread count. Reads media/
// from the working directory or from --root DIR. Wall-clock times per step, copy or pass.
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
#include "tools/HallsLayout.h"
#include "tools/CheckedReporter.h"
#include "tools/RootArgument.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/WorldBuilder.h"

namespace {

// The shipped room inside a Scene, loaded as the program loads it (with no backend), so the
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

// Arg 0: every thread (QUILLMARSH_THREADS or the cores); else that many. The benchmark's own
// pools, one of each size, made on first use and kept for its runs.
WorkerPool& poolFor(int threads) {
  static std::map<int, std::unique_ptr<WorkerPool>> pools;
  if (threads == 0) threads = WorkerPool::threadsFromEnvironment();
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

// The full sweep itself (a room of random light keeps changing everywhere for hundreds of
// steps, but parts of it settle: the automatic choice would take sparse steps there).
void BM_Step256x16x256(benchmark::State& state) {
  LightGrid g;
  largeRoom(7).copyTo(g);
  g.stepPath = LightGrid::StepPath::Full;
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
  g.stepPath = LightGrid::StepPath::Full;
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
  g.touchAll();
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

// The halls built as the program builds a map (256 x 6 x 256, the wandering light at its start),
// at strength 0.25, stepped `steps` times from srand(1) on.
void buildSettledHalls(LightGrid& grid, int steps) {
  const int side = 256;
  const std::vector<unsigned char> rgb = hallsPixels(side);
  ColorMap map;
  buildRoom(rgb.data(), side, side, kRoomHeight, grid, map);
  grid.strength = 0.25f;
  std::srand(1);
  for (int i = 0; i < steps; ++i) grid.step();
}

// Bytes a step moves to and from memory, by a count of 64-byte lines. The full sweep reads the
// three light planes and the kept fraction and writes the light and the texels: 32 bytes a cell
// (its ring of rows stays in the cache). A sparse brick of r rows of sixteen cells reads its own
// lines of each plane, the rows beside its four long faces and the lines on either side of each
// row (its x - 1 and x + 1 neighbours), the kept fraction; it writes its texels and its slot of
// three planes, reads the slot back and writes the light: counted for whole bricks, each brick's
// surroundings as if no other brick shared them, so an upper estimate.
double fullStepBytes(const LightGrid& g) { return 32.0 * static_cast<double>(g.cellCount()); }
double sparseStepBytes(const LightGrid& g) {
  const double rows = LightGrid::kBrickY * LightGrid::kBrickZ;
  const double faces = 2.0 * (LightGrid::kBrickY + LightGrid::kBrickZ);
  const double lines = 3.0 * (rows + faces + 2.0 * rows) + rows + rows + 3.0 * rows + 6.0 * rows;
  return 64.0 * lines * static_cast<double>(g.lastStepBricks());
}

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// The settled halls: the sparse step and the full sweep on twin grids, a step of each in turns
// (the same draw of the wandering light), so both see the same machine. Medians of time and
// bytes per step, and their ratios; the share of the light volume the sparse twin's upload sends
// (the bricks whose light changed); the twins must stay equal bit for bit.
void BM_SettledHalls(benchmark::State& state) {
  LightGrid sparse, full;
  buildSettledHalls(sparse, 1500);
  buildSettledHalls(full, 1500);
  WorkerPool& pool = poolFor(static_cast<int>(state.range(0)));
  sparse.pool = full.pool = &pool;
  sparse.stepPath = LightGrid::StepPath::Automatic;
  full.stepPath = LightGrid::StepPath::Full;
  std::vector<double> sparseMs, fullMs, sparseBytes, cells, uploaded;
  std::vector<TexelBox> boxes;
  sparse.takeTexelChanges(boxes);  // the record of the settling steps
  unsigned draw = 2;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    std::srand(draw);
    const auto t0 = Clock::now();
    sparse.step();
    const auto t1 = Clock::now();
    std::srand(draw++);
    full.step();
    const auto t2 = Clock::now();
    sparseMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    fullMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    sparseBytes.push_back(sparse.lastStepSparse() ? sparseStepBytes(sparse) : fullStepBytes(sparse));
    cells.push_back(static_cast<double>(sparse.lastStepCells()));
    sparse.takeTexelChanges(boxes);
    double texels = 0.0;
    for (const TexelBox& box : boxes) texels += static_cast<double>(box.cells());
    uploaded.push_back(texels / static_cast<double>(sparse.cellCount()));
    state.SetIterationTime(std::chrono::duration<double>(t2 - t0).count());
  }
  const bool same = std::memcmp(sparse.current, full.current,
                                3 * sparse.lightPlaneStride() * sizeof(float)) == 0 &&
                    std::memcmp(sparse.lightTexels(), full.lightTexels(),
                                sparse.cellCount() * sizeof(std::uint32_t)) == 0;
  if (!same) state.SkipWithError("the sparse step and the full sweep differ");
  state.counters["threads"] = pool.threads();
  state.counters["sparse_ms"] = median(sparseMs);
  state.counters["full_ms"] = median(fullMs);
  state.counters["time_ratio"] = median(sparseMs) / median(fullMs);
  state.counters["sparse_MB"] = median(sparseBytes) / 1e6;
  state.counters["full_MB"] = fullStepBytes(full) / 1e6;
  state.counters["bytes_ratio"] = median(sparseBytes) / fullStepBytes(full);
  state.counters["cell_share"] = median(cells) / static_cast<double>(sparse.cellCount());
  state.counters["upload_share"] = median(uploaded);
}
BENCHMARK(BM_SettledHalls)->ArgName("threads")->Arg(1)->Arg(0)
    ->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// The settled halls after the strength goes from 0.25 to 0.5: every lamp's light changes, and
// with it the whole room until it settles again. Counts the steps until the automatic choice
// takes the sparse path for good, the full sweeps on the way, and the steps until a step
// recomputes no more than twice the cells a settled step did (the median of 200 steps before the
// change). One iteration is one change and its recovery (at most 3,000 steps).
void BM_HallsStrengthChange(benchmark::State& state) {
  LightGrid g;
  buildSettledHalls(g, 1500);
  g.pool = &poolFor(static_cast<int>(state.range(0)));
  std::vector<double> settled;
  for (int i = 0; i < 200; ++i) {
    g.step();
    settled.push_back(static_cast<double>(g.lastStepCells()));
  }
  const double cheap = 2.0 * median(settled);
  std::vector<float> light(g.current, g.current + 3 * g.lightPlaneStride());
  const GridCell wandering = g.getCell(g.lightX, g.lightY, g.lightZ);
  const int wx = g.lightX, wy = g.lightY, wz = g.lightZ;
  int toSparse = 0, toCheap = -1, full = 0, steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    restore(g, light, wandering, wx, wy, wz);
    g.strength = 0.25f;
    std::srand(3);
    // The restored light stepped at the old strength until it is sparse again: the marks are
    // those of the settled room.
    do g.step(); while (!g.lastStepSparse());
    g.strength = 0.5f;
    toSparse = full = 0;
    toCheap = -1;
    state.ResumeTiming();
    for (steps = 1; steps <= 3000 && toCheap < 0; ++steps) {
      g.step();
      if (!g.lastStepSparse()) {
        ++full;
        toSparse = steps + 1;
      } else if (static_cast<double>(g.lastStepCells()) <= cheap) {
        toCheap = steps;
      }
    }
  }
  state.counters["settled_cells"] = median(settled);
  state.counters["steps_to_sparse"] = toSparse;
  state.counters["full_steps"] = full;
  state.counters["steps_to_settled"] = toCheap;
  state.counters["ms_per_step"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * (steps - 1),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HallsStrengthChange)->ArgName("threads")->Arg(1)->Arg(0)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The non-GL half of Scene::stepSimulation: the visibility pass from the start view and the reveal
// of the columns it saw.
void BM_VisibilityAndRevealShippedRoom(benchmark::State& state) {
  ShippedRoom room;
  for (auto _ : state) {
    room.map().updateVisibility(Scene::kVisibilityRays, room.world.camera.eye,
                                room.world.camera.target);
    room.world.revealVisibleColumns();
  }
}
BENCHMARK(BM_VisibilityAndRevealShippedRoom)->Unit(benchmark::kMicrosecond);

// The most a pass can cost: an open 256 x 256 map where every ray runs its full range.
void BM_VisibilityOpenMap(benchmark::State& state) {
  ColorMap map;
  map.resize(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) map.setBase(x, y, ColorMap::kOpen);
  const Vec3 eye(128.0f, 2.0f, 128.0f), target(100.0f, 2.0f, 110.0f);
  for (auto _ : state) map.updateVisibility(Scene::kVisibilityRays, eye, target);
}
BENCHMARK(BM_VisibilityOpenMap)->Unit(benchmark::kMicrosecond);

// Keeps each run's wall-clock time per iteration for the summary, and prints the table as usual.
class SummaryReporter : public CheckedReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        const std::string name =
            run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
        ms[name] = run.real_accumulated_time * 1e3 / run.iterations;
        for (const auto& [counter, value] : run.counters) counters[name + ":" + counter] = value;
      }
    CheckedReporter::ReportRuns(runs);
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
  SummaryReporter reporter;
  const int status = runCheckedBenchmarks(argc, argv, reporter);
  if (status != 0 && !reporter.failed) return status;
  const int all = WorkerPool::threadsFromEnvironment();
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
  const auto halls = [&](const char* threads, const char* counter) {
    return reporter.counter(std::string("BM_SettledHalls/threads:") + threads + ":" + counter);
  };
  const auto change = [&](const char* threads, const char* counter) {
    return reporter.counter(std::string("BM_HallsStrengthChange/threads:") + threads + ":" + counter);
  };
  for (const char* threads : {"1", "0"})
    std::printf(
        "summary, settled halls 256x6x256 at strength 0.25, %d thread(s), sparse / full step in "
        "turns (medians): %.3f / %.3f ms = %.3f, %.2f / %.2f MB = %.3f, %.2f%% of the cells; "
        "0.25 -> 0.5: sparse for good after %.0f steps (%.0f full sweeps), settled after %.0f\n",
        std::string(threads) == "1" ? 1 : all, halls(threads, "sparse_ms"),
        halls(threads, "full_ms"), halls(threads, "time_ratio"), halls(threads, "sparse_MB"),
        halls(threads, "full_MB"), halls(threads, "bytes_ratio"), 100.0 * halls(threads, "cell_share"),
        change(threads, "steps_to_sparse"), change(threads, "full_steps"),
        change(threads, "steps_to_settled"));
  return status;
}
