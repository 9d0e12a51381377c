// The light volume the scene keeps up to date: after every step the backend's copy of the texels
// and of their light equals the grid's, though the scene hands over only the bricks that changed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "app/Scene.h"
#include "tests/support/RecordingBackend.h"

TEST(LightUpload, TheVolumeMatchesTheGridAfterEveryStepWhateverChangedIt) {
  // Bricks that do not divide the room; walls, glass, lamps, the wandering light; steps on every
  // path, new strength, decay and palette, edits of any material and a turn on the slice path.
  Scene scene;
  RecordingBackend backend;
  LightGrid& grid = *scene.grid;
  grid.resize(150, 7, 48);
  scene.occlusionMap->resize(150, 48);
  grid.setPalette(Palette::standard());
  std::mt19937 rng(7);
  const auto cellOf = [&](int m) { return grid.palette()[m].cell(static_cast<unsigned char>(m)); };
  const auto place = [&](int m) {  // in a cell anywhere
    const long i = std::uniform_int_distribution<long>(0, grid.cellCount() - 1)(rng);
    grid.setCell(i % 150, i / 150 % 7, i / 1050, cellOf(m));
  };
  for (int n = 0; n < 1600; ++n)
    place(n % 30 == 0 ? Palette::kWhiteLight : n % 4 == 0 ? Palette::kWall : n % 4 == 1 ? Palette::kGlass : 6 + n % 2);
  for (const int x : {3, 60, 140}) grid.setCell(x, 5, 24, cellOf(Palette::kWhiteLight));
  GridCell wanderer;
  wanderer.setEmitter(8.0f, 1.0f, 1.0f);
  grid.setCell(grid.lightX, grid.lightY, grid.lightZ, wanderer);
  std::srand(3);
  scene.attachBackend(&backend);

  int partial = 0;  // steps whose upload sent some texels but not the whole volume
  for (int s = 1; s <= 900; ++s) {
    if (s == 1) grid.strength = 0.3f;
    if (s == 300) grid.strength = 0.05f;
    if (s == 420) grid.decay = 0.9f;
    if (s == 450) grid.setPalette(Palette::standard());
    // A full sweep keeps no record of what changed: the whole volume follows it.
    const int path = s > 800 ? 20 : s % 97;
    grid.stepPath = path < 10 ? LightGrid::StepPath::Sparse
                    : path < 15 ? LightGrid::StepPath::Full : LightGrid::StepPath::Automatic;
    scene.flags.cpuLightUpload = s % 200 != 150;
    if (s < 500 && s % 7 == 0) place(std::uniform_int_distribution<int>(0, 7)(rng));
    const long before = backend.uploadedTexels;
    scene.stepSimulation();
    const long sent = backend.uploadedTexels - before;
    partial += sent > 0 && sent < grid.cellCount();
    ASSERT_TRUE(backend.breaches.empty()) << backend.breaches[0];
    const std::vector<std::uint32_t> expected(grid.lightTexels(), grid.lightTexels() + grid.cellCount());
    ASSERT_EQ(backend.texels, expected) << "after step " << s;
    // Stricter: the light outside the boxes did not change at all.
    for (long i = 0; i < grid.cellCount(); ++i)
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(backend.light[3 * i + k], grid.lightAt(i, k)) << "after step " << s << " cell " << i;
  }
  // The changed bricks alone went in many steps (70 to 250 by where the wandering light goes).
  EXPECT_GT(partial, 25);
}
