// A small fixed room drawn by the recipe on the desktop backend against tests/gl/reference/
// frame_reference.png: within 3 levels a channel on all but 0.1 % of the pixels. A mismatch writes
// frame_actual.png (pixels over the tolerance red); after an intended change, look at it and
// rewrite the reference with QUILLMARSH_UPDATE_REFERENCE=1 ctest -R gl_scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "GlTestSupport.h"
#include "SceneTestSetUp.h"
#include "tests/support/MapRooms.h"
#include "app/RoomMapFile.h"
#include "platform/image/Image.h"

using namespace scenetest;

namespace {

constexpr int kChannelTolerance = 3;
constexpr long kPixelBudget = Scene::kWindowWidth * Scene::kWindowHeight / 1000;

void buildReferenceRoom() {
  LightGrid& grid = newGrid(10, 5, 10);
  fillCells(grid, 0, 9, 0, 0, 0, 9);  // floor, two walls, a pillar and a block
  fillCells(grid, 0, 9, 0, 3, 0, 0);
  fillCells(grid, 0, 0, 0, 3, 0, 9);
  fillCells(grid, 5, 5, 1, 3, 4, 4);
  cell(2, 1, 3).setSolid();
  cell(7, 3, 2).setEmitter(350.0f, 350.0f, 150.0f);
  cell(3, 1, 6).setTranslucent(0.5f);
  cell(3, 2, 6).setTranslucent(0.5f);
  cell(4, 1, 6).setTranslucent(0.3f);
  grid.strength = 0.25f;
  // Light falling off with the squared distance from two points, not the diffusion's.
  const float lights[2][6] = {{7, 3, 2, 2.0f, 2.0f, 0.8f}, {2, 2, 7, 0.0f, 0.15f, 1.5f}};
  for (long i = 0; i < 10L * 5 * 10; ++i) {
    EditedCell c(grid, i);
    if (c.opacity >= 0.999f) continue;
    for (const auto& l : lights) {
      const float dx = i % 10 - l[0], dy = i / 10 % 5 - l[1], dz = i / 50 - l[2];
      const float fall = 1.0f / (1.0f + 0.6f * (dx * dx + dy * dy + dz * dz));
      for (int k = 0; k < 3; ++k) c.light[k] += l[3 + k] * fall;
    }
  }
  backend().uploadLight(grid, true);
  look(Vec3(8.6f, 2.4f, 9.3f), Vec3(3.0f, 1.2f, 2.0f));
}

// Pixels differing by more than the tolerance in some channel; `marked` shows them red.
long differing(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
               std::vector<unsigned char>* marked = nullptr) {
  long count = 0;
  for (size_t p = 0; p < a.size() / 3; ++p) {
    int largest = 0;
    for (int c = 0; c < 3; ++c)
      largest = std::max(largest, std::abs(static_cast<int>(a[p * 3 + c]) - b[p * 3 + c]));
    if (largest <= kChannelTolerance) continue;
    ++count;
    if (marked != nullptr) (*marked)[p * 3] = 255, (*marked)[p * 3 + 1] = (*marked)[p * 3 + 2] = 0;
  }
  return count;
}

TEST(FrameReferenceTest, FixedRoomMatchesTheReferencePictureFrameAfterFrame) {
  buildReferenceRoom();
  render();
  const std::vector<unsigned char> first = readTarget(scene().recipe.frontTarget);
  render();
  std::vector<unsigned char> actual = readTarget(scene().recipe.frontTarget);
  EXPECT_LE(differing(first, actual), kPixelBudget) << "nothing of a frame carries to the next";
  const std::string path = gltest::sourcePath("tests/gl/reference/frame_reference.png");
  const char* update = std::getenv("QUILLMARSH_UPDATE_REFERENCE");
  if (update != nullptr && std::string(update) == "1") {
    ASSERT_TRUE(writeRgbPng(path, actual, Scene::kWindowWidth, Scene::kWindowHeight)) << "could not write " << path;
    return;
  }
  Image reference;
  std::string error;
  ASSERT_TRUE(reference.load(path.c_str(), error, {Scene::kWindowWidth, 16u << 20, "reference"})) << error;
  ASSERT_EQ(reference.pixels.size(), actual.size()) << "not a window-sized picture: " << path;
  const long count = differing(actual, reference.pixels, &actual);
  if (count > kPixelBudget) {
    writeRgbPng("frame_actual.png", actual, Scene::kWindowWidth, Scene::kWindowHeight);
    ADD_FAILURE() << count << " pixels differ by more than " << kChannelTolerance << " levels"
                  << " (budget " << kPixelBudget << "); see frame_actual.png in the test's working"
                  << " folder. If the new picture is intended, rerun with"
                  << " QUILLMARSH_UPDATE_REFERENCE=1.";
  }
}

}  // namespace
