// The page's entry point: a WebGL 2 context on the canvas, the shipped room, the keys and mouse
// of the desktop, and the frame loop on the browser's animation frames. The page (index.html)
// shows the status line, the visibility overlay and map messages that this file hands it.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/EditView.h"
#include "app/FrameStats.h"
#include "app/FrameTimer.h"
#include "app/Input.h"
#include "app/Scene.h"
#include "render/OverlayLayout.h"
#include "web/WebRenderer.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/RoomColumn.h"
#include "world/WorldBuilder.h"

namespace {

FrameStats frameStats;
long framesDrawn = 0;
std::string shownStatus;
std::vector<unsigned char> overlayPixels;
// The marks version the page's overlay shows; kOverlayHidden while it is hidden.
constexpr long kOverlayHidden = -2;
long shownMarksVersion = kOverlayHidden;
int lastEditView[5] = {-1, -1, -1, -1, -1};

EM_JS(void, showStatus, (const char* text), { quillmarshPage.status(UTF8ToString(text)); });
EM_JS(void, showOverlay, (const unsigned char* rgba, int width, int height, float left,
                         float bottom, float cell), {
  quillmarshPage.overlay(rgba ? HEAPU8.subarray(rgba, rgba + width * height * 4) : null, width,
                         height, left, bottom, cell);
});
EM_JS(void, hideOverlay, (), { quillmarshPage.overlay(null, 0, 0, 0, 0, 0); });
EM_JS(void, showMessage, (const char* text), { quillmarshPage.message(UTF8ToString(text)); });
EM_JS(void, showEditView, (int hint, int keyCard, int r, int g, int b), {
  quillmarshPage.editView(hint, keyCard, r, g, b);
});
EM_JS(void, setKeyCard, (const char* text), { quillmarshPage.keyCard(UTF8ToString(text)); });
EM_JS(int, windowWidth, (), { return window.innerWidth; });
EM_JS(int, windowHeight, (), { return window.innerHeight; });

// The canvas follows the window; the colour targets follow the canvas.
void followWindowSize() {
  const int width = windowWidth() > 0 ? windowWidth() : 1;
  const int height = windowHeight() > 0 ? windowHeight() : 1;
  if (width == WebRenderer::instance().width && height == WebRenderer::instance().height) return;
  emscripten_set_canvas_element_size("#canvas", width, height);
  scene.resizeTargets(width, height);
}

void drawOverlayAndStatus() {
  const ColorMap& map = *scene.occlusionMap;
  if (overlayVisible && map.allocated && map.width > 0 && map.height > 0) {
    // Placed as the desktop places it; row z = 0 at the top (the page's rows run down).
    const OverlayLayout layout(WebRenderer::instance().width, WebRenderer::instance().height,
                               map.width, map.height);
    const unsigned char* fresh = nullptr;
    if (map.marksVersion != shownMarksVersion) {
      overlayPixels.resize(static_cast<size_t>(map.width) * map.height * 4);
      for (long i = 0; i < static_cast<long>(map.width) * map.height; ++i) {
        const ColorMap::Pixel& p = map.marks[i];
        overlayPixels[4 * i] = static_cast<unsigned char>(p.r);
        overlayPixels[4 * i + 1] = static_cast<unsigned char>(p.g);
        overlayPixels[4 * i + 2] = static_cast<unsigned char>(p.b);
        overlayPixels[4 * i + 3] = 255;
      }
      shownMarksVersion = map.marksVersion;
      fresh = overlayPixels.data();
    }
    showOverlay(fresh, map.width, map.height, layout.left, layout.bottom, layout.cell);
  } else if (shownMarksVersion != kOverlayHidden) {
    shownMarksVersion = kOverlayHidden;
    hideOverlay();
  }
  // The crosshair with the selected kind, the first-minute hint and the key card (F1), as the
  // desktop's edit view shows them; the picked cell's outline is drawn with the frame.
  const mapcolour::Rgb kind = columnColour(scene.selectedKind);
  const bool hint = !anyKeyPressed && scene.grid->strength == 0.0f;
  const int shownEdit[5] = {hint, keyCardVisible, kind.r, kind.g, kind.b};
  if (std::memcmp(shownEdit, lastEditView, sizeof shownEdit) != 0) {
    std::memcpy(lastEditView, shownEdit, sizeof shownEdit);
    showEditView(hint, keyCardVisible, kind.r, kind.g, kind.b);
  }
  std::string text;
  if (statusVisible) {
    const int eyeCell[3] = {static_cast<int>(std::lround(scene.camera.eye.x)),
                            static_cast<int>(std::lround(scene.camera.eye.y)),
                            static_cast<int>(std::lround(scene.camera.eye.z))};
    const RenderState& state = scene.render;
    const long cells = static_cast<long>(state.opaqueBlocks.size() + state.emitterCells.size() +
                                         state.glassCells.size());
    text = statusText(frameStats, scene.grid->strength, state.cpuLightUpload, cells, eyeCell);
  }
  if (text != shownStatus) {
    shownStatus = text;
    showStatus(text.c_str());
  }
}

// One frame, as the desktop's display callback: measure, update, draw, show.
void frame() {
  FrameTimer::instance().update();
  followWindowSize();
  const long stepsBefore = scene.simulationSteps;
  scene.update();
  frameStats.addFrame(FrameTimer::instance().elapsed, scene.simulationSteps != stepsBefore,
                      scene.stepAccumulator / Scene::kStepInterval);
  WebRenderer::instance().drawFrame(scene.render, *scene.grid, scene.camera, debugView);
  WebRenderer::instance().drawOutline(scene.pick, scene.camera);
  drawOverlayAndStatus();
  ++framesDrawn;
}

// A key as the desktop's keyboard callbacks see it: one character, with Control a control code
// on the press (the toolkit's way) and the letter on the release; 0 for keys they ignore.
// Escape is left to the browser (it leaves full screen); the page has no window to close.
unsigned char keyChar(const EmscriptenKeyboardEvent* e, bool press) {
  if (std::strlen(e->key) != 1) return 0;
  const char c = e->key[0];
  if (e->ctrlKey && press) {
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'z' ? static_cast<unsigned char>(lower - 'a' + 1) : 0;
  }
  return static_cast<unsigned char>(c);
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void*) {
  const bool press = type == EMSCRIPTEN_EVENT_KEYDOWN;
  if (std::strcmp(e->key, "F1") == 0) {
    anyKeyPressed = true;
    if (press) keyCardVisible = !keyCardVisible;
    return EM_TRUE;
  }
  const unsigned char key = keyChar(e, press);
  if (key == 0 || e->metaKey || e->altKey) return EM_FALSE;
  // Of the browser's Control keys the page takes only its own: Z (undo) and S (save the room).
  if (e->ctrlKey && std::strchr("zZsS", e->key[0]) == nullptr) return EM_FALSE;
  if (press) {
    onKeyDown(key, 0, 0);
  } else {
    // A screenshot is the browser's business; the page's 'p' does nothing.
    if (key != 'p') onKeyUp(key, 0, 0);
  }
  return EM_TRUE;
}

EM_BOOL onMouseEvent(int type, const EmscriptenMouseEvent* e, void*) {
  // The canvas fills the page from its top-left corner: page and canvas pixels coincide.
  const int x = static_cast<int>(e->clientX), y = static_cast<int>(e->clientY);
  if (type == EMSCRIPTEN_EVENT_MOUSEDOWN) onMouse(e->button, 0, x, y);
  if (type == EMSCRIPTEN_EVENT_MOUSEUP) onMouse(e->button, 1, x, y);
  // The desktop turns the view only while a button is held.
  if (type == EMSCRIPTEN_EVENT_MOUSEMOVE && e->buttons != 0) onMotion(x, y);
  // The right button edits; the browser's menu would take its release.
  return EM_TRUE;
}

}  // namespace

