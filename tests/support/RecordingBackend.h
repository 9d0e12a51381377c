// A backend that draws nothing and keeps what the recipe asked of it: the last frame's calls in
// order, the data handed over, the light volume as the uploads left it; it notes each breach of
// the rules real backends rely on (a begun picture, glass and the debug view only over a copy made
// that frame, uploads fit).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "render/RenderBackend.h"
#include "world/LightGrid.h"

class RecordingBackend : public RenderBackend {
 public:
  void largestLightVolume(int size[3]) const override { std::copy(largest, largest + 3, size); }
  void createLightVolume(int sizeX, int sizeY, int sizeZ) override {
    volume[0] = sizeX, volume[1] = sizeY, volume[2] = sizeZ;
    texels.assign(static_cast<size_t>(sizeX) * sizeY * sizeZ, 0xFF000000u);
    light.assign(3 * texels.size(), 0.0f);
  }
  void uploadLight(const LightGrid& grid, bool cpuPath, const std::vector<TexelBox>& boxes) override {
    ++uploads;
    if (grid.sizeX != volume[0] || grid.sizeY != volume[1] || grid.sizeZ != volume[2])
      return breaches.push_back("upload into a volume of another size");
    const std::vector<TexelBox> all{grid.wholeBox()};
    for (const TexelBox& b : cpuPath ? boxes : all) {
      uploadedTexels += b.cells();
      for (int a = 0; a < 3; ++a)
        if (b.lo[a] < 0 || b.lo[a] >= b.hi[a] || b.hi[a] > volume[a])
          return breaches.push_back("an upload box off the volume or empty");
      for (int z = b.lo[2]; z < b.hi[2]; ++z)
        for (int y = b.lo[1]; y < b.hi[1]; ++y)
          for (int x = b.lo[0]; x < b.hi[0]; ++x) {
            const long i = grid.index(x, y, z);
            texels[i] = grid.lightTexels()[i];
            for (int k = 0; k < 3; ++k) light[3 * i + k] = grid.lightAt(i, k);
          }
    }
  }
  void resize(int, int) override {}
  void beginFrame(const FrameInputs&) override {
    calls = {"frame"};
    begun = copiedThisFrame = false;
  }
  void beginPicture() override {
    begun = true;
    calls.push_back("picture");
  }
  void drawOpaque(const std::vector<BlockVertex>& quads, const PassParameters&) override {
    drawn("opaque");
    opaque = quads;
  }
  void drawEmitters(const std::vector<EmitterVertex>& quads, float start, float end) override {
    drawn("emitters");
    emitters = quads;
    fog[0] = start, fog[1] = end;
  }
  void copyBehind(const PixelRect& area) override {
    drawn("copy");
    copied = area;
    copiedThisFrame = true;
  }
  void drawGlass(const std::vector<BlockVertex>& quads, const std::vector<GlassCube>& c,
                 const PassParameters&) override {
    drawn("glass");
    if (!copiedThisFrame) breaches.push_back("glass over no copy of this frame");
    glass = quads;
    cubes = c;
  }
  void showBehind() override {
    drawn("behind");
    if (!copiedThisFrame) breaches.push_back("shown a copy of no frame");
  }
  // Keeps its copy of the picture as the backends do: only the changed pixels when it can.
  void drawOverlay(const OverlayImage& image) override {
    const long row = 3L * image.width;
    const OverlayImage::Send send = image.sendTo(overlay.version, overlay.width, overlay.height);
    if (send == OverlayImage::Send::Whole)
      overlayRgb.assign(image.rgb, image.rgb + row * image.height);
    else if (send == OverlayImage::Send::Changed)
      for (long y = image.changed[1]; y < image.changed[3]; ++y) {
        const long from = y * row + 3 * image.changed[0], to = y * row + 3 * image.changed[2];
        std::copy(image.rgb + from, image.rgb + to, overlayRgb.begin() + from);
      }
    overlay = image;
    calls.push_back("overlay");
  }
  void drawWorldLines(const std::vector<float>& points, const unsigned char rgb[3], float) override {
    lines = points;
    lineGrey = rgb[0];
    calls.push_back("lines");
  }
  void drawScreen(const std::vector<ScreenItem>& items) override {
    screen = items;
    calls.push_back("screen");
  }

  // The calls of the last frame, as "frame", "picture", "opaque", "emitters", "copy", "glass", ...
  std::vector<std::string> calls, breaches;
  int volume[3] = {0, 0, 0};
  // What largestLightVolume says.
  int largest[3] = {1 << 20, 1 << 20, 1 << 20};
  int uploads = 0;
  PixelRect copied;
  std::vector<std::uint32_t> texels;
  std::vector<float> light;
  long uploadedTexels = 0;
  std::vector<BlockVertex> opaque, glass;
  std::vector<EmitterVertex> emitters;
  std::vector<GlassCube> cubes;
  float fog[2] = {0.0f, 0.0f};
  OverlayImage overlay;
  std::vector<unsigned char> overlayRgb;
  std::vector<float> lines;
  unsigned char lineGrey = 0;
  std::vector<ScreenItem> screen;

 private:
  void drawn(const std::string& call) {
    if (!begun) breaches.push_back(call + " drawn with no picture begun");
    calls.push_back(call);
  }
  bool begun = false, copiedThisFrame = false;
};
