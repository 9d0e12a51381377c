// The page's entry point: a WebGL 2 context on the canvas, the Scene and its backend made here and
// kept for the page's life, the shipped room, the keys and mouse of the desktop (less those the
// browser keeps), maps dropped on the page, and the frame loop on the browser's animation frames.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/Input.h"
#include "app/Scene.h"
#include "web/WebRenderer.h"
#include "world/VoxRoom.h"
#include "world/WorldBuilder.h"

namespace {

// Everything the page's program holds; made in main and handed to every callback.
struct Page {
  Scene scene;
  WebRenderer backend;
  // The last answer to the checks' question, kept until the next.
  std::string state;
  // Wheel notches gathered but not yet a whole one (down positive).
  double wheel = 0.0;
  // The largest canvas the backend draws whole; a larger window shows one of this size from its
  // top-left corner.
  int largestWidth = 1, largestHeight = 1;
};

// The page learns where the program's state lives once, and hands it back with each call it
// makes (a dropped map, the checks' questions).
EM_JS(void, attachPage, (Page * page), { quillmarshPage.attach(page); });
// A line for the user when there is no room to show it over.
EM_JS(void, showFatal, (const char* text), { quillmarshPage.fatal(UTF8ToString(text)); });
EM_JS(int, windowWidth, (), { return window.innerWidth; });
EM_JS(int, windowHeight, (), { return window.innerHeight; });

void fatal(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  showFatal(line.c_str());
}

// The canvas follows the window, as far as the context can draw it.
void followWindowSize(Page& page) {
  const int width = std::min(std::max(windowWidth(), 1), page.largestWidth);
  const int height = std::min(std::max(windowHeight(), 1), page.largestHeight);
  if (width != page.scene.width || height != page.scene.height) page.scene.resize(width, height);
}

// One frame, as the desktop's display callback: measure, update, draw; the browser shows it.
void frame(void* context) {
  Page& page = *static_cast<Page*>(context);
  followWindowSize(page);
  page.scene.advanceFrame();
  page.scene.drawFrame();
}

// A key as the desktop's keyboard callbacks see it: one character, with Control a control code
// on the press (the toolkit's way) and the letter on the release; 0 for keys they ignore.
// Escape and F11 (full screen) stay the browser's, and 'p': a screenshot is the browser's too.
unsigned char keyChar(const EmscriptenKeyboardEvent* e, bool press) {
  if (std::strlen(e->key) != 1 || e->key[0] == 'p' || e->key[0] == 'P') return 0;
  const char c = e->key[0];
  if (e->ctrlKey && press) {
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'z' ? static_cast<unsigned char>(lower - 'a' + 1) : 0;
  }
  return static_cast<unsigned char>(c);
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void* context) {
  Scene& scene = static_cast<Page*>(context)->scene;
  const bool press = type == EMSCRIPTEN_EVENT_KEYDOWN;
  if (std::strcmp(e->key, "F1") == 0) {
    if (press && !e->repeat) input::keyCard(scene);
    return EM_TRUE;
  }
  const unsigned char key = keyChar(e, press);
  if (key == 0) {
    // A letter let go of as another character (with Option on a Mac) is let go of all the same.
    if (!press && std::strncmp(e->code, "Key", 3) == 0 && e->code[3] >= 'A' &&
        e->code[3] <= 'Z' && e->code[4] == '\0')
      input::keyLetGo(scene, static_cast<unsigned char>(e->code[3] - 'A' + 'a'));
    return EM_FALSE;
  }
  // Of the browser's Control keys the page takes only its own: Z (undo) and S (save the room).
  // A key it took before the modifier went down is let go of all the same, or the walk goes on.
  if (e->metaKey || e->altKey || (e->ctrlKey && std::strchr("zZsS", e->key[0]) == nullptr)) {
    if (!press) input::keyLetGo(scene, key);
    return EM_FALSE;
  }
  if (press)
    input::keyDown(scene, key);
  else
    input::keyUp(scene, key);
  return EM_TRUE;
}

EM_BOOL onMouseEvent(int type, const EmscriptenMouseEvent* e, void* context) {
  Scene& scene = static_cast<Page*>(context)->scene;
  // The canvas fills the page from its top-left corner: page and canvas pixels coincide.
  const int x = static_cast<int>(e->clientX), y = static_cast<int>(e->clientY);
  const bool shift = e->shiftKey != 0;
  if (type == EMSCRIPTEN_EVENT_MOUSEDOWN) input::mouse(scene, e->button, true, x, y, shift);
  if (type == EMSCRIPTEN_EVENT_MOUSEUP) input::mouse(scene, e->button, false, x, y, shift);
  // The desktop turns the view only while a button is held.
  if (type == EMSCRIPTEN_EVENT_MOUSEMOVE && e->buttons != 0) input::motion(scene, x, y);
  // The right button edits; the browser's menu would take its release.
  return EM_TRUE;
}

// The wheel as the desktop's notches (buttons 3 up, 4 down): a notch per 100 pixels, 3 lines or
// a page of scrolling, gathered across events so that a touchpad's small steps add up.
EM_BOOL onWheel(int, const EmscriptenWheelEvent* e, void* context) {
  Page& page = *static_cast<Page*>(context);
  const double perNotch = e->deltaMode == DOM_DELTA_PIXEL ? 100.0
                          : e->deltaMode == DOM_DELTA_LINE ? 3.0
                                                           : 1.0;
  page.wheel += e->deltaY / perNotch;
  const int x = static_cast<int>(e->mouse.clientX), y = static_cast<int>(e->mouse.clientY);
  for (; page.wheel >= 1.0; page.wheel -= 1.0) input::mouse(page.scene, 4, true, x, y);
  for (; page.wheel <= -1.0; page.wheel += 1.0) input::mouse(page.scene, 3, true, x, y);
  return EM_TRUE;
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

extern "C" {

// The largest room file (map or scene) in bytes: the page reads no larger file it is given.
EMSCRIPTEN_KEEPALIVE double quillmarsh_largest_room_file() {
  return static_cast<double>(VoxRoomLimits().file.maxFileBytes);
}

// A map picture or scene dropped onto the page, `copied` of its `size` bytes at `bytes` (none
// when it is larger than a room file may be, or the page had no memory for them): refused with the desktop's line (on the page and its standard
// error) and the room in use kept, or its room built. Returns 1 when it was built.
EMSCRIPTEN_KEEPALIVE int quillmarsh_use_map(Page* page, const char* name,
                                            const unsigned char* bytes, double copied,
                                            double size) {
  Scene& scene = page->scene;
  std::string error;
  bool built = false;
  if (size > VoxRoomLimits().file.maxFileBytes) {
    error = refuseRoomFileSize(name, static_cast<std::uint64_t>(size)).error;
  } else if (bytes == nullptr || copied != size) {
    error = "quillmarsh: cannot use map \"" + std::string(name) + "\": the page has no memory left " +
            "for its " + std::to_string(static_cast<size_t>(size)) + " bytes";
  } else {
    built = scene.loadRoom(name, bytes, static_cast<size_t>(size), kRoomHeight, error);
  }
  if (!built) {
    std::fprintf(stderr, "%s\n", error.c_str());
    scene.say(error);
    return 0;
  }
  scene.say("room built from \"" + std::string(name) + "\"");
  return 1;
}

// A dropped file the browser could not read (a folder, or a file gone since it was chosen):
// refused in one line naming it, the room in use kept.
EMSCRIPTEN_KEEPALIVE void quillmarsh_unreadable(Page* page, const char* name, const char* cause) {
  const std::string error = "quillmarsh: cannot use map \"" + std::string(name) +
                            "\": the browser cannot read it (" + cause + ")";
  std::fprintf(stderr, "%s\n", error.c_str());
  page->scene.say(error);
}

// For the page's checks: how many texels of the light volume differ from those the light step
// made by more than `levels` of 255 (read back from the GL, so it costs what the volume holds).
EMSCRIPTEN_KEEPALIVE double quillmarsh_volume_difference(Page* page, int levels) {
  return static_cast<double>(page->backend.volumeDifference(*page->scene.grid, levels));
}

// For the page's checks: what the program shows and has done, as one JSON object: frames drawn,
// the eye, the view's heading (degrees about y), the light strength, the room's size in cells, the
// messages on screen, the backend's counts and the screen items last drawn.
EMSCRIPTEN_KEEPALIVE const char* quillmarsh_state(Page* page) {
  std::string& json = page->state;
  const Scene& scene = page->scene;
  const Vec3 d = scene.camera.target - scene.camera.eye;
  const WebRenderer::Counts& counts = page->backend.counts();
  char numbers[512];
  std::snprintf(numbers, sizeof numbers,
                "{\"frames\":%ld,\"eye\":[%.4f,%.4f,%.4f],\"heading\":%.4f,\"strength\":%.4f,\"room\":[%d,%d,%d],"
                "\"window\":[%d,%d],\"overlayFrames\":%ld,\"overlayUploads\":%ld,"
                "\"overlayParts\":%ld,\"screenBuilds\":%ld,\"keyCardPage\":%d,",
                counts.frames, static_cast<double>(scene.camera.eye.x),
                static_cast<double>(scene.camera.eye.y), static_cast<double>(scene.camera.eye.z),
                std::atan2(d.z, d.x) * 180.0 / M_PI,
                static_cast<double>(scene.grid->strength), scene.grid->sizeX, scene.grid->sizeY,
                scene.grid->sizeZ, scene.width, scene.height, counts.overlayFrames,
                counts.overlayUploads, counts.overlayParts, counts.screenBuilds,
                scene.flags.keyCardPage);
  json = numbers;
  json += "\"messages\":[";
  const std::vector<std::string> messages = scene.currentMessages();
  for (size_t i = 0; i < messages.size(); ++i) json += (i ? "," : "") + jsonString(messages[i]);
  json += "],\"screen\":" + page->backend.screenJson() + "}";
  return json.c_str();
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
  // With alpha the canvas can be copied into an RGBA texture as it is, which SwiftShader does at
  // a fraction of the cost of a copy that drops a channel; every pass keeps the canvas's alpha
  // at 1, so the page shows it as an opaque canvas would.
  attributes.alpha = EM_TRUE;
  // The passes draw into the canvas, depth tested.
  attributes.depth = EM_TRUE;
  attributes.antialias = EM_FALSE;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
      emscripten_webgl_create_context("#canvas", &attributes);
  if (context <= 0) {
    fatal("quillmarsh: this browser offers no WebGL 2");
    return 1;
  }
  emscripten_webgl_make_context_current(context);

  // Kept alive for the page's life: the main loop below never returns to this frame.
  Page page;
  page.scene.keys = controls::KeySet::Page;
  std::srand(static_cast<unsigned>(emscripten_get_now()));
  std::string error;
  if (!page.scene.loadRoom(kShippedMapFile, kRoomHeight, error)) {
    fatal(error);
    return 1;
  }
  if (!page.backend.init(error)) {
    fatal("quillmarsh: " + error);
    return 1;
  }
  page.backend.largestCanvas(page.largestWidth, page.largestHeight);
  followWindowSize(page);
  page.scene.attachBackend(&page.backend);
  attachPage(&page);

  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, &page, EM_TRUE, onKey);
  emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, &page, EM_TRUE, onKey);
  emscripten_set_mousedown_callback("#canvas", &page, EM_TRUE, onMouseEvent);
  emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, &page, EM_TRUE, onMouseEvent);
  emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, &page, EM_TRUE,
                                    onMouseEvent);
  emscripten_set_wheel_callback("#canvas", &page, EM_TRUE, onWheel);
  // simulate_infinite_loop: main's frame, and `page` with it, stays for the page's life.
  emscripten_set_main_loop_arg(frame, &page, 0, EM_TRUE);
  return 0;
}
