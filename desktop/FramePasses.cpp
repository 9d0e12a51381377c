// The frame's passes: opaque blocks into the back target through the block programs, emitters in
// flat colour, the image copied to the front target, glass blended far to near onto the back
// target with the refraction programs; then the targets exchange roles.
#include "render/FramePasses.h"

#include <GL/glew.h>

#include <cmath>
#include <utility>

#include "Utils/FBOManager.h"
#include "Utils/RenderTarget.h"
#include "Utils/ShaderProgram.h"
#include "render/BlockFaces.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

namespace {

// Columns beyond the visibility pass's rays are hidden, so the room fades into the clear colour
// (black) on the way there: the end of the drawn area reads as distance, not as a hole.
const float kFogRange = static_cast<float>(ColorMap::kRayRange);

}  // namespace

// Relies on: a current context, the world and render resources built, the perspective
// projection, the camera view in the model-view matrix. Every pass starts from the GL baseline
// (render/GlBaseline.h) and leaves it as it found it. Leaves the targets exchanged.
void FramePasses::render(RenderState& state, const LightGrid& grid, const float eye[3],
                         FrameStageHook hook, void* context) {
  const float dimension[3] = {static_cast<float>(grid.sizeX), static_cast<float>(grid.sizeY),
                              static_cast<float>(grid.sizeZ)};
  const auto done = [hook, context](FrameStage stage) {
    if (hook != nullptr) hook(stage, context);
  };
  plan(state, grid, eye);
  done(FrameStage::Plan);
  drawOpaque(state, eye, dimension);
  done(FrameStage::Opaque);
  drawEmitters(state, grid, eye);
  done(FrameStage::Emitter);
  drawGlass(state, grid, eye, dimension);
  done(FrameStage::Glass);
}

// Relies on the current projection and model-view matrices; touches no GL state.
void FramePasses::plan(RenderState& state, const LightGrid& grid, const float eye[3]) {
  state.frustum.extract();
  FramePlan::build(grid, state.frustum, eye, state.opaqueBlocks, state.emitterCells,
                   state.glassCells);
  FramePlan::joinFaces(state.opaqueBlocks, state.opaqueRuns);
}

// Leaves both targets attached to the shared framebuffer, the back target cleared and then
// holding the opaque cubes (the front target is filled by the emitter pass).
void FramePasses::drawOpaque(RenderState& state, const float eye[3], const float dimension[3]) {
  // Both targets attached (taken by index, not by role), sharing the manager's depth buffer.
  state.framebuffer->bind();
  for (const RenderTarget* target : state.colorTargets)
    FBOManager::attach(target->attachment, target->texture);
  // Only the back target is drawn: every fragment written to both targets cost more than one
  // copy of the finished image at the end of the emitter pass.
  glDrawBuffer(state.colorTargets[state.backTarget]->attachment);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  state.blockVertex->bind();
  state.blockFragment->bind();
  state.blockFragment->setTextureParameter("light_volume", state.lightVolumeTex);
  state.blockFragment->setTextureParameter("tile_tex", state.tileTex);
  state.blockVertex->setParameter("dimension", dimension, 3);
  state.blockVertex->setParameter("eye_pos", eye, 3);
  state.blockFragment->setParameter("fog_range", &kFogRange, 1);
  drawFaceRuns(state.opaqueRuns);
  state.blockVertex->unbind();
  state.blockFragment->unbind();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

// Relies on the targets the opaque pass attached. Leaves the back target holding the opaque and
// emitter cubes, and the front target a copy of it when glass is in view (else what it held).
void FramePasses::drawEmitters(RenderState& state, const LightGrid& grid, const float eye[3]) {
  FramePlan::emitterVertices(state.emitterCells, grid, eye, state.emitterVertices);
  // The flat cubes fade with the room: linear fog over the same horizontal eye distance the
  // block program fades by, so they reach black where the drawn columns end.
  const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  state.framebuffer->bind();
  glDrawBuffer(state.colorTargets[state.backTarget]->attachment);
  // The colour array leaves the current colour undefined: it is restored with the fog.
  glPushAttrib(GL_FOG_BIT | GL_CURRENT_BIT);
  glFogi(GL_FOG_MODE, GL_LINEAR);
  glFogfv(GL_FOG_COLOR, black);
  glFogf(GL_FOG_START, 0.5f * kFogRange);
  glFogf(GL_FOG_END, kFogRange);
  glFogi(GL_FOG_COORD_SRC, GL_FOG_COORD);
  glEnable(GL_FOG);
  if (!state.emitterVertices.empty()) {
    const EmitterVertex* v = state.emitterVertices.data();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_FOG_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof *v, v->position);
    glColorPointer(4, GL_FLOAT, sizeof *v, v->colour);
    glFogCoordPointer(GL_FLOAT, sizeof *v, &v->fog);
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(state.emitterVertices.size()));
    glDisableClientState(GL_FOG_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
  }
  glPopAttrib();
  // Not every driver keeps the coordinate source with the fog's attributes.
  glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);
  // The glass pass reads the front target as the image behind the panes; with no glass in view
  // nothing reads it, and the copy is the dearest part of the pass in a room full of lights.
  if (!state.glassCells.empty()) {
    const FBOManager* targets = state.framebuffer;
    glReadBuffer(state.colorTargets[state.backTarget]->attachment);
    glBindTexture(GL_TEXTURE_2D, state.colorTargets[state.frontTarget]->texture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, targets->width, targets->height);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  state.colorTargets[state.backTarget]->unbind();
  state.colorTargets[state.frontTarget]->unbind();
}

