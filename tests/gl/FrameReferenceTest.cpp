// A small fixed room drawn by renderFrame, compared with tests/gl/reference/frame_reference.png
// within 3 levels per channel on all but 0.1 % of the pixels; a mismatch writes frame_actual.png
// and frame_difference.png (over-tolerance pixels red) into the working directory. After an
// intended change, check frame_actual.png and rewrite the reference (commit it with the change):
//   QUILLMARSH_UPDATE_REFERENCE=1 ctest -R gl_scene
#include <GL/glew.h>
#include <IL/il.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/gl/SceneTestSetUp.h"
#include "tests/gl/GlTestSupport.h"
#include "world/LightGrid.h"

using namespace scenetest;

namespace {

constexpr int kWidth = Scene::kWindowWidth;
constexpr int kHeight = Scene::kWindowHeight;
constexpr int kChannelTolerance = 3;
constexpr long kDifferingPixelBudget = kWidth * kHeight / 1000;
const char* const kReference = "tests/gl/reference/frame_reference.png";

// Light that falls off with the squared distance from a point, as a fixed stand-in for the
// diffusion so the picture does not depend on the simulation.
void addPointLight(LightGrid& grid, float px, float py, float pz, float r, float g, float b) {
  for (int z = 0; z < grid.sizeZ; ++z)
    for (int y = 0; y < grid.sizeY; ++y)
      for (int x = 0; x < grid.sizeX; ++x) {
        GridCell& c = cell(x, y, z);
        if (c.opacity >= 0.999f) continue;
        const float dx = x - px, dy = y - py, dz = z - pz;
        const float fall = 1.0f / (1.0f + 0.6f * (dx * dx + dy * dy + dz * dz));
        c.light[0] += r * fall;
        c.light[1] += g * fall;
        c.light[2] += b * fall;
      }
}

void buildReferenceRoom() {
  LightGrid& grid = newGrid(10, 5, 10);
  for (int z = 0; z < 10; ++z)
    for (int x = 0; x < 10; ++x) {
      cell(x, 0, z).setSolid();
      for (int y = 1; y < 4; ++y)
        if (z == 0 || x == 0) cell(x, y, z).setSolid();
    }
  for (int y = 1; y < 4; ++y) cell(5, y, 4).setSolid();
  cell(2, 1, 3).setSolid();
  cell(7, 3, 2).setEmitter(350.0f, 350.0f, 150.0f);
  cell(3, 1, 6).setTranslucent(0.5f);
  cell(3, 2, 6).setTranslucent(0.5f);
  cell(4, 1, 6).setTranslucent(0.3f);
  grid.strength = 0.25f;
  addPointLight(grid, 7.0f, 3.0f, 2.0f, 2.0f, 2.0f, 0.8f);
  addPointLight(grid, 2.0f, 2.0f, 7.0f, 0.0f, 0.15f, 1.5f);
  scene.cpuLightUpload = true;
  scene.uploadLightVolume();
  look(Vec3(8.6f, 2.4f, 9.3f), Vec3(3.0f, 1.2f, 2.0f));
}

// Pixels differing by more than the tolerance in some channel; `difference` shows them red.
long countDiffering(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                    std::vector<unsigned char>* difference = nullptr) {
  long differing = 0;
  for (size_t p = 0; p < a.size() / 3; ++p) {
    int largest = 0;
    for (int c = 0; c < 3; ++c)
      largest = std::max(largest, std::abs(static_cast<int>(a[p * 3 + c]) - b[p * 3 + c]));
    if (largest > kChannelTolerance) ++differing;
    if (difference != nullptr)
      for (int c = 0; c < 3; ++c)
        (*difference)[p * 3 + c] = largest > kChannelTolerance ? (c == 0 ? 255 : 0) : a[p * 3 + c] / 4;
  }
  return differing;
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
  const std::vector<unsigned char> first = readTarget(scene.frontTarget);
  render();
  const std::vector<unsigned char> actual = readTarget(scene.frontTarget);
  EXPECT_LE(countDiffering(first, actual), kDifferingPixelBudget)
      << "nothing of one frame carries over to the next";
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
  const long differing = countDiffering(actual, reference, &difference);
  if (differing > kDifferingPixelBudget) {
    const std::string actualPath = workingPath("frame_actual.png");
    const std::string differencePath = workingPath("frame_difference.png");
    savePng(actualPath, actual);
    savePng(differencePath, difference);
    ADD_FAILURE() << differing << " pixels differ by more than " << kChannelTolerance
                  << " levels (budget " << kDifferingPixelBudget << ").\n  rendered: "
                  << actualPath << "\n  difference: " << differencePath << "\n  reference: "
                  << referencePath
                  << "\nIf the new picture is intended, rerun with QUILLMARSH_UPDATE_REFERENCE=1.";
  }
}

}  // namespace
