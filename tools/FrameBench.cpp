// quillmarsh-framebench: times the frame of the shipped room at 1024 x 800 under a display (e.g.
// xvfb-run): the program's own world build, simulation step, passes and presentation, each
// followed by glFinish, for fixed views; then both light volume upload paths. Milliseconds.
// Usage: quillmarsh-framebench [--frames N] [--steps N] [--strength S] [--root DIR]
// Reads media/ from the working directory, or from DIR.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "app/Display.h"
#include "app/Scene.h"
#include "tools/ShippedRoom.h"
#include "world/LightGrid.h"

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
  double opaque = 0, emitter = 0, glass = 0, present = 0;
  double total() const { return opaque + emitter + glass + present; }
};

// One frame as onDisplay draws it after the update, each piece finished before the clock is
// read. The plan (the cell walk) counts with the opaque pass; the view set-up with presenting.
void timedFrame(Times& t) {
  const Vec3 eyeVec = scene.camera.position();
  const float eye[3] = {eyeVec.x, eyeVec.y, eyeVec.z};
  const float dimension[3] = {static_cast<float>(scene.grid->sizeX),
                              static_cast<float>(scene.grid->sizeY),
                              static_cast<float>(scene.grid->sizeZ)};
  Clock::time_point start = Clock::now();
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glMultMatrixf(scene.camera.glViewMatrix);
  glFinish();
  t.present += msSince(start);

  start = Clock::now();
  scene.planFrame(eye);
  scene.drawOpaquePass(eye, dimension);
  glFinish();
  t.opaque += msSince(start);

  start = Clock::now();
  scene.drawEmitterPass();
  glFinish();
  t.emitter += msSince(start);

  start = Clock::now();
  scene.drawGlassPass(eye, dimension);
  glFinish();
  t.glass += msSince(start);

  start = Clock::now();
  presentFrame();
  glFinish();
  t.present += msSince(start);
}

// Mean, median and least milliseconds per light volume upload on the scene's current path, over
// at least 20 uploads and one second.
void timeUploads(const char* name, Scene& s) {
  for (bool cpu : {true, false}) {
    s.cpuLightUpload = cpu;
    for (int i = 0; i < 3; ++i) s.uploadLightVolume();
    glFinish();
    std::vector<double> ms;
    double total = 0.0;
    while (ms.size() < 20 || total < 1000.0) {
      const Clock::time_point start = Clock::now();
      s.uploadLightVolume();
      glFinish();
      ms.push_back(msSince(start));
      total += ms.back();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-13s %3dx%dx%-3d %-6s mean %8.3f  median %8.3f  min %8.3f  (%zu uploads)\n", name,
                s.grid->sizeX, s.grid->sizeY, s.grid->sizeZ, cpu ? "cpu" : "slices",
                total / ms.size(), ms[ms.size() / 2], ms.front(), ms.size());
  }
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 60;
  int steps = 150;
  float strength = 0.25f;
  glutInit(&argc, argv);
  if (!shippedroom::enterRoot(argc, argv)) return 1;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (!std::strcmp(argv[i], "--frames") && hasValue) frames = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--steps") && hasValue) steps = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--strength") && hasValue) strength = std::strtof(argv[++i], nullptr);
    else frames = 0;
  }
  if (frames < 1 || steps < 1) {
    std::fprintf(stderr, "usage: %s [--frames N>0] [--steps N>0] [--strength S] [--root DIR]\n",
                 argv[0]);
    return 1;
  }

  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(Scene::kWindowWidth, Scene::kWindowHeight);
  glutCreateWindow("Quillmarsh framebench");
  initGL();
  scene.buildWorld(shippedroom::kMapFile, shippedroom::kRoomHeight);
  onReshape(Scene::kWindowWidth, Scene::kWindowHeight);
  std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

  // Fixed wandering-light moves, so runs compare.
  std::srand(1);
  scene.grid->strength = strength;
  const Vec3 startEye = scene.camera.eye, startTarget = scene.camera.target;
  const Clock::time_point stepStart = Clock::now();
  for (int i = 0; i < steps; ++i) {
    scene.stepSimulation();
    glFinish();
  }
  std::printf("room %d x %d x %d, strength %.3f, %d steps to raise the light\n",
              scene.grid->sizeX, scene.grid->sizeY, scene.grid->sizeZ, strength, steps);
  std::printf("simulation step (light, upload, visibility, reveal): %.2f ms\n",
              msSince(stepStart) / steps);
  std::printf("\nmilliseconds per frame (wall clock; cpu = process CPU time, all threads)\n");
  std::printf("%-11s %6s %6s %7s %7s %7s %8s %7s %7s\n", "view", "cubes", "glass", "opaque",
              "emitter", "glass", "present", "frame", "cpu");

  Times all;
  double allCpu = 0.0;
  for (const View& view : kViews) {
    const bool start = view.target.x == 0 && view.target.y == 0 && view.target.z == 0;
    scene.camera.setView(start ? startEye : view.eye, start ? startTarget : view.target,
                         Vec3(0, 1, 0));
    scene.camera.ViewCamera::update(0.0f);
    // A step reveals the columns this view sees, as the frame loop's next step would.
    scene.stepSimulation();

    Times warm;
    timedFrame(warm);
    Times t;
    const double cpuStart = processCpuMs();
    for (int f = 0; f < frames; ++f) timedFrame(t);
    const double cpu = processCpuMs() - cpuStart;
    allCpu += cpu;
    std::printf("%-11s %6zu %6zu %7.2f %7.2f %7.2f %8.2f %7.2f %7.2f  (%.1f fps)\n", view.name,
                scene.opaqueBlocks.size(), scene.glassCells.size(), t.opaque / frames,
                t.emitter / frames, t.glass / frames, t.present / frames, t.total() / frames,
                cpu / frames, 1000.0 * frames / t.total());
    all.opaque += t.opaque;
    all.emitter += t.emitter;
    all.glass += t.glass;
    all.present += t.present;
  }
  const double n = static_cast<double>(frames) * (sizeof kViews / sizeof kViews[0]);
  std::printf("%-11s %6s %6s %7.2f %7.2f %7.2f %8.2f %7.2f %7.2f  (%.1f fps)\n", "mean", "",
              "", all.opaque / n, all.emitter / n, all.glass / n, all.present / n,
              all.total() / n, allCpu / n, 1000.0 * n / all.total());

  // The light volume upload on both paths: the lit room, and a large grid with light from dark
  // to very bright in every cell.
  std::printf("\nmilliseconds per light volume upload\n");
  timeUploads("shipped room", scene);
  Scene large;
  large.grid = new LightGrid();
  large.grid->resize(256, 6, 256);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> exponent(-3.0f, 6.0f);
  for (int z = 0; z < 256; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 256; ++x) {
        GridCell cell;
        for (float& c : cell.light) c = std::pow(10.0f, exponent(rng));
        large.grid->setCell(x, y, z, cell);
      }
  large.createLightVolume();
  timeUploads("large grid", large);
  return 0;
}