// Relies on the depth of the opaque and emitter cubes in the shared depth buffer. The refraction
// program reads the front target's copy of the opaque image while the glass is blended over the
// back target's copy. Leaves the shared framebuffer with only the (new front) target attached,
// the targets exchanged.
void FramePasses::drawGlass(RenderState& state, const LightGrid& grid, const float eye[3],
                            const float dimension[3]) {
  state.glassVertex->bind();
  state.glassFragment->bind();
  state.glassFragment->setTextureParameter("light_volume", state.lightVolumeTex);
  state.glassFragment->setTextureParameter("tile_tex", state.glassTileTex);
  state.glassVertex->setParameter("dimension", dimension, 3);
  state.glassVertex->setParameter("eye_pos", eye, 3);
  state.glassVertex->setParameter("fog_range", &kFogRange, 1);
  const float texel[2] = {1.0f / static_cast<float>(state.framebuffer->width),
                          1.0f / static_cast<float>(state.framebuffer->height)};
  state.glassFragment->setParameter("target_texel", texel, 2);
  state.colorTargets[state.backTarget]->bind();
  // The front target is sampled as the background: it must not stay attached to the framebuffer
  // drawn into, or the reads are undefined (a feedback loop). The opaque pass attaches it again.
  FBOManager::attach(state.colorTargets[state.frontTarget]->attachment, 0);
  // Set 1 of the texture coordinates carries each cell's centre.
  glPushAttrib(GL_CURRENT_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  for (const GlassCell& glass : state.glassCells) {
    const GridCell cell = grid.getCell(glass.x, glass.y, glass.z);
    state.glassFragment->setTextureParameter("background", state.colorTargets[state.frontTarget]->texture);
    state.glassFragment->setParameter("opacity", &cell.opacity, 1);
    // The program bends the pane's normal away from the cell's centre.
    glMultiTexCoord3f(GL_TEXTURE1, static_cast<float>(glass.x), static_cast<float>(glass.y),
                      static_cast<float>(glass.z));
    drawBlockFaces(static_cast<float>(glass.x), static_cast<float>(glass.y),
                   static_cast<float>(glass.z), glass.faces, FramePlan::kGlassHalfSize,
                   glass.reach);
  }
  state.colorTargets[state.backTarget]->unbind();
  std::swap(state.frontTarget, state.backTarget);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_BLEND);
  glPopAttrib();
  state.glassVertex->unbind();
  state.glassFragment->unbind();
}

void FramePasses::drawBlockFaces(float x, float y, float z, unsigned faces, float halfSize,
                                 unsigned reach) {
  const float centre[3] = {x, y, z};
  // Half edge towards minus and plus per axis, from the side each face of the table lies on.
  float extent[3][2] = {};
  for (const BlockFace& face : kBlockFaces)
    for (int axis = 0; axis < 3; ++axis)
      if (face.normal[axis] != 0)
        extent[axis][face.normal[axis] > 0] =
            (reach & face.bit) != 0 ? FramePlan::kBlockHalfSize : halfSize;
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

void FramePasses::drawFaceRuns(const std::vector<FaceRun>& runs) {
  float corners[4][3];
  float texCoords[4][2];
  glBegin(GL_QUADS);
  for (const FaceRun& run : runs) {
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