extern "C" {

// A map picture dropped onto the page: refused with the desktop's line (on the page and its
// standard error), or the world built from it. Returns 1 when the room was built.
EMSCRIPTEN_KEEPALIVE int quillmarsh_use_map(const char* name, const unsigned char* bytes,
                                            int size) {
  MapImage map;
  std::string error;
  if (size < 0 || !map.decode(bytes, static_cast<size_t>(size), error)) {
    const std::string line = "quillmarsh: cannot use map \"" + std::string(name) + "\": " + error;
    std::fprintf(stderr, "%s\n", line.c_str());
    showMessage(line.c_str());
    return 0;
  }
  std::printf("TESSARY ROOM filename  %s\n", name);
  scene.enterRoom(buildRoom(map.pixels.data(), map.width, map.height, kRoomHeight, *scene.grid,
                            *scene.occlusionMap));
  showMessage(("room built from \"" + std::string(name) + "\"").c_str());
  return 1;
}

// For the page's checks: frames drawn so far, and the view's heading in degrees about y.
EMSCRIPTEN_KEEPALIVE long quillmarsh_frames() { return framesDrawn; }
EMSCRIPTEN_KEEPALIVE double quillmarsh_heading() {
  const Vec3 d = scene.camera.target - scene.camera.eye;
  return std::atan2(d.z, d.x) * 180.0 / M_PI;
}

}  // extern "C"

int main() {
  // The page has no threads (they would need a cross-origin isolated page): the step runs on
  // one.
  setenv("QUILLMARSH_THREADS", "1", 1);
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_FALSE;
  attributes.antialias = EM_FALSE;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
      emscripten_webgl_create_context("#canvas", &attributes);
  if (context <= 0) {
    std::fprintf(stderr, "quillmarsh: this browser offers no WebGL 2\n");
    showMessage("quillmarsh: this browser offers no WebGL 2");
    return 1;
  }
  emscripten_webgl_make_context_current(context);
  // Float colour targets, as the desktop's GL_RGBA16F ones.
  if (!emscripten_webgl_enable_extension(context, "EXT_color_buffer_float")) {
    std::fprintf(stderr, "quillmarsh: this browser's WebGL 2 cannot draw into float targets\n");
    showMessage("quillmarsh: this browser's WebGL 2 cannot draw into float targets "
                "(EXT_color_buffer_float)");
    return 1;
  }

  scene.buildWorld(kShippedMapFile, kRoomHeight);
  followWindowSize();
  std::string card = "Keys and mouse (F1 hides this card)\n\n";
  for (const std::string& line : controls::keyLines()) card += line + "\n";
  setKeyCard(card.c_str());

  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
  emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
  emscripten_set_mousedown_callback("#canvas", nullptr, EM_TRUE, onMouseEvent);
  emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onMouseEvent);
  emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE,
                                    onMouseEvent);
  emscripten_set_main_loop(frame, 0, EM_FALSE);
  return 0;
}
