// A small fixed room drawn by the frame recipe on the desktop backend, compared with tests/gl/reference/frame_reference.png
// within 3 levels per channel on all but 0.1 % of the pixels; a mismatch writes frame_actual.png
// (over-tolerance pixels red) into the working directory. After an intended change, look at it
// and rewrite the reference (commit it with the change):
//   QUILLMARSH_UPDATE_REFERENCE=1 ctest -R gl_scene
#include <IL/il.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "GlTestSupport.h"
#include "SceneTestSetUp.h"

using namespace scenetest;

namespace {

constexpr int kChannelTolerance = 3;
constexpr long kPixelBudget = Scene::kWindowWidth * Scene::kWindowHeight / 1000;

void buildReferenceRoom() {
  LightGrid& grid = newGrid(10, 5, 10);
  for (int z = 0; z < 10; ++z)
    for (int x = 0; x < 10; ++x)
      for (int y = 0; y < 4; ++y)
        if (y == 0 || z == 0 || x == 0 || (x == 5 && z == 4 && y > 0)) cell(x, y, z).setSolid();
  cell(2, 1, 3).setSolid();
  cell(7, 3, 2).setEmitter(350.0f, 350.0f, 150.0f);
  cell(3, 1, 6).setTranslucent(0.5f);
  cell(3, 2, 6).setTranslucent(0.5f);
  cell(4, 1, 6).setTranslucent(0.3f);
  grid.strength = 0.25f;
  // Light falling off with the squared distance from two points, as a fixed stand-in for the
  // diffusion so the picture does not depend on the simulation.
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

// Saves (`rgb` given) or loads an RGB picture of the window's size, bottom row first.
bool png(const std::string& path, std::vector<unsigned char>& rgb, bool save) {
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
  ilEnable(IL_FILE_OVERWRITE);
  bool ok = false;
  if (save) {
    ilTexImage(Scene::kWindowWidth, Scene::kWindowHeight, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data());
    ok = ilSaveImage(path.c_str()) == IL_TRUE;
  } else if (ilLoadImage(path.c_str()) == IL_TRUE && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) &&
             ilGetInteger(IL_IMAGE_WIDTH) * ilGetInteger(IL_IMAGE_HEIGHT) * 3 == long(rgb.size())) {
    std::copy(ilGetData(), ilGetData() + rgb.size(), rgb.begin());
    ok = true;
  }
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  return ok;
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
    ASSERT_TRUE(png(path, actual, true)) << "could not write " << path;
    return;
  }
  std::vector<unsigned char> reference(actual.size());
  ASSERT_TRUE(png(path, reference, false)) << "cannot read a window-sized picture from " << path;
  const long count = differing(actual, reference, &actual);
  if (count > kPixelBudget) {
    png("frame_actual.png", actual, true);
    ADD_FAILURE() << count << " pixels differ by more than " << kChannelTolerance << " levels"
                  << " (budget " << kPixelBudget << "); see frame_actual.png in the test's working"
                  << " folder. If the new picture is intended, rerun with"
                  << " QUILLMARSH_UPDATE_REFERENCE=1.";
  }
}

}  // namespace
