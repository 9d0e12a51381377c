// Scene::renderFrame: one frame of the room into the two colour targets. Opaque blocks go into
// both targets through the block programs, emitters follow in flat colour, then glass is blended
// far to near onto the back target with the refraction programs and the targets exchange roles.
#include <GL/glew.h>

#include <algorithm>
#include <cmath>

#include "Utils/FBOManager.h"
#include "Utils/RenderTarget.h"
#include "Utils/ShaderProgram.h"
#include "app/Scene.h"
#include "world/LightGrid.h"

namespace {

// Material classes of the cell walk.
constexpr float kOpaqueOpacity = 0.9f;
constexpr double kGlassMinOpacity = 0.001;
// Emitter cubes never drop below this brightness factor, so a light stays visible at strength 0.
constexpr float kMinEmitterBrightness = 0.2f;
constexpr float kEmitterBrightnessPerStrength = 8.0f;
constexpr float kBlockHalfSize = 0.5f;
constexpr float kGlassHalfSize = 0.45f;

const GLenum kBothTargets[2] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT};

}  // namespace

// Relies on: a current context, the world and render resources built, the perspective
// projection, the camera view in the model-view matrix, clear colour (0, 0, 0, 0), depth test
// on with GL_LESS, blending, lighting, culling and 2-D texturing off.
// Leaves: framebuffer 0 bound, blending off, no program stage active, blockHalfSize 0.5, the
// targets exchanged, the current colour that of the last emitter drawn.
void Scene::renderFrame() {
  const Vec3 eyeVec = camera.position();
  const float eye[3] = {eyeVec.x, eyeVec.y, eyeVec.z};
  const float dimension[3] = {static_cast<float>(grid->sizeX), static_cast<float>(grid->sizeY),
                              static_cast<float>(grid->sizeZ)};
  drawOpaquePass(eye, dimension);
  drawEmitterPass();
  drawGlassPass(eye, dimension);
  blockHalfSize = kBlockHalfSize;
}

// Leaves the manager's framebuffer bound with both targets as draw buffers, no program active.
void Scene::drawOpaquePass(const float eye[3], const float dimension[3]) {
  const LightGrid& g = *grid;
  emitterCells.clear();
  glassCells.clear();

  // Both targets at once, sharing the manager's depth buffer; taken by index, not by role.
  const FBOManager* targets = FBOManager::instance();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, targets->framebuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, targets->depthBuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                            colorTargets[0]->texture, 0);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_TEXTURE_2D,
                            colorTargets[1]->texture, 0);
  glDrawBuffers(2, kBothTargets);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  frustum.extract();

  blockVertex->bind();
  blockFragment->bind();
  blockFragment->setTextureParameter("light_volume", lightVolumeTex);
  blockFragment->setTextureParameter("tile_tex", tileTex);
  blockFragment->setParameter("dimension", dimension, 3);
  blockFragment->setParameter("eye_pos", eye, 3);

  for (int z = 0; z < g.sizeZ; ++z)
    for (int y = 0; y < g.sizeY; ++y)
      for (int x = 0; x < g.sizeX; ++x) {
        const GridCell cell = g.getCell(x, y, z);
        if (cell.hidden) continue;
        const float fx = static_cast<float>(x), fy = static_cast<float>(y),
                    fz = static_cast<float>(z);
        if (cell.opacity >= kOpaqueOpacity && frustum.cubeVisible(fx, fy, fz, kBlockHalfSize)) {
          // Only the faces that can show: the picture is that of whole cubes at a fraction of
          // the fill, which is what the frame's time goes on with a software rasteriser.
          const unsigned faces = visibleOpaqueFaces(x, y, z, eye);
          if (faces != 0) drawBlockFaces(fx, fy, fz, faces);
        }
        if (cell.emitter) emitterCells.push_back(GridPos{x, y, z});
        if (static_cast<double>(cell.opacity) > kGlassMinOpacity && cell.opacity < kOpaqueOpacity) {
          const float dx = eye[0] - fx, dy = eye[1] - fy, dz = eye[2] - fz;
          glassCells.push_back(GlassCell{x, y, z, std::sqrt(dx * dx + dy * dy + dz * dz)});
        }
      }

  blockVertex->unbind();
  blockFragment->unbind();
}

