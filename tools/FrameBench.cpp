// quillmarsh-framebench: times the frame of the shipped room at 1024 x 800 under a display (e.g.
// xvfb-run): the program's own world build, simulation step, and frame recipe on the desktop
// backend, each stage followed by glFinish, and whole frames drawn back to back, for fixed
// views, with the light step and its upload beside them, and the crosshair with an outline drawn
// alone; then a 256 x 256 room of halls written here in the map maker's layout characters, at
// its start view with the overlay off and on; then the same halls 1024 x 16 x 1024, the largest
// map, once its light has settled (its step, upload and frames, its resident memory); then a
// 256 x 256 room lit by a ceiling light over every open column; then the three-dimensional room of
// tools/GalleryRoom.h (windows, an arch, a low wall, a gallery) from its views; then both light
// volume upload paths beside a memcpy of the bytes they hand over. Milliseconds; a one-line
// summary at the end.
// Usage: quillmarsh-framebench [--frames N] [--steps N] [--strength S] [--height N] [--shots DIR]
//        [--root DIR]
// Reads media/ from the working directory, or from DIR. --height sets the halls' room height
// (default that of the program). --shots writes each view's window, as the program's screenshot
// key saves it, to DIR/VIEW.png (start-dark: the start view before any step; a relative DIR is
// taken from the --root folder).
#include <sys/stat.h>

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/Scene.h"
#include "desktop/GlBackend.h"
#include "desktop/Screenshot.h"
#include "tools/GalleryRoom.h"
#include "tools/HallsLayout.h"
#include "platform/FileWriter.h"
#include "tools/RootArgument.h"
#include "tools/ToolUsage.h"
#include "world/CellFromColour.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the whole process (all its threads, the rasteriser's included), milliseconds.
double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
}

struct View {
  const char* name;
  Vec3 eye;
  Vec3 target;  // look-at point; (0, 0, 0) keeps the view the world build chose
};

// The start view, then places that show the long hall, both glass walls and a corner.
const View kViews[] = {
    {"start", Vec3(0, 0, 0), Vec3(0, 0, 0)},
    {"hall", Vec3(30.0f, 2.0f, 3.0f), Vec3(30.0f, 2.0f, 39.0f)},
    {"glass-east", Vec3(49.0f, 2.0f, 13.5f), Vec3(38.0f, 2.0f, 14.5f)},
    {"glass-pane", Vec3(45.0f, 2.5f, 2.0f), Vec3(41.0f, 2.0f, 7.0f)},
    {"west-room", Vec3(16.0f, 2.0f, 24.0f), Vec3(8.0f, 2.0f, 33.0f)},
};

struct Times {
  double step = 0, upload = 0;  // one light step and one light upload (CPU path), per frame row
  double uploadBytes = 0;        // the bytes those uploads handed over
  double opaque = 0, emitter = 0, glass = 0, present = 0;
  double plan = 0;  // the part of `opaque` spent on the plan
  double whole = 0;  // frames drawn back to back, as the display loop draws them
  double total() const { return opaque + emitter + glass + present; }
};

// The clock of a timed frame: each stage is finished and its time added to its column.
struct StageClock {
  Times* times;
  Clock::time_point start;
};

// The scene and the backend it draws with, made in main.
struct Bench {
  Scene& scene;
  GlBackend& backend;
};

// The plan (the cell walk) counts with the opaque pass; the view set-up with presenting.
void finishStage(FrameStage stage, void* context) {
  StageClock& clock = *static_cast<StageClock*>(context);
  glFinish();
  const double ms = msSince(clock.start);
  Times& t = *clock.times;
  switch (stage) {
    case FrameStage::View: t.present += ms; break;
    case FrameStage::Plan: t.plan += ms; t.opaque += ms; break;
    case FrameStage::Opaque: t.opaque += ms; break;
    case FrameStage::Emitter: t.emitter += ms; break;
    case FrameStage::Glass: t.glass += ms; break;
    case FrameStage::Present: t.present += ms; break;
  }
  clock.start = Clock::now();
}

