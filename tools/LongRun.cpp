// quillmarsh-longrun: the shipped room for many simulation steps at a high strength with the
// wandering light moving, every step checked (LightSoak); reports the largest light per window,
// the decay after the strength is dropped to 0, the time taken and the resident set size.
// Usage: quillmarsh-longrun [steps=20000] [strength=30] [seed=1] [map=<the shipped map>]
#include <IL/il.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "app/FlyCamera.h"
#include "tools/LightSoak.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

namespace {

constexpr long kReleaseSteps = 300;

// A line of /proc/self/status ("VmRSS", "VmHWM"), in kB; -1 where it cannot be read.
long statusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size() + 1, key + ":") == 0) return std::atol(line.c_str() + key.size() + 1);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const long steps = argc > 1 ? std::atol(argv[1]) : 20000;
  const float strength = argc > 2 ? static_cast<float>(std::atof(argv[2])) : 30.0f;
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 1u;
  const char* mapFile = argc > 4 ? argv[4] : QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png";
  if (steps < 1) {
    std::cerr << "quillmarsh-longrun: the number of steps must be at least 1" << std::endl;
    return 1;
  }
  const long rssStart = statusKb("VmRSS");

  ilInit();
  MapImage image;
  image.loadOrExit(mapFile);
  ColorMap map;
  map.resize(image.width, image.height);
  LightGrid grid;
  grid.resize(image.width, 6, image.height);
  FlyCamera camera;
  camera.reset();
  camera.grid = &grid;
  {
    const StartView start = buildWorldFromPixels(image.pixels.data(), image.width, image.height, grid, map);
    if (start.found) camera.setView(start.eye, start.target, start.up);
  }
  grid.strength = strength;
  std::srand(seed);
  const long rssBuilt = statusKb("VmRSS");

  LightSoak soak(grid, map, camera);
  const long window = steps >= 20 ? steps / 20 : 1;
  const auto start = std::chrono::steady_clock::now();
  soak.run(steps, window);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long stepsRun = soak.stepsRun;
  const int lightX = grid.lightX, lightY = grid.lightY, lightZ = grid.lightZ;
  const long rssEnd = statusKb("VmRSS");
  if (soak.firstBadStep < 0) soak.release(kReleaseSteps);

  std::printf("room %d x %d x %d from %s, strength %g, decay %g, seed %u\n", grid.sizeX,
              grid.sizeY, grid.sizeZ, mapFile, static_cast<double>(strength),
              static_cast<double>(grid.decay), seed);
  std::printf("steps run: %ld in %.2f s (%.1f us a step, light step + visibility pass + check)\n",
              stepsRun, seconds, 1e6 * seconds / static_cast<double>(stepsRun));
  std::printf("bound on light: %.1f; largest light: %.3f at step %ld\n", soak.bound(),
              static_cast<double>(soak.maxLight), soak.maxLightStep);
  std::printf("largest light after step");
  for (long s : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}) {
    if (s <= static_cast<long>(soak.riseMax.size()))
      std::printf(" %ld: %.3f", s, static_cast<double>(soak.riseMax[s - 1]));
  }
  std::printf("\nlargest light per %ld steps:", window);
  for (float m : soak.windowMax) std::printf(" %.3f", static_cast<double>(m));
  std::printf("\nwandering light ended in cell (%d, %d, %d)\n", lightX, lightY, lightZ);
  std::printf("then strength 0, largest light after step");
  for (size_t s : {0, 1, 10, 50, 100, 200, 300}) {
    if (s < soak.releaseMax.size())
      std::printf(" %zu: %.3g", s, static_cast<double>(soak.releaseMax[s]));
  }
  std::printf(" (decay^n alone: %.3g at n = 300)\n",
              static_cast<double>(soak.releaseMax.empty() ? 0.0f : soak.releaseMax[0]) *
                  std::pow(static_cast<double>(grid.decay), 300.0));
  std::printf("VmRSS: %ld kB at start, %ld kB with the room built, %ld kB after the steps; "
              "VmHWM %ld kB\n",
              rssStart, rssBuilt, rssEnd, statusKb("VmHWM"));
  if (soak.firstBadStep >= 0) {
    std::printf("FAILED at step %ld: %ld non-finite, %ld negative, %ld above the bound\n",
                soak.firstBadStep, soak.nonFinite, soak.negative, soak.aboveBound);
    return 1;
  }
  std::printf("every step: all light finite, non-negative and within the bound\n");
  return 0;
}
