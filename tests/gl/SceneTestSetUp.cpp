// Scene GL test set-up: see SceneTestSetUp.h.
#include "SceneTestSetUp.h"

#include <memory>
#include <string>

#include "OutputCapture.h"
#include "Utils/RenderTarget.h"
#include "desktop/GlBaseline.h"
#include "world/ColorMap.h"

namespace scenetest {

namespace {

// The scene and the backend it draws with, for the test binary's life.
struct Rig {
  Rig() {
    OutputCapture capture(1);
    backend = std::make_unique<GlBackend>(Scene::kWindowWidth, Scene::kWindowHeight);
    output = capture.finish();
    scene.attachBackend(backend.get());
  }
  Scene scene;
  std::unique_ptr<GlBackend> backend;
  std::string output;
};

Rig& rig() {
  static Rig made;
  return made;
}

}  // namespace

Scene& scene() { return rig().scene; }
GlBackend& backend() { return *rig().backend; }
const std::string& setUpOutput() { return rig().output; }

LightGrid& newGrid(int sx, int sy, int sz) {
  Scene& s = scene();
  s.grid = std::make_unique<LightGrid>();
  s.grid->resize(sx, sy, sz);
  s.occlusionMap = std::make_unique<ColorMap>();
  s.occlusionMap->resize(sx, sz);
  s.camera.grid = s.grid.get();
  backend().createLightVolume(sx, sy, sz);
  return *s.grid;
}

EditedCell cell(int x, int y, int z) { return EditedCell(*scene().grid, x, y, z); }

std::vector<float> readVolume() {
  std::vector<float> texels(scene().grid->cellCount() * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_3D, backend().lightVolumeTexture());
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGB, GL_FLOAT, texels.data());
  return texels;
}

std::vector<unsigned char> readTarget(int index) {
  std::vector<unsigned char> rgb(static_cast<size_t>(Scene::kWindowWidth) * Scene::kWindowHeight * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, backend().target(index).texture);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return rgb;
}

void look(const Vec3& eye, const Vec3& target) {
  Scene& s = scene();
  s.camera.setView(eye, target, Vec3(0.0f, 1.0f, 0.0f));
  s.camera.ViewCamera::update(0.0f);
  s.resize(Scene::kWindowWidth, Scene::kWindowHeight);
  s.refreshPick();
}

std::string offBaseline() {
  return GlBaseline::differences(Scene::kWindowWidth, Scene::kWindowHeight);
}

std::string render() {
  static const char* const names[] = {"view", "plan", "opaque", "emitter", "glass", "present"};
  std::string report;
  const auto check = [](FrameStage stage, void* out) {
    const std::string off = offBaseline();
    if (!off.empty())
      *static_cast<std::string*>(out) += names[static_cast<int>(stage)] + (": " + off + "; ");
  };
  scene().drawFrame(check, &report);
  return report;
}

}  // namespace scenetest
