// quillmarsh-framebench: times the frame of the shipped room at 1024 x 800 (run under a display,
// e.g. xvfb-run). Builds the room like the program, raises the light, then renders fixed views
// with glFinish after each piece and prints milliseconds per frame for each pass.
// Usage: quillmarsh-framebench [--frames N] [--steps N] [--strength S] [--dump DIR] [--root DIR]
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Utils/RenderTarget.h"
#include "app/Display.h"
#include "app/Scene.h"
#include "world/ColorMap.h"
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

// One simulation step as the frame loop runs it: diffusion, upload, visibility, reveal.
void simulationStep(double* stepMs, double* visibilityMs) {
  Clock::time_point start = Clock::now();
  scene.grid->step();
  scene.uploadLightVolume();
  glFinish();
  if (stepMs != nullptr) *stepMs += msSince(start);
  start = Clock::now();
  scene.occlusionMap->updateVisibility(Scene::kVisibilityRays, scene.camera.eye,
                                       scene.camera.target);
  scene.revealVisibleColumns();
  if (visibilityMs != nullptr) *visibilityMs += msSince(start);
}

// One frame as the display draws it, each piece finished before the next clock reading.
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
  if (getenv("VP")) glViewport(0,0,atoi(getenv("VP")),atoi(getenv("VP")));
  scene.drawOpaquePass(eye, dimension);
  glFinish();
  t.opaque += msSince(start);

  start = Clock::now();
  scene.drawEmitterPass();
  glFinish();
  t.emitter += msSince(start);

  start = Clock::now();
  scene.drawGlassPass(eye, dimension);
  scene.blockHalfSize = 0.5f;
  glFinish();
  t.glass += msSince(start);

  start = Clock::now();
  presentFrame();
  glFinish();
  t.present += msSince(start);
}

// Saves the finished frame (the front target) as a PNG, top row first.
void dumpFrontTarget(const std::string& path) {
  const int w = 1024, h = 800;
  std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
  glBindTexture(GL_TEXTURE_2D, scene.colorTargets[scene.frontTarget]->texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilTexImage(w, h, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data());  // GL rows run bottom up
  ilEnable(IL_FILE_OVERWRITE);
  if (!ilSaveImage(path.c_str())) std::fprintf(stderr, "framebench: could not write %s\n", path.c_str());
  ilDeleteImages(1, &image);
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 60;
  int steps = 150;
  float strength = 0.25f;
  std::string dumpDir;
  std::string root = QUILLMARSH_FRAMEBENCH_DIR;
  glutInit(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (!std::strcmp(argv[i], "--frames") && hasValue) frames = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--steps") && hasValue) steps = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--strength") && hasValue) strength = std::strtof(argv[++i], nullptr);
    else if (!std::strcmp(argv[i], "--dump") && hasValue) dumpDir = argv[++i];
    else if (!std::strcmp(argv[i], "--root") && hasValue) root = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--frames N] [--steps N] [--strength S] [--dump DIR] "
                           "[--root DIR]\n", argv[0]);
      return 1;
    }
  }
  if (frames < 1 || steps < 1) {
    std::fprintf(stderr, "framebench: --frames and --steps need at least 1\n");
    return 1;
  }
  if (!dumpDir.empty() && dumpDir[0] != '/') {
    char here[4096];
    if (getcwd(here, sizeof here) != nullptr) dumpDir = std::string(here) + "/" + dumpDir;
  }
  // The room's files are read relative to the working directory, as the program reads them.
  if (chdir(root.c_str()) != 0) {
    std::fprintf(stderr, "framebench: cannot enter %s\n", root.c_str());
    return 1;
  }

  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 800);
  glutCreateWindow("Quillmarsh framebench");
  initGL();
  scene.buildWorld("media/textures/maps/testmap.png", 6);
  onReshape(1024, 800);
  std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

  // Fixed wandering-light moves, so runs compare.
  std::srand(1);
  scene.grid->strength = strength;
  const Vec3 startEye = scene.camera.eye, startTarget = scene.camera.target;
  double stepMs = 0.0, visibilityMs = 0.0;
  for (int i = 0; i < steps; ++i) simulationStep(&stepMs, &visibilityMs);
  std::printf("room %d x %d x %d, strength %.3f, %d steps to raise the light\n",
              scene.grid->sizeX, scene.grid->sizeY, scene.grid->sizeZ, strength, steps);
  std::printf("simulation step + upload: %.2f ms, visibility cast + reveal: %.2f ms (per step)\n",
              stepMs / steps, visibilityMs / steps);
  std::printf("\nmilliseconds per frame (wall clock; cpu = process CPU time, all threads)\n");
  std::printf("%-11s %6s %6s %7s %7s %7s %8s %7s %7s\n", "view", "cubes", "glass", "opaque",
              "emitter", "glass", "present", "frame", "cpu");

  Times all;
  double allCpu = 0.0;
  int viewCount = 0;
  for (const View& view : kViews) {
    if (view.target.x == 0 && view.target.y == 0 && view.target.z == 0)
      scene.camera.setView(startEye, startTarget, Vec3(0, 1, 0));
    else
      scene.camera.setView(view.eye, view.target, Vec3(0, 1, 0));
    scene.camera.ViewCamera::update(0.0f);
    // A step reveals the columns this view sees, as the frame loop's next step would.
    simulationStep(nullptr, nullptr);

    Times warm;
    timedFrame(warm);
    Times t;
    const double cpuStart = processCpuMs();
    for (int f = 0; f < frames; ++f) timedFrame(t);
    const double cpu = processCpuMs() - cpuStart;
    allCpu += cpu;
    int cubes = 0;
    for (int z = 0; z < scene.grid->sizeZ; ++z)
      for (int y = 0; y < scene.grid->sizeY; ++y)
        for (int x = 0; x < scene.grid->sizeX; ++x) {
          const GridCell c = scene.grid->getCell(x, y, z);
          if (!c.hidden && c.opacity >= 0.9f &&
              scene.frustum.cubeVisible(static_cast<float>(x), static_cast<float>(y),
                                        static_cast<float>(z), 0.5f))
            ++cubes;
        }
    std::printf("%-11s %6d %6zu %7.2f %7.2f %7.2f %8.2f %7.2f %7.2f  (%.1f fps)\n", view.name,
                cubes, scene.glassCells.size(), t.opaque / frames, t.emitter / frames,
                t.glass / frames, t.present / frames, t.total() / frames, cpu / frames,
                1000.0 * frames / t.total());
    all.opaque += t.opaque;
    all.emitter += t.emitter;
    all.glass += t.glass;
    all.present += t.present;
    ++viewCount;
    if (!dumpDir.empty()) dumpFrontTarget(dumpDir + "/" + view.name + ".png");
  }
  const double n = static_cast<double>(frames) * viewCount;
  std::printf("%-11s %6s %6s %7.2f %7.2f %7.2f %8.2f %7.2f %7.2f  (%.1f fps)\n", "mean", "",
              "", all.opaque / n, all.emitter / n, all.glass / n, all.present / n,
              all.total() / n, allCpu / n, 1000.0 * n / all.total());
  return 0;
}