// One frame as the program's display callback draws it: the recipe, then the swap.
void wholeFrame(Bench& bench) {
  bench.scene.drawFrame();
  glutSwapBuffers();
}

// One frame of the program's recipe, each stage finished before the clock is read; the swap
// counts with presenting.
void timedFrame(Bench& bench, Times& t) {
  StageClock clock{&t, Clock::now()};
  bench.scene.drawFrame(finishStage, &clock);
  glutSwapBuffers();
  glFinish();
  t.present += msSince(clock.start);
}

// A shot that could not be kept: the bench then ends with status 1.
bool shotLost = false;

// Draws one frame as the window shows it and keeps it as SHOTS/NAME.png as the program's own
// screenshot would read it (the back buffer before the swap). Nothing when `shots` is empty.
void saveShot(Bench& bench, const std::string& shots, const char* name) {
  if (shots.empty()) return;
  bench.scene.drawFrame();
  std::vector<unsigned char> png;
  const bool encoded = windowPng(bench.scene.width, bench.scene.height, png);
  glutSwapBuffers();
  const std::string target = shots + "/" + name + ".png";
  std::string error = "cannot encode the picture for " + target;
  if (encoded && FileWriter::replace(target, png, error)) return;
  std::fprintf(stderr, "framebench: %s\n", error.c_str());
  shotLost = true;
}

// Times `frames` frames from (eye, target) after one step that reveals what the view sees, and
// prints the view's row; the totals gather into `all` and `allCpu`.
void timeView(Bench& bench, const char* name, const Vec3& eye, const Vec3& target, int frames,
              Times& all, double& allCpu, const std::string& shots) {
  Scene& scene = bench.scene;
  scene.camera.setView(eye, target, Vec3(0, 1, 0));
  scene.camera.ViewCamera::update(0.0f);
  scene.refreshPick();

  Times t;
  // The step and the upload of what it changed, as often as the frames, apart from the rest of
  // stepSimulation; then a whole simulation step, whose reveal the frames draw.
  std::vector<TexelBox> boxes;
  for (int f = 0; f < frames; ++f) {
    Clock::time_point start = Clock::now();
    scene.grid->step();
    t.step += msSince(start);
    start = Clock::now();
    scene.grid->takeTexelChanges(boxes);
    for (const TexelBox& box : boxes) t.uploadBytes += 4.0 * box.cells();
    bench.backend.uploadLight(*scene.grid, scene.flags.cpuLightUpload, boxes);
    glFinish();
    t.upload += msSince(start);
  }
  scene.stepSimulation();
  Times warm;
  timedFrame(bench, warm);
  const double cpuStart = processCpuMs();
  for (int f = 0; f < frames; ++f) timedFrame(bench, t);
  const double cpu = processCpuMs() - cpuStart;
  allCpu += cpu;
  const Clock::time_point wholeStart = Clock::now();
  for (int f = 0; f < frames; ++f) wholeFrame(bench);
  glFinish();
  t.whole = msSince(wholeStart);
  std::printf("%-11s %6zu %6zu %6zu %5.2f %7.2f %7.2f %7.2f %8.2f %7.2f %7.2f %7.2f %6.2f %6.2f %7.0f  (%.1f fps)\n",
              name, scene.recipe.opaqueBlocks.size(), scene.recipe.emitterCells.size(),
              scene.recipe.glassCells.size(), t.plan / frames, t.opaque / frames, t.emitter / frames,
              t.glass / frames, t.present / frames, t.total() / frames, cpu / frames,
              t.whole / frames, t.step / frames, t.upload / frames, t.uploadBytes / frames / 1024.0,
              1000.0 * frames / t.whole);
  all.step += t.step;
  all.upload += t.upload;
  all.uploadBytes += t.uploadBytes;
  all.whole += t.whole;
  all.plan += t.plan;
  all.opaque += t.opaque;
  all.emitter += t.emitter;
  all.glass += t.glass;
  all.present += t.present;
  saveShot(bench, shots, name);
}

