// Scene::renderFrame: one frame of the room into the two colour targets. The frame plan decides
// what is drawn; the passes replay it: opaque blocks into the back target through the block
// programs, emitters in flat colour, the image copied to the front target, then glass blended far
// to near onto the back target with the refraction programs, and the targets exchange roles.
#include <GL/glew.h>

#include <cmath>
#include <utility>

#include "Utils/FBOManager.h"
#include "Utils/RenderTarget.h"
#include "Utils/ShaderProgram.h"
#include "app/Scene.h"
#include "render/BlockFaces.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace {

// Columns beyond the visibility pass's rays are hidden, so the room fades into the clear colour
// (black) on the way there: the end of the drawn area reads as distance, not as a hole.
const float kFogRange = static_cast<float>(ColorMap::kRayRange);

}  // namespace

// Relies on: a current context, the world and render resources built, the perspective
// projection, the camera view in the model-view matrix, clear colour (0, 0, 0, 0), depth test
// on with GL_LESS, blending, lighting, culling and 2-D texturing off.
// Leaves: framebuffer 0 bound, blending off, no program stage active, blockHalfSize 0.5, the
// targets exchanged, the current colour that of the last emitter drawn.
void Scene::renderFrame(FrameStageHook hook, void* context) {
  const Vec3 eyeVec = camera.position();
  const float eye[3] = {eyeVec.x, eyeVec.y, eyeVec.z};
  const float dimension[3] = {static_cast<float>(grid->sizeX), static_cast<float>(grid->sizeY),
                              static_cast<float>(grid->sizeZ)};
  const auto done = [hook, context](FrameStage stage) {
    if (hook != nullptr) hook(stage, context);
  };
  planFrame(eye);
  done(FrameStage::Plan);
  drawOpaquePass(eye, dimension);
  done(FrameStage::Opaque);
  drawEmitterPass();
  done(FrameStage::Emitter);
  drawGlassPass(eye, dimension);
  render.blockHalfSize = FramePlan::kBlockHalfSize;
  done(FrameStage::Glass);
}

// Relies on the current projection and model-view matrices; touches no GL state.
void Scene::planFrame(const float eye[3]) {
  render.frustum.extract();
  FramePlan::build(*grid, render.frustum, eye, render.opaqueBlocks, render.emitterCells, render.glassCells);
  FramePlan::joinFaces(render.opaqueBlocks, render.opaqueRuns);
}

// Relies on: the state renderFrame relies on. Leaves: the manager's framebuffer bound with both
// targets attached and the back target the only draw buffer, cleared and then holding the
// opaque cubes (the front target is filled by the emitter pass), no program active.
void Scene::drawOpaquePass(const float eye[3], const float dimension[3]) {
  // Both targets attached (taken by index, not by role), sharing the manager's depth buffer.
  const FBOManager* targets = FBOManager::instance();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, targets->framebuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, targets->depthBuffer);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                            render.colorTargets[0]->texture, 0);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_TEXTURE_2D,
                            render.colorTargets[1]->texture, 0);
  // Only the back target is drawn: every fragment written to both targets cost more than one
  // copy of the finished image at the end of the emitter pass.
  glDrawBuffer(render.colorTargets[render.backTarget]->attachment);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  render.blockVertex->bind();
  render.blockFragment->bind();
  render.blockFragment->setTextureParameter("light_volume", render.lightVolumeTex);
  render.blockFragment->setTextureParameter("tile_tex", render.tileTex);
  render.blockVertex->setParameter("dimension", dimension, 3);
  render.blockVertex->setParameter("eye_pos", eye, 3);
  render.blockFragment->setParameter("fog_range", &kFogRange, 1);
  drawFaceRuns();
  render.blockVertex->unbind();
  render.blockFragment->unbind();
}

