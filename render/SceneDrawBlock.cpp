// Scene::drawBlock: one cell as an axis-aligned textured cube in immediate mode, centred on the
// cell's point, half edge blockHalfSize (world units; 0.5 on the sides a `reach` bit names),
// sent face by face from kBlockFaces; Scene::drawFaceRuns: the plan's runs of opaque faces.
#include <GL/glew.h>

#include "app/Scene.h"
#include "render/BlockFaces.h"

void Scene::drawBlock(float x, float y, float z) { drawBlockFaces(x, y, z, kAllBlockFaces); }

void Scene::drawBlockFaces(float x, float y, float z, unsigned faces, unsigned reach) {
  const float centre[3] = {x, y, z};
  // Half edge towards minus and plus per axis; the face bits of -x, +x, -y, +y, -z, +z.
  const unsigned sideBit[3][2] = {{4u, 8u}, {32u, 16u}, {2u, 1u}};
  const float whole = FramePlan::kBlockHalfSize;
  float extent[3][2];
  for (int axis = 0; axis < 3; ++axis)
    for (int plus = 0; plus < 2; ++plus)
      extent[axis][plus] = (reach & sideBit[axis][plus]) != 0 ? whole : render.blockHalfSize;
  // The eight corners, formed before the primitive starts; corner (i, j, k) has bit 4i + 2j + k
  // set for the plus side of x, y and z.
  float corners[8][3];
  for (int c = 0; c < 8; ++c)
    for (int axis = 0; axis < 3; ++axis) {
      const int plus = (c >> (2 - axis)) & 1;
      corners[c][axis] = centre[axis] + (plus ? extent[axis][1] : -extent[axis][0]);
    }

  glBegin(GL_QUADS);
  for (const BlockFace& face : kBlockFaces) {
    if ((faces & face.bit) == 0) continue;
    glNormal3f(static_cast<float>(face.normal[0]), static_cast<float>(face.normal[1]),
               static_cast<float>(face.normal[2]));
    for (int v = 0; v < 4; ++v) {
      const int* sign = face.corners[v];
      glTexCoord2f(face.texCoords[v][0], face.texCoords[v][1]);
      glVertex3fv(corners[(sign[0] > 0) * 4 + (sign[1] > 0) * 2 + (sign[2] > 0)]);
    }
  }
  glEnd();
}

void Scene::drawFaceRuns() {
  float corners[4][3];
  float texCoords[4][2];
  glBegin(GL_QUADS);
  for (const FaceRun& run : render.opaqueRuns) {
    FramePlan::runQuad(run, corners, texCoords);
    const int* normal = kBlockFaces[run.face].normal;
    glNormal3f(static_cast<float>(normal[0]), static_cast<float>(normal[1]),
               static_cast<float>(normal[2]));
    for (int v = 0; v < 4; ++v) {
      glTexCoord2fv(texCoords[v]);
      glVertex3fv(corners[v]);
    }
  }
  glEnd();
}
