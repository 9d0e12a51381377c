// A small fixed room drawn by renderFrame, compared with tests/gl/reference/frame_reference.png
// within 3 levels per channel on all but 0.1 % of the pixels; a mismatch writes frame_actual.png
// and frame_difference.png (over-tolerance pixels red) into the working directory. After an
// intended change, check frame_actual.png and rewrite the reference (commit it with the change):
//   QUILLMARSH_UPDATE_REFERENCE=1 ctest -R gl_scene
#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Scene.h"
#include "tests/gl/SceneTestSetUp.h"
#include "tests/gl/GlTestSupport.h"
#include "world/LightGrid.h"

using namespace scenetest;

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 800;
constexpr int kChannelTolerance = 3;
constexpr long kDifferingPixelBudget = kWidth * kHeight / 1000;
const char* const kReference = "tests/gl/reference/frame_reference.png";

// Light that falls off with the squared distance from a point, as a fixed stand-in for the
// diffusion so the picture does not depend on the simulation.
void addPointLight(LightGrid& grid, float px, float py, float pz, float r, float g, float b) {
  for (int z = 0; z < grid.sizeZ; ++z)
    for (int y = 0; y < grid.sizeY; ++y)
      for (int x = 0; x < grid.sizeX; ++x) {
        GridCell& cell = grid.current[grid.index(x, y, z)];
        if (cell.opacity >= 0.999f) continue;
        const float dx = x - px, dy = y - py, dz = z - pz;
        const float fall = 1.0f / (1.0f + 0.6f * (dx * dx + dy * dy + dz * dz));
        cell.light[0] += r * fall;
        cell.light[1] += g * fall;
        cell.light[2] += b * fall;
      }
}

void buildReferenceRoom() {
  prepareScene();
  LightGrid& grid = newGrid(10, 5, 10);
  for (int z = 0; z < 10; ++z)
    for (int x = 0; x < 10; ++x) {
      putSolid(x, 0, z);
      for (int y = 1; y < 4; ++y) {
        if (z == 0 || x == 0) putSolid(x, y, z);
      }
    }
  for (int y = 1; y < 4; ++y) putSolid(5, y, 4);
  putSolid(2, 1, 3);
  putEmitter(7, 3, 2, 350.0f, 350.0f, 150.0f);
  putOpacity(3, 1, 6, 0.5f);
  putOpacity(3, 2, 6, 0.5f);
  putOpacity(4, 1, 6, 0.3f);
  grid.strength = 0.25f;
  addPointLight(grid, 7.0f, 3.0f, 2.0f, 2.0f, 2.0f, 0.8f);
  addPointLight(grid, 2.0f, 2.0f, 7.0f, 0.0f, 0.15f, 1.5f);
  uploadLight();
  look(Vec3(8.6f, 2.4f, 9.3f), Vec3(3.0f, 1.2f, 2.0f));
}

bool savePng(const std::string& path, const std::vector<unsigned char>& rgb) {
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
  ilTexImage(kWidth, kHeight, 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
             const_cast<unsigned char*>(rgb.data()));
  ilEnable(IL_FILE_OVERWRITE);
  const bool saved = ilSaveImage(path.c_str()) == IL_TRUE;
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  return saved;
}

// Bottom row first, like the targets; empty when the file cannot be read or has another size.
std::vector<unsigned char> loadPng(const std::string& path) {
  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
  std::vector<unsigned char> rgb;
  if (ilLoadImage(path.c_str()) == IL_TRUE && ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE) &&
      ilGetInteger(IL_IMAGE_WIDTH) == kWidth && ilGetInteger(IL_IMAGE_HEIGHT) == kHeight) {
    const unsigned char* data = ilGetData();
    rgb.assign(data, data + static_cast<size_t>(kWidth) * kHeight * 3);
  }
  ilDeleteImages(1, &image);
  while (ilGetError() != IL_NO_ERROR) {
  }
  return rgb;
}

std::string workingPath(const std::string& name) {
  char* here = realpath(".", nullptr);
  const std::string path = std::string(here != nullptr ? here : ".") + "/" + name;
  std::free(here);
  return path;
}

TEST(FrameReferenceTest, FixedRoomMatchesTheReferencePictureFrameAfterFrame) {
  buildReferenceRoom();
  render();
  const std::vector<unsigned char> first = readTarget(scene.frontTarget).rgb8();
  render();
  const std::vector<unsigned char> actual = readTarget(scene.frontTarget).rgb8();
  EXPECT_TRUE(first == actual) << "nothing of one frame carries over to the next";
  const std::string referencePath = gltest::sourcePath(kReference);

  const char* update = std::getenv("QUILLMARSH_UPDATE_REFERENCE");
  if (update != nullptr && std::string(update) == "1") {
    ASSERT_TRUE(savePng(referencePath, actual)) << "could not write " << referencePath;
    std::printf("reference picture rewritten: %s\n", referencePath.c_str());
    return;
  }

  const std::vector<unsigned char> reference = loadPng(referencePath);
  ASSERT_FALSE(reference.empty()) << "cannot read a " << kWidth << " x " << kHeight
                                  << " picture from " << referencePath;
  std::vector<unsigned char> difference(actual.size());
  long differing = 0;
  int worst = 0;
  for (size_t p = 0; p < actual.size() / 3; ++p) {
    int largest = 0;
    for (int c = 0; c < 3; ++c) {
      const int d = std::abs(static_cast<int>(actual[p * 3 + c]) - reference[p * 3 + c]);
      largest = std::max(largest, d);
      difference[p * 3 + c] = static_cast<unsigned char>(std::min(255, d * 16));
    }
    worst = std::max(worst, largest);
    if (largest > kChannelTolerance) {
      ++differing;
      difference[p * 3] = 255;
      difference[p * 3 + 1] = 0;
      difference[p * 3 + 2] = 0;
    }
  }
  if (differing > kDifferingPixelBudget) {
    const std::string actualPath = workingPath("frame_actual.png");
    const std::string differencePath = workingPath("frame_difference.png");
    savePng(actualPath, actual);
    savePng(differencePath, difference);
    ADD_FAILURE() << differing << " pixels differ by more than " << kChannelTolerance
                  << " levels (budget " << kDifferingPixelBudget << ", largest difference "
                  << worst << ").\n  rendered: " << actualPath << "\n  difference: "
                  << differencePath << "\n  reference: " << referencePath
                  << "\nIf the new picture is intended, rerun with QUILLMARSH_UPDATE_REFERENCE=1.";
  }
}

}  // namespace
