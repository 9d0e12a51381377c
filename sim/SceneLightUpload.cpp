// Scene::uploadLightVolume: copies the grid's light into the 3-D light volume after each step,
// either from a CPU array in one transfer or slice by slice as points through lightVolumeFbo.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cassert>
#include <memory>

#include "Utils/FramebufferObject.h"
#include "app/Scene.h"
#include "sim/LightCompression.h"
#include "world/LightGrid.h"

namespace {

// The viewport the frame draws with once a slice pass is over: the fixed window size.
constexpr int kWindowWidth = 1024;
constexpr int kWindowHeight = 800;

}  // namespace

void Scene::uploadLightVolume() {
  assert(grid != nullptr && lightVolumeTex != 0 && lightVolumeFbo != nullptr);
  const LightGrid& g = *grid;

  if (cpuLightUpload) {
    const long cells = static_cast<long>(g.sizeX) * g.sizeY * g.sizeZ;
    std::unique_ptr<float[]> texels(new float[cells * 3]);
    for (int z = 0; z < g.sizeZ; ++z)
      for (int y = 0; y < g.sizeY; ++y)
        for (int x = 0; x < g.sizeX; ++x) {
          const GridCell cell = g.getCell(x, y, z);
          float* texel = &texels[g.index(x, y, z) * 3];
          for (int k = 0; k < 3; ++k) texel[k] = compressLight(cell.light[k]);
        }
    glEnable(GL_TEXTURE_3D);
    glBindTexture(GL_TEXTURE_3D, lightVolumeTex);
    glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, g.sizeX, g.sizeY, g.sizeZ, GL_RGB, GL_FLOAT,
                    texels.get());
    glDisable(GL_TEXTURE_3D);
    return;
  }

  // Slice path. Leaves: the window's framebuffer bound, both matrices and their stack depths as
  // found, the model-view matrix selected, depth test on, the window's 1024 x 800 viewport.
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  // Texel column x, row y of a slice is the unit square from (x, y); its point is drawn at the
  // square's centre so rounding in the transform can never move it onto a neighbouring texel.
  gluOrtho2D(0, g.sizeX, 0, g.sizeY);
  glPointSize(1.0f);

  lightVolumeFbo->Bind();
  glViewport(0, 0, g.sizeX, g.sizeY);
  glDisable(GL_DEPTH_TEST);
  for (int z = 0; z < g.sizeZ; ++z) {
    lightVolumeFbo->AttachTexture(GL_TEXTURE_3D, lightVolumeTex, GL_COLOR_ATTACHMENT0_EXT, 0, z);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_POINTS);
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell cell = g.getCell(x, y, z);
        glColor3f(compressLight(cell.light[0]), compressLight(cell.light[1]),
                  compressLight(cell.light[2]));
        glVertex2f(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
      }
    glEnd();
  }
  FramebufferObject::Unbind();

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glEnable(GL_DEPTH_TEST);
  glViewport(0, 0, kWindowWidth, kWindowHeight);
}
