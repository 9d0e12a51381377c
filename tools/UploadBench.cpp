// quillmarsh-uploadbench: milliseconds per light volume upload on each path (CPU array, slices
// of points through the framebuffer), on the shipped room (60 x 6 x 40) and a 256 x 6 x 256 grid.
// GL: run under an X display (tests/with-display.sh). Every upload ends with glFinish so that
// its time includes the driver's work. Finds the shipped map through the source directory.
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <IL/il.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "app/Scene.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

namespace {

const char* const kShippedMap = QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png";
// Each measurement runs at least this many uploads and for at least this long.
constexpr int kMinUploads = 20;
constexpr double kMinSeconds = 1.0;

// The shipped room as the program builds it, lit by 50 steps at full strength.
void buildShippedRoom(Scene& s) {
  MapImage image;
  image.loadOrExit(kShippedMap);
  s.occlusionMap = new ColorMap();
  s.occlusionMap->resize(image.width, image.height);
  s.grid = new LightGrid();
  s.grid->resize(image.width, 6, image.height);
  s.camera.grid = s.grid;
  {
    const StartView start = buildWorldFromPixels(image.pixels.data(), image.width, image.height, *s.grid, *s.occlusionMap);
    if (start.found) s.camera.setView(start.eye, start.target, start.up);
  }
  s.grid->strength = 1.0f;
  for (int i = 0; i < 50; ++i) s.grid->step();
}

// A large grid with random light from dark to very bright in every cell.
void buildLargeGrid(Scene& s) {
  s.grid = new LightGrid();
  s.grid->resize(256, 6, 256);
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> exponent(-3.0f, 6.0f);
  for (int z = 0; z < 256; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 256; ++x) {
        GridCell cell;
        for (float& c : cell.light) c = std::pow(10.0f, exponent(rng));
        s.grid->setCell(x, y, z, cell);
      }
}

struct Timing {
  double meanMs, medianMs, minMs;
  int uploads;
};

Timing measure(Scene& s, bool cpu) {
  s.cpuLightUpload = cpu;
  for (int i = 0; i < 3; ++i) s.uploadLightVolume();
  glFinish();
  std::vector<double> ms;
  double total = 0.0;
  while (static_cast<int>(ms.size()) < kMinUploads || total < kMinSeconds) {
    const auto start = std::chrono::steady_clock::now();
    s.uploadLightVolume();
    glFinish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ms.push_back(seconds * 1e3);
    total += seconds;
  }
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  return {total * 1e3 / ms.size(), sorted[sorted.size() / 2], sorted.front(),
          static_cast<int>(ms.size())};
}

void report(const char* name, Scene& s) {
  const LightGrid& g = *s.grid;
  for (bool cpu : {true, false}) {
    const Timing t = measure(s, cpu);
    std::printf("%-14s %3dx%dx%-3d %-6s mean %8.3f ms  median %8.3f ms  min %8.3f ms  (%d uploads)\n",
                name, g.sizeX, g.sizeY, g.sizeZ, cpu ? "cpu" : "slices", t.meanMs, t.medianMs,
                t.minMs, t.uploads);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1024, 800);
  glutCreateWindow("Quillmarsh upload bench");
  if (glewInit() != GLEW_OK) {
    std::fprintf(stderr, "quillmarsh-uploadbench: glewInit failed\n");
    return 1;
  }
  ilInit();
  std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

  Scene room;
  buildShippedRoom(room);
  room.createLightVolume();
  report("shipped room", room);

  Scene large;
  buildLargeGrid(large);
  large.createLightVolume();
  report("large grid", large);
  return 0;
}