// The crosshair and the outline of a picked cell over the finished frame, drawn `count` times
// and finished once: milliseconds per drawing.
double timeEditView(Bench& bench, int count) {
  Scene& scene = bench.scene;
  scene.pick = pickCell(*scene.grid, scene.camera.eye, Vec3(0.0f, -1.0f, 0.3f));
  const FrameInputs inputs = scene.frameInputs();
  std::vector<float> outline;
  FrameRecipe::outlineLines(scene.pick, inputs.eye, outline);
  // The crosshair alone: the screen's first six items (its four strokes, its frame and swatch).
  std::vector<ScreenItem> crosshair = scene.frameOverlay().screen;
  crosshair.resize(std::min<size_t>(crosshair.size(), 6));
  const unsigned char grey[3] = {FrameRecipe::kOutlineGrey, FrameRecipe::kOutlineGrey,
                                 FrameRecipe::kOutlineGrey};
  bench.backend.beginFrame(inputs);
  glFinish();
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < count; ++i) {
    bench.backend.drawWorldLines(outline, grey, 2.0f);
    bench.backend.drawScreen(crosshair);
  }
  glFinish();
  return scene.pick.hit ? msSince(start) / count : -1.0;
}

// The frame is drawn in the window, so the swap alone shows it. Beside it, each done `count`
// times back to back and finished once (milliseconds each): a memcpy of the window's bytes (four
// a pixel), the floor of any presentation; the glass pass's copy over the whole window; and a
// textured quad over the whole window, what showing a finished off-screen target would cost.
void timePresentation(Bench& bench, int count, double& swap, double& memcopy, double& glassCopy,
                      double& quad) {
  Scene& scene = bench.scene;
  scene.drawFrame();
  glFinish();
  const PixelRect window{0, 0, scene.width, scene.height};
  const auto timed = [&](auto&& draw) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) draw();
    glFinish();
    return msSince(start) / count;
  };
  swap = timed([] { glutSwapBuffers(); });
  std::vector<unsigned char> from(4 * static_cast<size_t>(scene.width) * scene.height, 1), to(from.size());
  volatile unsigned char read = 0;  // the copy is read, so it cannot be left out
  memcopy = timed([&] {
    std::memcpy(to.data(), from.data(), from.size());
    read = to[to.size() / 2];
  });
  glassCopy = timed([&] { bench.backend.copyBehind(window); });
  quad = timed([&] { bench.backend.showBehind(); });
}

// Replaces the scene's room with one built from map pixels of the given size, as Scene::loadRoom
// builds a map (a new light volume, the camera at the start).
void enterRoomOfPixels(Scene& scene, const std::vector<unsigned char>& rgb, int side, int height) {
  auto grid = std::make_unique<LightGrid>();
  auto map = std::make_unique<ColorMap>();
  const StartView start = buildRoom(rgb.data(), side, side, height, *grid, *map);
  scene.grid = std::move(grid);
  scene.occlusionMap = std::move(map);
  scene.grid->pool = scene.pool.get();
  scene.enterRoom(start);
}

// The halls, turned into map pixels through the map maker's legend.
void buildHallsRoom(Scene& scene, int side, int height) {
  enterRoomOfPixels(scene, hallsPixels(side), side, height);
}

// Replaces the scene's room with a 256 x 256 one: wall around, a ceiling light over every open
// column (warm, yellow and blue in turn), the start marker in the middle.
void buildAllLightsRoom(Scene& scene) {
  const int side = 256;
  std::vector<unsigned char> rgb(static_cast<size_t>(side) * side * 3);
  const mapcolour::Rgb lights[3] = {mapcolour::kWarmLight, mapcolour::kYellowLight,
                                    mapcolour::kBlueLight};
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) {
      const bool edge = x == 0 || z == 0 || x == side - 1 || z == side - 1;
      const mapcolour::Rgb c = edge                            ? mapcolour::kWall
                               : x == side / 2 && z == side / 2 ? mapcolour::kGreenMarker
                                                                : lights[(x + z) % 3];
      unsigned char* p = &rgb[(static_cast<size_t>(z) * side + x) * 3];
      p[0] = static_cast<unsigned char>(c.r);
      p[1] = static_cast<unsigned char>(c.g);
      p[2] = static_cast<unsigned char>(c.b);
    }
  enterRoomOfPixels(scene, rgb, side, kRoomHeight);
}

