// Frame test harness: see FrameTestScene.h.
#include "tests/gl/FrameTestScene.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cassert>
#include <cmath>

#include "Utils/FramebufferObject.h"
#include "Utils/RenderTarget.h"
#include "app/Display.h"
#include "app/Scene.h"
#include "world/LightGrid.h"

namespace frametest {

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 800;

bool resourcesReady = false;
GLdouble projection[16];
GLdouble modelview[16];
GLint viewport[4];

GridCell& cellRef(int x, int y, int z) {
  LightGrid& g = *scene.grid;
  assert(g.inside(x, y, z));
  return g.current[g.index(x, y, z)];
}

}  // namespace

std::array<float, 4> TargetImage::at(int x, int y) const {
  const float* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

std::vector<unsigned char> TargetImage::rgb8() const {
  std::vector<unsigned char> out(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i)
    for (int c = 0; c < 3; ++c) {
      const float v = std::fmin(1.0f, std::fmax(0.0f, rgba[i * 4 + c]));
      out[i * 3 + c] = static_cast<unsigned char>(std::lround(v * 255.0f));
    }
  return out;
}

void prepareScene() {
  initGL();
  if (!resourcesReady) {
    scene.initRenderResources();
    resourcesReady = true;
  }
  scene.frontTarget = 0;
  scene.backTarget = 1;
  scene.blockHalfSize = 0.5f;
  scene.cpuLightUpload = true;
}

LightGrid& newGrid(int sx, int sy, int sz) {
  prepareScene();
  if (scene.lightVolumeTex != 0) glDeleteTextures(1, &scene.lightVolumeTex);
  delete scene.lightVolumeFbo;
  scene.lightVolumeFbo = nullptr;
  delete scene.grid;
  scene.grid = new LightGrid();
  scene.grid->resize(sx, sy, sz);
  scene.mapWidth = sx;
  scene.roomHeight = sy;
  scene.mapHeight = sz;
  scene.createLightVolume();
  return *scene.grid;
}

void putSolid(int x, int y, int z) { cellRef(x, y, z).setSolid(); }

void putOpacity(int x, int y, int z, float opacity) { cellRef(x, y, z).setTranslucent(opacity); }

void putEmitter(int x, int y, int z, float r, float g, float b, float opacity) {
  GridCell& c = cellRef(x, y, z);
  c.clear();
  c.emitter = true;
  c.emission[0] = r;
  c.emission[1] = g;
  c.emission[2] = b;
  c.opacity = opacity;
}

void putLight(int x, int y, int z, float r, float g, float b) {
  GridCell& c = cellRef(x, y, z);
  c.light[0] = r;
  c.light[1] = g;
  c.light[2] = b;
}

void putHidden(int x, int y, int z) { cellRef(x, y, z).hidden = true; }

void uploadLight() {
  scene.cpuLightUpload = true;
  scene.uploadLightVolume();
}

void look(const Vec3& eye, const Vec3& target) {
  scene.camera.setView(eye, target, Vec3(0.0f, 1.0f, 0.0f));
  scene.camera.ViewCamera::update(0.0f);
  onReshape(kWidth, kHeight);
  glLoadIdentity();
  glMultMatrixf(scene.camera.glViewMatrix);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  glGetIntegerv(GL_VIEWPORT, viewport);
}

void render() {
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(modelview);
  scene.renderFrame();
}

TargetImage readTarget(int index) {
  TargetImage image;
  image.width = kWidth;
  image.height = kHeight;
  image.rgba.resize(static_cast<size_t>(kWidth) * kHeight * 4);
  glBindTexture(GL_TEXTURE_2D, scene.colorTargets[index]->texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, image.rgba.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  return image;
}

std::array<int, 2> pixelOf(float x, float y, float z) {
  GLdouble wx = 0, wy = 0, wz = 0;
  gluProject(x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
  return {static_cast<int>(std::floor(wx)), static_cast<int>(std::floor(wy))};
}

}  // namespace frametest