unsigned Scene::visibleOpaqueFaces(int x, int y, int z, const float eye[3]) const {
  struct Side {
    unsigned bit;
    int dx, dy, dz;
  };
  static const Side kSides[6] = {{kFacePlusZ, 0, 0, 1},  {kFaceMinusZ, 0, 0, -1},
                                 {kFaceMinusX, -1, 0, 0}, {kFacePlusX, 1, 0, 0},
                                 {kFacePlusY, 0, 1, 0},  {kFaceMinusY, 0, -1, 0}};
  const int centre[3] = {x, y, z};
  unsigned faces = 0;
  for (const Side& side : kSides) {
    const int d[3] = {side.dx, side.dy, side.dz};
    // The face's plane is half an edge out along its normal; the eye must be strictly outside.
    bool towardsEye = false;
    for (int axis = 0; axis < 3; ++axis) {
      if (d[axis] > 0) towardsEye = eye[axis] > static_cast<float>(centre[axis]) + kBlockHalfSize;
      if (d[axis] < 0) towardsEye = eye[axis] < static_cast<float>(centre[axis]) - kBlockHalfSize;
    }
    if (!towardsEye) continue;
    const int nx = x + side.dx, ny = y + side.dy, nz = z + side.dz;
    // Off the grid nothing is drawn, so faces on the room's boundary stay.
    if (grid->inside(nx, ny, nz)) {
      const GridCell neighbour = grid->getCell(nx, ny, nz);
      if (neighbour.opacity >= kOpaqueOpacity && !neighbour.hidden) continue;
    }
    faces |= side.bit;
  }
  return faces;
}

// Relies on the framebuffer and draw buffers the opaque pass left; no program active.
void Scene::drawEmitterPass() {
  const LightGrid& g = *grid;
  blockHalfSize = kBlockHalfSize;
  const float brightness =
      std::max(kMinEmitterBrightness, kEmitterBrightnessPerStrength * g.strength);
  for (const GridPos& p : emitterCells) {
    const GridCell cell = g.getCell(p.x, p.y, p.z);
    const float fx = static_cast<float>(p.x), fy = static_cast<float>(p.y),
                fz = static_cast<float>(p.z);
    if (!frustum.cubeVisible(fx, fy, fz, kBlockHalfSize)) continue;
    const float* e = cell.emission;
    glColor4f(brightness * e[0] / (e[0] + 1.0f), brightness * e[1] / (e[1] + 1.0f),
              brightness * e[2] / (e[2] + 1.0f), 1.0f);
    drawBlock(fx, fy, fz);
  }

  colorTargets[backTarget]->unbind();
  colorTargets[frontTarget]->unbind();
}

// The refraction program reads the front target's copy of the opaque image while the glass is
// blended over the back target's copy. Leaves framebuffer 0, blending off, no program active,
// blockHalfSize 0.45 and the targets exchanged.
void Scene::drawGlassPass(const float eye[3], const float dimension[3]) {
  const LightGrid& g = *grid;
  std::sort(glassCells.begin(), glassCells.end(),
            [](const GlassCell& a, const GlassCell& b) { return a.distance > b.distance; });
  blockHalfSize = kGlassHalfSize;
  glassVertex->bind();
  glassFragment->bind();
  glassFragment->setTextureParameter("light_volume", lightVolumeTex);
  glassFragment->setTextureParameter("tile_tex", glassTileTex);
  glassFragment->setParameter("dimension", dimension, 3);
  glassFragment->setParameter("eye_pos", eye, 3);
  colorTargets[backTarget]->bind();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (const GlassCell& glass : glassCells) {
    const GridCell cell = g.getCell(glass.x, glass.y, glass.z);
    const float fx = static_cast<float>(glass.x), fy = static_cast<float>(glass.y),
                fz = static_cast<float>(glass.z);
    if (!frustum.cubeVisible(fx, fy, fz, kBlockHalfSize)) continue;
    glassFragment->setTextureParameter("background", colorTargets[frontTarget]->texture);
    glassFragment->setParameter("opacity", &cell.opacity, 1);
    drawBlock(fx, fy, fz);
  }
  colorTargets[backTarget]->unbind();
  std::swap(frontTarget, backTarget);
  glDisable(GL_BLEND);
  glassVertex->unbind();
  glassFragment->unbind();
}
