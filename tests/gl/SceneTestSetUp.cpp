// Scene GL test set-up: render resources once per process, light volumes per test.
#include "SceneTestSetUp.h"

#include "OutputCapture.h"
#include "Utils/FramebufferObject.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace scenetest {

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
  record.occlusionMapEmpty = scene.occlusionMap != nullptr && !scene.occlusionMap->allocated &&
                             scene.occlusionMap->width == 0;
  record.target = scene.camera.target;
  return record;
}

void makeGridAndVolume(int sizeX, int sizeY, int sizeZ) {
  renderResources();
  if (scene.lightVolumeTex != 0) glDeleteTextures(1, &scene.lightVolumeTex);
  delete scene.lightVolumeFbo;
  scene.lightVolumeTex = 0;
  scene.lightVolumeFbo = nullptr;
  delete scene.grid;
  scene.grid = new LightGrid();
  scene.grid->resize(sizeX, sizeY, sizeZ);
  scene.camera.grid = scene.grid;
  scene.createLightVolume();
}

namespace {

size_t texelCount() {
  return static_cast<size_t>(scene.grid->sizeX) * scene.grid->sizeY * scene.grid->sizeZ;
}

}  // namespace

std::vector<float> readVolume() {
  std::vector<float> texels(texelCount() * 3, -1.0f);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_3D, scene.lightVolumeTex);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGB, GL_FLOAT, texels.data());
  return texels;
}

std::vector<unsigned char> readVolumeBytes() {
  std::vector<unsigned char> texels(texelCount() * 3, 0);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_3D, scene.lightVolumeTex);
  glGetTexImage(GL_TEXTURE_3D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
  return texels;
}

void fillVolume(float v) {
  const std::vector<float> texels(texelCount() * 3, v);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_3D, scene.lightVolumeTex);
  glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, scene.grid->sizeX, scene.grid->sizeY,
                  scene.grid->sizeZ, GL_RGB, GL_FLOAT, texels.data());
}

GLint attachedVolumeSlice() {
  GLint previous = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous);
  scene.lightVolumeFbo->Bind();
  GLint slice = -1;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_TEXTURE_3D_ZOFFSET_EXT,
                                           &slice);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous));
  return slice;
}

}  // namespace scenetest
