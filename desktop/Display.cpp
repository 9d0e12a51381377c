// The display loop: each call measures the frame, updates the scene, draws and swaps.
#include "app/Display.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "Utils/FBOManager.h"
#include "Utils/MatrixScope.h"
#include "Utils/RenderTarget.h"
#include "app/EditView.h"
#include "app/FrameStats.h"
#include "app/FrameTimer.h"
#include "app/Screenshot.h"
#include "app/Scene.h"
#include "app/TextFit.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

void initGL() {
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  // Only a driver with the NV hint knows its enum; elsewhere it would leave GL_INVALID_ENUM behind.
  const GLubyte* extensions = glGetString(GL_EXTENSIONS);
  if (extensions != nullptr &&
      gluCheckExtension(reinterpret_cast<const GLubyte*>("GL_NV_multisample_filter_hint"),
                        extensions)) {
    glHint(GL_MULTISAMPLE_FILTER_HINT_NV, GL_FASTEST);
  }
}

void onReshape(int width, int height) {
  if (height == 0) height = 1;
  scene.resizeTargets(width, height);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60.0, static_cast<double>(width) / static_cast<double>(height), 0.1, 1000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void onSpecialKey(int key, int, int) {
  anyKeyPressed = true;
  if (key == GLUT_KEY_F11) glutFullScreenToggle();
  if (key == GLUT_KEY_F1) keyCardVisible = !keyCardVisible;
}

void drawFullScreenQuad() {
  glDisable(GL_DEPTH_TEST);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(0.0f, 0.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(1.0f, 0.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(1.0f, 1.0f);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(0.0f, 1.0f);
  glEnd();
  glEnable(GL_DEPTH_TEST);
}

namespace {

FrameStats frameStats;

// The status line across the top of the window: white bitmap text on a half-dark band, so it
// reads over dark and bright rooms alike; a narrow window wraps it between fields. Relies on the
// model-view matrix holding the identity; from the GL baseline back to it.
void drawStatusLine(int width, int height) {
  const int eyeCell[3] = {static_cast<int>(std::lround(scene.camera.eye.x)),
                          static_cast<int>(std::lround(scene.camera.eye.y)),
                          static_cast<int>(std::lround(scene.camera.eye.z))};
  const long cells = static_cast<long>(scene.render.opaqueBlocks.size() + scene.render.emitterCells.size() +
                                       scene.render.glassCells.size());
  const std::string text = statusText(frameStats, scene.grid->strength, scene.render.cpuLightUpload,
                                      cells, eyeCell) +
                           "  fill " + columnKindName(scene.selectedKind);
  const std::vector<std::string> lines =
      fitText(text, static_cast<size_t>(std::max(1, (width - 12) / 9)));
  const int band = 22 + 16 * static_cast<int>(lines.size() - 1);
  MatrixScope projection(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, width, 0, height);
  glMatrixMode(GL_MODELVIEW);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0.0f, 0.0f, 0.0f, 0.6f);
  glRecti(0, height - band, width, height);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  for (size_t i = 0; i < lines.size(); ++i) {
    glRasterPos2i(6, height - 16 - 16 * static_cast<int>(i));
    for (const char c : lines[i]) glutBitmapCharacter(GLUT_BITMAP_9_BY_15, c);
  }
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

void onDisplay() {
  FrameTimer::instance().update();
  if (!running) std::exit(0);

  const long stepsBefore = scene.simulationSteps;
  scene.update();
  frameStats.addFrame(FrameTimer::instance().elapsed, scene.simulationSteps != stepsBefore,
                      scene.stepAccumulator / Scene::kStepInterval);
  drawFrame();
}

void drawFrame(FrameStageHook hook, void* context) {
  // The passes clear their own targets, and the full-screen quad covers every pixel of the
  // window: a clear of the window's buffers here would only cost time.
  glLoadIdentity();
  glMultMatrixf(scene.camera.glViewMatrix);
  if (hook != nullptr) hook(FrameStage::View, context);
  scene.renderFrame(hook, context);
  presentFrame();
  if (hook != nullptr) hook(FrameStage::Present, context);
}

// From the GL baseline (render/GlBaseline.h) back to it; the matrices as found.
void presentFrame() {
  // The shared framebuffer has the window's size.
  const FBOManager& window = *scene.render.framebuffer;
  glEnable(GL_TEXTURE_2D);
  // The debug view shows the image the glass was blended over; with no glass in view that is
  // the frame itself, and the back target was not refreshed.
  const int shown =
      debugView == 0 || scene.render.glassCells.empty() ? scene.render.frontTarget : scene.render.backTarget;
  glBindTexture(GL_TEXTURE_2D, scene.render.colorTargets[shown]->texture);
  // The target's colour as it is, whatever colour the last emitter left current.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  {
    MatrixScope modelView(GL_MODELVIEW);
    glLoadIdentity();
    {
      MatrixScope projection(GL_PROJECTION);
      glLoadIdentity();
      gluOrtho2D(0, 1, 0, 1);
      glMatrixMode(GL_MODELVIEW);
      // The target is the window's size, so each pixel takes exactly one texel: nearest gives
      // the same picture as linear filtering at a fraction of the rasteriser's cost.
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      drawFullScreenQuad();
      // The glass pass reads this target, bent, with linear filtering.
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_2D);
    if (overlayVisible) scene.occlusionMap->drawOverlay(window.width, window.height);
    drawEditView(window.width, window.height);
    if (statusVisible) drawStatusLine(window.width, window.height);
    if (screenshotRequested) {
      screenshotRequested = false;
      saveScreenshot(window.width, window.height);
    }
  }
  glutSwapBuffers();
}
