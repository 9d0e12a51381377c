// Scene GL test set-up: see SceneTestSetUp.h.
#include "SceneTestSetUp.h"

#include <cmath>
#include <string>

#include "OutputCapture.h"
#include "Utils/FramebufferObject.h"
#include "Utils/RenderTarget.h"
#include "app/Display.h"
#include "render/GlBaseline.h"

namespace scenetest {

const std::string& prepareScene() {
  static std::string output;
  static bool done = false;
  initGL();
  if (!done) {
    done = true;
    scene.render.frontTarget = 1;
    scene.render.backTarget = 0;
    scene.render.cpuLightUpload = false;
    scene.stepAccumulator = 0.75;
    OutputCapture capture(1);
    scene.initRenderResources();
    output = capture.finish();
  }
  return output;
}

LightGrid& newGrid(int sx, int sy, int sz) {
  prepareScene();
  if (scene.render.lightVolumeTex != 0) glDeleteTextures(1, &scene.render.lightVolumeTex);
  delete scene.render.lightVolumeFbo;
  delete scene.grid;
  scene.grid = new LightGrid();
  scene.grid->resize(sx, sy, sz);
  scene.camera.grid = scene.grid;
  scene.createLightVolume();
  return *scene.grid;
}

EditedCell cell(int x, int y, int z) { return EditedCell(*scene.grid, x, y, z); }

std::vector<float> readVolume() {
  const LightGrid& g = *scene.grid;
  std::vector<float> texels(static_cast<size_t>(g.sizeX) * g.sizeY * g.sizeZ * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_3D, scene.render.lightVolumeTex);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGB, GL_FLOAT, texels.data());
  return texels;
}

std::vector<unsigned char> readTarget(int index) {
  std::vector<unsigned char> rgb(static_cast<size_t>(Scene::kWindowWidth) * Scene::kWindowHeight * 3);
  glBindTexture(GL_TEXTURE_2D, scene.render.colorTargets[index]->texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return rgb;
}

void look(const Vec3& eye, const Vec3& target) {
  scene.camera.setView(eye, target, Vec3(0.0f, 1.0f, 0.0f));
  scene.camera.ViewCamera::update(0.0f);
  onReshape(Scene::kWindowWidth, Scene::kWindowHeight);
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
  drawFrame(check, &report);
  return report;
}

}  // namespace scenetest
