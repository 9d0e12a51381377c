// Scene::drawBlock: one cell as an axis-aligned textured cube in immediate mode, centred on the
// cell's point, half edge blockHalfSize (world units). Each face's texture spans it once (0..1).
// drawBlockFaces sends a chosen subset of the same faces, in the same order and form.
#include <GL/glew.h>

#include "app/Scene.h"

void Scene::drawBlock(float x, float y, float z) { drawBlockFaces(x, y, z, kAllFaces); }

void Scene::drawBlockFaces(float x, float y, float z, unsigned faces) {
  const float h = blockHalfSize;
  // Corner names: n = centre minus h, p = centre plus h, in the order x, y, z.
  const float nnp[3] = {x - h, y - h, z + h};
  const float pnp[3] = {x + h, y - h, z + h};
  const float ppp[3] = {x + h, y + h, z + h};
  const float npp[3] = {x - h, y + h, z + h};
  const float nnn[3] = {x - h, y - h, z - h};
  const float pnn[3] = {x + h, y - h, z - h};
  const float ppn[3] = {x + h, y + h, z - h};
  const float npn[3] = {x - h, y + h, z - h};

  glBegin(GL_QUADS);
  // +z
  if (faces & kFacePlusZ) {
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3fv(nnp);
    glTexCoord2f(1.0f, 0.0f); glVertex3fv(pnp);
    glTexCoord2f(1.0f, 1.0f); glVertex3fv(ppp);
    glTexCoord2f(0.0f, 1.0f); glVertex3fv(npp);
  }
  // -z
  if (faces & kFaceMinusZ) {
    glNormal3f(0.0f, 0.0f, -1.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3fv(nnn);
    glTexCoord2f(1.0f, 0.0f); glVertex3fv(pnn);
    glTexCoord2f(1.0f, 1.0f); glVertex3fv(ppn);
    glTexCoord2f(0.0f, 1.0f); glVertex3fv(npn);
  }
  // -x
  if (faces & kFaceMinusX) {
    glNormal3f(-1.0f, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f); glVertex3fv(nnp);
    glTexCoord2f(1.0f, 1.0f); glVertex3fv(npp);
    glTexCoord2f(0.0f, 1.0f); glVertex3fv(npn);
    glTexCoord2f(0.0f, 0.0f); glVertex3fv(nnn);
  }
  // +x
  if (faces & kFacePlusX) {
    glNormal3f(1.0f, 0.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3fv(pnp);
    glTexCoord2f(1.0f, 0.0f); glVertex3fv(pnn);
    glTexCoord2f(1.0f, 1.0f); glVertex3fv(ppn);
    glTexCoord2f(0.0f, 1.0f); glVertex3fv(ppp);
  }
  // +y
  if (faces & kFacePlusY) {
    glNormal3f(0.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3fv(npp);
    glTexCoord2f(1.0f, 0.0f); glVertex3fv(ppp);
    glTexCoord2f(1.0f, 1.0f); glVertex3fv(ppn);
    glTexCoord2f(0.0f, 1.0f); glVertex3fv(npn);
  }
  // -y
  if (faces & kFaceMinusY) {
    glNormal3f(0.0f, -1.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f); glVertex3fv(nnp);
    glTexCoord2f(1.0f, 0.0f); glVertex3fv(pnp);
    glTexCoord2f(1.0f, 1.0f); glVertex3fv(pnn);
    glTexCoord2f(0.0f, 1.0f); glVertex3fv(nnn);
  }
  glEnd();
}