// The process's resident memory, MiB (0 where /proc does not say).
double residentMiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  double kib = 0.0;
  while (status >> key)
    if (key == "VmRSS:" && status >> kib) break;
  return kib / 1024.0;
}

// Mean, median and least milliseconds of `run`, over at least 20 runs and one second.
struct Spread {
  double mean = 0, median = 0, least = 0;
  size_t runs = 0;
};
template <typename Run>
Spread timeRuns(Run run) {
  for (int i = 0; i < 3; ++i) run();
  std::vector<double> ms;
  double total = 0.0;
  while (ms.size() < 20 || total < 1000.0) {
    const Clock::time_point start = Clock::now();
    run();
    ms.push_back(msSince(start));
    total += ms.back();
  }
  std::sort(ms.begin(), ms.end());
  return Spread{total / ms.size(), ms[ms.size() / 2], ms.front(), ms.size()};
}

// Light volume uploads of `grid` (its volume made) on both paths, and a memcpy of the bytes the
// CPU path hands over; the medians of the CPU path and of the memcpy in `cpu` and `copy`.
void timeUploads(const char* name, const LightGrid& grid, GlBackend& backend, double& cpu,
                 double& copy) {
  const auto print = [&](const char* what, const Spread& t) {
    std::printf("%-13s %3dx%dx%-3d %-7s mean %8.3f  median %8.3f  min %8.3f  (%zu runs)\n", name,
                grid.sizeX, grid.sizeY, grid.sizeZ, what, t.mean, t.median, t.least, t.runs);
  };
  for (bool onCpu : {true, false}) {
    const Spread t = timeRuns([&] {
      backend.uploadLight(grid, onCpu, {grid.wholeBox()});
      glFinish();
    });
    print(onCpu ? "cpu" : "slices", t);
    if (onCpu) cpu = t.median;
  }
  const size_t bytes = static_cast<size_t>(grid.cellCount()) * sizeof(std::uint32_t);
  std::vector<unsigned char> to(bytes, 1);
  const unsigned char* from = reinterpret_cast<const unsigned char*>(grid.lightTexels());
  const Spread t = timeRuns([&] { std::memcpy(to.data(), from, bytes); });
  print("memcpy", t);
  copy = t.median;
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 60;
  int steps = 150;
  float strength = 0.25f;
  int hallsHeight = kRoomHeight;
  std::string shots;
  const char* const usage =
      "quillmarsh-framebench [--frames N>0] [--steps N>0] [--strength S] [--height 3..64] "
      "[--shots DIR] [--root DIR]";
  // Before the toolkit, which needs a display; the unknown options after it took its own.
  if (usageAsked(argc, argv, usage)) return 0;
  glutInit(&argc, argv);
  if (const int status = checkToolArguments(argc, argv, usage,
                                            {"--frames", "--steps", "--strength", "--height",
                                             "--shots", "--root"});
      status >= 0)
    return status;
  // The shots' folder as given, from where the bench was started, before --root moves it.
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--shots") != 0) continue;
    if (*argv[i + 1] == '\0') {
      std::fprintf(stderr, "framebench: --shots needs a folder, not \"\"\n");
      return 1;
    }
    shots = std::filesystem::absolute(argv[i + 1]).string();
  }
  if (!enterRoot(argc, argv)) return 1;
  const struct { const char* option; double lo, hi; bool whole; double value; } numbers[] = {
      {"--frames", 1, 1e6, true, 60.0}, {"--steps", 1, 1e6, true, 150.0},
      {"--strength", 0, 1.15, false, 0.25}, {"--height", 3, 64, true, kRoomHeight}};
  double values[4];
  for (int n = 0; n < 4; ++n) values[n] = numbers[n].value;
  // Every option takes the argument after it.
  for (int i = 1; i < argc; i += 2) {
    bool known = !std::strcmp(argv[i], "--shots");
    for (int n = 0; n < 4; ++n) {
      if (std::strcmp(argv[i], numbers[n].option) != 0) continue;
      known = true;
      if (i + 1 < argc && !numberArgument("framebench", numbers[n].option, argv[i + 1],
                                          numbers[n].lo, numbers[n].hi, numbers[n].whole, values[n]))
        return 1;
    }
    if (!known || i + 1 >= argc) {
      std::fprintf(stderr, "usage: %s\n", usage);
      return 1;
    }
  }
  frames = static_cast<int>(values[0]);
  steps = static_cast<int>(values[1]);
  // The keys' ceiling, which 1.15 in float is.
  strength = std::min(static_cast<float>(values[2]), controls::kStrengthCeiling);
  hallsHeight = static_cast<int>(values[3]);
  struct stat folder;
  if (!shots.empty() && (stat(shots.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))) {
    std::fprintf(stderr, "framebench: --shots needs a folder, not \"%s\"\n", shots.c_str());
    return 1;
  }

  ilInit();
  Scene scene;
  std::string error;
  if (!scene.loadRoom(kShippedMapFile, kRoomHeight, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(Scene::kWindowWidth, Scene::kWindowHeight);
  glutCreateWindow("Quillmarsh framebench");
  GlBackend backend(Scene::kWindowWidth, Scene::kWindowHeight);
  scene.attachBackend(&backend);
  Bench bench{scene, backend};
  std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

  // Fixed wandering-light moves, so runs compare.
  std::srand(1);
  scene.grid->strength = strength;
  const Vec3 startEye = scene.camera.eye, startTarget = scene.camera.target;
  // The view matrix follows the camera at its update, as in the program's first frame.
  scene.camera.ViewCamera::update(0.0f);
  saveShot(bench, shots, "start-dark");
  const Clock::time_point stepStart = Clock::now();
  for (int i = 0; i < steps; ++i) {
    scene.stepSimulation();
    glFinish();
  }
  std::printf("room %d x %d x %d, strength %.3f, %d steps to raise the light\n",
              scene.grid->sizeX, scene.grid->sizeY, scene.grid->sizeZ, strength, steps);
  std::printf("simulation step (light, upload, visibility, reveal): %.2f ms\n",
              msSince(stepStart) / steps);
  std::printf("\nmilliseconds per frame (wall clock; each pass finished before the next: plan is "
              "its part of opaque,\npasses their sum, cpu the process CPU time over them, all "
              "threads; frame: whole frames drawn\nback to back as the program draws them, the "
              "rate in brackets; step: one light step, upload: the upload of what it changed on the CPU\n"
              "path, KiB: the kibibytes that upload handed over)\n");
  std::printf("%-11s %6s %6s %6s %5s %7s %7s %7s %8s %7s %7s %7s %6s %6s %7s\n", "view", "cubes",
              "lights", "glass", "plan", "opaque", "emitter", "glass", "present", "passes", "cpu",
              "frame", "step", "upload", "KiB");

  Times all, shippedStart;
  double allCpu = 0.0;
  for (const View& view : kViews) {
    const bool start = view.target.x == 0 && view.target.y == 0 && view.target.z == 0;
    const Times before = all;
    timeView(bench, view.name, start ? startEye : view.eye, start ? startTarget : view.target, frames,
             all, allCpu, shots);
    if (start) {
      shippedStart.whole = all.whole - before.whole;
      shippedStart.step = all.step - before.step;
      shippedStart.upload = all.upload - before.upload;
      shippedStart.uploadBytes = all.uploadBytes - before.uploadBytes;
    }
  }
  const double n = static_cast<double>(frames) * (sizeof kViews / sizeof kViews[0]);
  std::printf("%-11s %6s %6s %6s %5.2f %7.2f %7.2f %7.2f %8.2f %7.2f %7.2f %7.2f %6.2f %6.2f %7.0f  (%.1f fps)\n",
              "mean", "", "", "", all.plan / n, all.opaque / n, all.emitter / n, all.glass / n,
              all.present / n, all.total() / n, allCpu / n, all.whole / n, all.step / n,
              all.upload / n, all.uploadBytes / n / 1024.0, 1000.0 * n / all.whole);

  std::printf("crosshair and outline (part of present): %.4f ms\n", timeEditView(bench, 1000));
  double swapMs = 0, memcpyMs = 0, glassCopyMs = 0, quadMs = 0;
  timePresentation(bench, 200, swapMs, memcpyMs, glassCopyMs, quadMs);
  std::printf("presentation: the swap %.3f ms, a memcpy of the window's pixels %.3f ms (swap / "
              "memcpy %.2f); the glass's copy of the whole window %.3f ms; a full-window textured "
              "quad %.3f ms\n", swapMs, memcpyMs, swapMs / memcpyMs, glassCopyMs, quadMs);

  // The shipped room, set aside for the uploads at the end.
  std::unique_ptr<LightGrid> shippedGrid = std::move(scene.grid);
  std::unique_ptr<ColorMap> shippedMap = std::move(scene.occlusionMap);

  // The halls at their start view, lit for a while, without and with the overlay.
  buildHallsRoom(scene, 256, hallsHeight);
  scene.grid->strength = strength;
  const Vec3 hallsEye = scene.camera.eye, hallsTarget = scene.camera.target;
  for (int i = 0; i < std::min(steps, 100); ++i) scene.stepSimulation();
  Times halls[2];
  double hallsCpu = 0.0;
  std::printf("halls %d x %d x %d, start view, overlay off, then on:\n", scene.grid->sizeX,
              scene.grid->sizeY, scene.grid->sizeZ);
  for (bool overlay : {false, true}) {
    scene.flags.overlayVisible = overlay;
    timeView(bench, overlay ? "halls+map" : "halls", hallsEye, hallsTarget, frames,
             halls[overlay], hallsCpu, shots);
  }
  scene.flags.overlayVisible = false;

  // The halls at the largest map side and a tall room: the light step and its upload cost what
  // the room holds, the visibility, the reveal and the frame what the view holds.
  const int bigSide = MapImage::kMaxSide, bigHeight = 16;
  scene.grid.reset();
  scene.occlusionMap.reset();
  const double residentEmpty = residentMiB();
  buildHallsRoom(scene, bigSide, bigHeight);
  const double residentBig = residentMiB();
  scene.grid->strength = strength;
  const Vec3 bigEye = scene.camera.eye, bigTarget = scene.camera.target;
  // Settled: ten sparse steps in a row, each over at most a twentieth of the bricks (the
  // wandering light keeps a few changing for ever); at most four times --steps steps. The rows
  // below then time the room as it stands once its light has spread, not while it spreads.
  const int bigCap = 4 * steps;
  int bigSettle = 0;
  const Clock::time_point bigStart = Clock::now();
  for (int quiet = 0; bigSettle < bigCap && quiet < 10; ++bigSettle) {
    scene.stepSimulation();
    const LightGrid& g = *scene.grid;
    quiet = g.lastStepSparse() && 20 * g.lastStepBricks() <= g.brickCount() ? quiet + 1 : 0;
  }
  glFinish();
  const double bigStep = msSince(bigStart) / bigSettle;
  const double bigUploadMiB = scene.grid->cellCount() * 4.0 / (1 << 20);
  std::printf("halls %d x %d x %d: resident %.0f MiB with the room and its light volume (%.0f "
              "without them; %.1f bytes a cell), %d steps to settle at %.2f ms each (light, "
              "upload of what changed out of %.0f MiB, visibility, reveal), overlay off, then on:\n",
              bigSide, bigHeight, bigSide, residentBig, residentEmpty,
              (residentBig - residentEmpty) * (1 << 20) / scene.grid->cellCount(), bigSettle,
              bigStep, bigUploadMiB);
  Times big[2];
  double bigCpu = 0.0;
  for (bool overlay : {false, true}) {
    scene.flags.overlayVisible = overlay;
    timeView(bench, overlay ? "halls1k+map" : "halls1k", bigEye, bigTarget, frames, big[overlay],
             bigCpu, shots);
  }
  scene.flags.overlayVisible = false;

  // Emitters by the thousand: the start view of the all-lights room, after a few steps.
  buildAllLightsRoom(scene);
  scene.grid->strength = strength;
  const Vec3 lightsEye = scene.camera.eye, lightsTarget = scene.camera.target;
  for (int i = 0; i < std::min(steps, 20); ++i) scene.stepSimulation();
  Times lightsAll;
  double lightsCpu = 0.0;
  timeView(bench, "all-lights", lightsEye, lightsTarget, frames, lightsAll, lightsCpu, shots);

  // The three-dimensional room written in code: its views look through windows, an arch and a
  // low wall, under and onto a gallery; their shots are the ones to count holes in beside the
  // shipped room's.
  {
    auto grid = std::make_unique<LightGrid>();
    auto map = std::make_unique<ColorMap>();
    const StartView start = galleryroom::build(*grid, *map);
    scene.grid = std::move(grid);
    scene.occlusionMap = std::move(map);
    scene.grid->pool = scene.pool.get();
    scene.enterRoom(start);
  }
  scene.grid->strength = strength;
  for (int i = 0; i < std::min(steps, 100); ++i) scene.stepSimulation();
  Times galleryAll;
  double galleryCpu = 0.0;
  for (const galleryroom::View& view : galleryroom::kViews)
    timeView(bench, view.name, view.eye, view.target, frames, galleryAll, galleryCpu, shots);

  scene.grid = std::move(shippedGrid);
  scene.occlusionMap = std::move(shippedMap);
  backend.createLightVolume(scene.grid->sizeX, scene.grid->sizeY, scene.grid->sizeZ);

  // The light volume upload on both paths: the lit room, and a large grid with light from dark
  // to very bright in every cell.
  std::printf("\nmilliseconds per light volume upload, and per memcpy of the bytes it hands over\n");
  double shippedUpload = 0, shippedCopy = 0, largeUpload = 0, largeCopy = 0;
  timeUploads("shipped room", *scene.grid, backend, shippedUpload, shippedCopy);
  LightGrid large;
  large.resize(256, 6, 256);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> exponent(-3.0f, 6.0f);
  for (int z = 0; z < 256; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 256; ++x) {
        GridCell cell;
        for (float& c : cell.light) c = std::pow(10.0f, exponent(rng));
        large.setCell(x, y, z, cell);
      }
  backend.createLightVolume(large.sizeX, large.sizeY, large.sizeZ);
  timeUploads("large grid", large, backend, largeUpload, largeCopy);

  const double f = frames;
  std::printf("summary: shipped start %.2f ms a frame + step %.2f + upload %.3f ms; halls 256x%dx256 "
              "start %.2f ms a frame (overlay on %.2f) + step %.2f + upload %.3f ms; halls "
              "%dx%dx%d start %.2f ms a frame (overlay on %.2f) + step %.2f + upload %.3f ms "
              "(%.0f KiB of %.0f MiB), %.0f MiB resident; upload 256x6x256 %.3f ms, memcpy of its bytes "
              "%.3f ms\n",
              shippedStart.whole / f, shippedStart.step / f, shippedStart.upload / f, hallsHeight,
              halls[0].whole / f, halls[1].whole / f, halls[0].step / f, halls[0].upload / f,
              bigSide, bigHeight, bigSide, big[0].whole / f, big[1].whole / f, big[0].step / f,
              big[0].upload / f, big[0].uploadBytes / f / 1024.0, bigUploadMiB, residentBig,
              largeUpload, largeCopy);
  return shotLost ? 1 : 0;
}
