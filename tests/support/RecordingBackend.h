// A backend that draws nothing and keeps what the recipe asked of it: each call in order with
// its target and counts, and the data of the last frame, so tests replay whole frames without
// GL. It also checks the rules every real backend relies on (a pass draws only into a begun
// target; the glass never samples the target it is blended over) and notes each breach.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "render/RenderBackend.h"
#include "world/LightGrid.h"

class RecordingBackend : public RenderBackend {
 public:
  void createLightVolume(int sizeX, int sizeY, int sizeZ) override {
    volume[0] = sizeX, volume[1] = sizeY, volume[2] = sizeZ;
    log("volume");
  }
  void uploadLight(const LightGrid& grid, bool cpuPath) override {
    ++uploads;
    if (grid.sizeX != volume[0] || grid.sizeY != volume[1] || grid.sizeZ != volume[2])
      breach("upload into a volume of another size");
    lastUploadCpu = cpuPath;
  }
  void resize(int w, int h) override { width = w, height = h; }

  void beginFrame(const FrameInputs& in) override {
    calls.clear();
    inputs = in;
    begun = -1;
    log("frame");
  }
  void beginTarget(int target) override {
    if (target != 0 && target != 1) breach("no such target");
    begun = target;
    log("target " + std::to_string(target));
  }
  void drawOpaque(const std::vector<BlockVertex>& quads, const PassParameters& p) override {
    needTarget("opaque");
    opaque = quads;
    pass = p;
    log("opaque");
  }
  void drawEmitters(const std::vector<EmitterVertex>& quads, float start, float end) override {
    needTarget("emitters");
    emitters = quads;
    fog[0] = start, fog[1] = end;
    log("emitters");
  }
  void copyTarget(int from, int to) override {
    if (from == to) breach("copy onto itself");
    log("copy " + std::to_string(from) + " " + std::to_string(to));
  }
  void drawGlass(const std::vector<BlockVertex>& quads, const std::vector<GlassCube>& c,
                 const PassParameters& p, int background) override {
    needTarget("glass");
    if (background == begun) breach("glass samples the target it is drawn into");
    glass = quads;
    cubes = c;
    pass = p;
    log("glass " + std::to_string(background));
  }
  void present(int target) override {
    shown = target;
    begun = -1;
    log("present " + std::to_string(target));
  }
  // Keeps its copy of the picture as a backend that sends only the changed rows would.
  void drawOverlay(const OverlayImage& image) override {
    const long row = 3L * image.width;
    if (image.version != overlay.version + 1 || overlayRgb.size() != size_t(row * image.height))
      overlayRgb.assign(image.rgb, image.rgb + row * image.height);
    else
      for (long y = image.changed[1]; y < image.changed[3]; ++y) {
        const long from = y * row + 3 * image.changed[0], to = y * row + 3 * image.changed[2];
        std::copy(image.rgb + from, image.rgb + to, overlayRgb.begin() + from);
      }
    overlay = image;
    log("overlay");
  }
  void drawWorldLines(const std::vector<float>& points, const unsigned char rgb[3],
                      float lineWidth) override {
    lines = points;
    lineGrey = rgb[0];
    lineWidthDrawn = lineWidth;
    log("lines");
  }
  void drawScreen(const std::vector<ScreenItem>& items) override {
    screen = items;
    log("screen");
  }

  // The calls of the last frame, as "frame", "target 1", "opaque", "copy 1 0", "glass 0", ...
  std::vector<std::string> calls;
  std::vector<std::string> breaches;
  int volume[3] = {0, 0, 0};
  int uploads = 0;
  bool lastUploadCpu = false;
  int width = 0, height = 0;
  FrameInputs inputs;
  PassParameters pass;
  std::vector<BlockVertex> opaque, glass;
  std::vector<EmitterVertex> emitters;
  std::vector<GlassCube> cubes;
  float fog[2] = {0.0f, 0.0f};
  int shown = -1;
  OverlayImage overlay;
  std::vector<unsigned char> overlayRgb;
  std::vector<float> lines;
  unsigned char lineGrey = 0;
  float lineWidthDrawn = 0.0f;
  std::vector<ScreenItem> screen;

 private:
  void log(const std::string& call) { calls.push_back(call); }
  void breach(const std::string& what) { breaches.push_back(what); }
  void needTarget(const char* passName) {
    if (begun < 0) breach(std::string(passName) + " drawn with no target begun");
  }
  int begun = -1;
};
