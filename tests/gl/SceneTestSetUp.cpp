// Scene GL test set-up: see SceneTestSetUp.h.
#include "SceneTestSetUp.h"

#include <GL/glu.h>

#include <cassert>
#include <cmath>

#include "GlTestSupport.h"
#include "OutputCapture.h"
#include "Utils/FramebufferObject.h"
#include "Utils/RenderTarget.h"
#include "app/Display.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace scenetest {

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 800;

GLdouble projection[16];
GLdouble modelview[16];
GLint viewport[4];

GridCell& cellRef(int x, int y, int z) {
  LightGrid& g = *scene.grid;
  assert(g.inside(x, y, z));
  return g.current[g.index(x, y, z)];
}

size_t texelCount() {
  return static_cast<size_t>(scene.grid->sizeX) * scene.grid->sizeY * scene.grid->sizeZ;
}

}  // namespace

const SetUpRecord& renderResources() {
  static SetUpRecord record;
  static bool done = false;
  if (done) return record;
  done = true;
  scene.frontTarget = 1;
  scene.backTarget = 0;
  scene.blockHalfSize = 0.45f;
  scene.cpuLightUpload = false;
  scene.stepAccumulator = 0.75;
  scene.camera.eye = Vec3(-7.0f, 9.0f, 123.0f);
  scene.camera.target = Vec3(5.0f, -5.0f, 5.0f);
  OutputCapture capture(1);
  scene.initRenderResources();
  record.output = capture.finish();
  record.frontTarget = scene.frontTarget;
  record.backTarget = scene.backTarget;
  record.blockHalfSize = scene.blockHalfSize;
  record.cpuLightUpload = scene.cpuLightUpload;
  record.stepAccumulator = scene.stepAccumulator;
  record.eye = scene.camera.eye;
  record.target = scene.camera.target;
  record.occlusionMapEmpty = scene.occlusionMap != nullptr && !scene.occlusionMap->allocated &&
                             scene.occlusionMap->width == 0;
  return record;
}

void prepareScene() {
  initGL();
  renderResources();
  scene.frontTarget = 0;
  scene.backTarget = 1;
  scene.blockHalfSize = 0.5f;
  scene.cpuLightUpload = true;
}

LightGrid& newGrid(int sx, int sy, int sz) {
  renderResources();
  if (scene.lightVolumeTex != 0) glDeleteTextures(1, &scene.lightVolumeTex);
  delete scene.lightVolumeFbo;
  scene.lightVolumeTex = 0;
  scene.lightVolumeFbo = nullptr;
  delete scene.grid;
  scene.grid = new LightGrid();
  scene.grid->resize(sx, sy, sz);
  scene.camera.grid = scene.grid;
  scene.mapWidth = sx;
  scene.roomHeight = sy;
  scene.mapHeight = sz;
  scene.createLightVolume();
  return *scene.grid;
}

void putSolid(int x, int y, int z) { cellRef(x, y, z).setSolid(); }

void putOpacity(int x, int y, int z, float opacity) { cellRef(x, y, z).setTranslucent(opacity); }

void putEmitter(int x, int y, int z, float r, float g, float b, float opacity) {
  cellRef(x, y, z).setEmitter(r, g, b);
  cellRef(x, y, z).opacity = opacity;
}

void putLight(int x, int y, int z, float r, float g, float b) {
  float* light = cellRef(x, y, z).light;
  light[0] = r, light[1] = g, light[2] = b;
}

void putHidden(int x, int y, int z) { cellRef(x, y, z).hidden = true; }

void uploadLight(bool cpu) {
  scene.cpuLightUpload = cpu;
  scene.uploadLightVolume();
}

template <typename T>
std::vector<T> readVolumeAs(GLenum type) {
  std::vector<T> texels(texelCount() * 3, T(0));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_3D, scene.lightVolumeTex);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGB, type, texels.data());
  return texels;
}

std::vector<float> readVolume() { return readVolumeAs<float>(GL_FLOAT); }

std::vector<unsigned char> readVolumeBytes() { return readVolumeAs<unsigned char>(GL_UNSIGNED_BYTE); }

void fillVolume(float v) {
  const std::vector<float> texels(texelCount() * 3, v);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_3D, scene.lightVolumeTex);
  glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, scene.grid->sizeX, scene.grid->sizeY,
                  scene.grid->sizeZ, GL_RGB, GL_FLOAT, texels.data());
}

GLint attachedVolumeSlice() {
  const GLint previous = gltest::integer(GL_FRAMEBUFFER_BINDING_EXT);
  scene.lightVolumeFbo->Bind();
  GLint slice = -1;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_3D_ZOFFSET_EXT,
                                           &slice);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous));
  return slice;
}

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
  TargetImage image{kWidth, kHeight, std::vector<float>(static_cast<size_t>(kWidth) * kHeight * 4)};
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

}  // namespace scenetest