// Relies on the framebuffer and draw buffer the opaque pass left, no program active, the client
// arrays off. Leaves: the back target holding the opaque and emitter cubes, and the front target
// a copy of it when glass is in view (else what it held), framebuffer 0 bound,
// 2-D texture 0 bound, the current colour that of the last emitter drawn, fog off (its mode
// linear to black, ending at the fog range, taken from the fog coordinate), the client arrays
// off.
void Scene::drawEmitterPass() {
  render.blockHalfSize = FramePlan::kBlockHalfSize;
  const Vec3 eye = camera.position();
  render.emitterPositions.clear();
  render.emitterColours.clear();
  render.emitterFog.clear();
  float colour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  for (const GridPos& p : render.emitterCells) {
    FramePlan::emitterColour(grid->getCell(p.x, p.y, p.z), grid->strength, colour);
    const float centre[3] = {static_cast<float>(p.x), static_cast<float>(p.y),
                             static_cast<float>(p.z)};
    for (const BlockFace& face : kBlockFaces) {
      if ((p.faces & face.bit) == 0) continue;
      for (const auto& sign : face.corners) {
        float corner[3];
        for (int axis = 0; axis < 3; ++axis)
          corner[axis] = centre[axis] + static_cast<float>(sign[axis]) * render.blockHalfSize;
        render.emitterPositions.insert(render.emitterPositions.end(), corner, corner + 3);
        render.emitterColours.insert(render.emitterColours.end(), colour, colour + 4);
        render.emitterFog.push_back(std::hypot(corner[0] - eye.x, corner[2] - eye.z));
      }
    }
  }
  // The flat cubes fade with the room: linear fog over the same horizontal eye distance the
  // block program fades by, so they reach black where the drawn columns end.
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, black);
  glFogf(GL_FOG_START, 0.5f * kFogRange);
  glFogf(GL_FOG_END, kFogRange);
  glFogi(GL_FOG_COORD_SRC, GL_FOG_COORD);
  glEnable(GL_FOG);
  if (!render.emitterFog.empty()) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_FOG_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, render.emitterPositions.data());
    glColorPointer(4, GL_FLOAT, 0, render.emitterColours.data());
    glFogCoordPointer(GL_FLOAT, 0, render.emitterFog.data());
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(render.emitterFog.size()));
    glDisableClientState(GL_FOG_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    // The colour array leaves the current colour undefined; the contract keeps the last one.
    glColor4fv(colour);
  }
  glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
  glDisable(GL_FOG);
  // The glass pass reads the front target as the image behind the panes; with no glass in view
  // nothing reads it, and the copy is the dearest part of the pass in a room full of lights.
  if (!render.glassCells.empty()) {
    const FBOManager* targets = FBOManager::instance();
    glReadBuffer(render.colorTargets[render.backTarget]->attachment);
    glBindTexture(GL_TEXTURE_2D, render.colorTargets[render.frontTarget]->texture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, targets->width, targets->height);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  render.colorTargets[render.backTarget]->unbind();
  render.colorTargets[render.frontTarget]->unbind();
}

// Relies on: the depth of the opaque and emitter cubes in the shared depth buffer, blending
// off. The refraction program reads the front target's copy of the opaque image while the glass
// is blended over the back target's copy. Leaves: framebuffer 0 bound, the manager's framebuffer
// with only the (new front) target attached, blending off (its function GL_SRC_ALPHA,
// GL_ONE_MINUS_SRC_ALPHA), no program active, blockHalfSize 0.45, the targets exchanged, the
// current texture coordinate of set 1 the centre of the last glass cell drawn.
void Scene::drawGlassPass(const float eye[3], const float dimension[3]) {
  render.blockHalfSize = FramePlan::kGlassHalfSize;
  render.glassVertex->bind();
  render.glassFragment->bind();
  render.glassFragment->setTextureParameter("light_volume", render.lightVolumeTex);
  render.glassFragment->setTextureParameter("tile_tex", render.glassTileTex);
  render.glassVertex->setParameter("dimension", dimension, 3);
  render.glassVertex->setParameter("eye_pos", eye, 3);
  render.glassVertex->setParameter("fog_range", &kFogRange, 1);
  const float texel[2] = {1.0f / static_cast<float>(FBOManager::instance()->width),
                          1.0f / static_cast<float>(FBOManager::instance()->height)};
  render.glassFragment->setParameter("target_texel", texel, 2);
  render.colorTargets[render.backTarget]->bind();
  // The front target is sampled as the background: it must not stay attached to the framebuffer
  // drawn into, or the reads are undefined (a feedback loop). The opaque pass attaches it again.
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, render.colorTargets[render.frontTarget]->attachment,
                            GL_TEXTURE_2D, 0, 0);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (const GlassCell& glass : render.glassCells) {
    const GridCell cell = grid->getCell(glass.x, glass.y, glass.z);
    render.glassFragment->setTextureParameter("background", render.colorTargets[render.frontTarget]->texture);
    render.glassFragment->setParameter("opacity", &cell.opacity, 1);
    // The program bends the pane's normal away from the cell's centre.
    glMultiTexCoord3f(GL_TEXTURE1, static_cast<float>(glass.x), static_cast<float>(glass.y),
                      static_cast<float>(glass.z));
    drawBlockFaces(static_cast<float>(glass.x), static_cast<float>(glass.y),
                   static_cast<float>(glass.z), glass.faces, glass.reach);
  }
  render.colorTargets[render.backTarget]->unbind();
  std::swap(render.frontTarget, render.backTarget);
  glDisable(GL_BLEND);
  render.glassVertex->unbind();
  render.glassFragment->unbind();
}
