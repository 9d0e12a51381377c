// Scene::uploadLightVolume: copies the grid's light into the 3-D light volume after each step,
// either in one transfer of the texels the step made or slice by slice as points through
// lightVolumeFbo.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cassert>
#include <cstdint>

#include "Utils/FramebufferObject.h"
#include "Utils/MatrixScope.h"
#include "app/Scene.h"
#include "world/LightGrid.h"

void Scene::uploadLightVolume() {
  assert(grid != nullptr && render.lightVolumeTex != 0 && render.lightVolumeFbo != nullptr);
  const LightGrid& g = *grid;

  if (render.cpuLightUpload) {
    // The step leaves the texels made; only an edit since then makes this call remake them.
    const std::uint32_t* texels = grid->lightTexels();
    glEnable(GL_TEXTURE_3D);
    glBindTexture(GL_TEXTURE_3D, render.lightVolumeTex);
    glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, g.sizeX, g.sizeY, g.sizeZ, GL_RGBA,
                    GL_UNSIGNED_BYTE, texels);
    glDisable(GL_TEXTURE_3D);
    return;
  }

  // Slice path: from the GL baseline (render/GlBaseline.h) back to it, with the viewport and both
  // matrices as found (the tests set their own).
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  {
    MatrixScope modelView(GL_MODELVIEW);
    glLoadIdentity();
    MatrixScope projection(GL_PROJECTION);
    glLoadIdentity();
    // Texel column x, row y of a slice is the unit square from (x, y); its point is drawn at the
    // square's centre so rounding in the transform can never move it onto a neighbouring texel.
    gluOrtho2D(0, g.sizeX, 0, g.sizeY);
    glPointSize(1.0f);
    glPushAttrib(GL_CURRENT_BIT);

    render.lightVolumeFbo->Bind();
    glViewport(0, 0, g.sizeX, g.sizeY);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    for (int z = 0; z < g.sizeZ; ++z) {
      render.lightVolumeFbo->AttachTexture(GL_TEXTURE_3D, render.lightVolumeTex, GL_COLOR_ATTACHMENT0_EXT, 0, z);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      glBegin(GL_POINTS);
      for (int y = 0; y < g.sizeY; ++y)
        for (int x = 0; x < g.sizeX; ++x) {
          const GridCell cell = g.getCell(x, y, z);
          glColor3f(LightGrid::compressLight(cell.light[0]),
                    LightGrid::compressLight(cell.light[1]),
                    LightGrid::compressLight(cell.light[2]));
          glVertex2f(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
        }
      glEnd();
    }
    glPopAttrib();
    FramebufferObject::Unbind();
  }
  glEnable(GL_DEPTH_TEST);
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}
