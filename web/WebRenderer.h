// The browser backend's GPU side on WebGL 2: the light volume, the tile textures, the two colour
// targets sharing one depth buffer, the programs made from the desktop's program files, and the
// frame: the Scene's frame plan replayed with vertex buffers through the desktop's passes in its
// order (opaque runs, emitters, the copy for the glass, glass far to near), then shown on the
// canvas. Sizes in pixels; geometry in world units as the Scene's.
#pragma once

#include <string>
#include <vector>

class LightGrid;
class Scene;

class WebRenderer {
 public:
  // The one renderer of the page, made on first use.
  static WebRenderer& instance();

  // Compiles the programs and loads the tile textures (once; later calls return true at once).
  // False with `error` naming the file and the cause when something cannot be made.
  bool init(std::string& error);
  // A black light volume of one texel per cell, replacing the previous one.
  void createLightVolume(int sizeX, int sizeY, int sizeZ);
  // The grid's light compressed to c / (c + 1) into the volume: from a CPU array in one
  // transfer, or slice by slice as points drawn into each layer.
  void uploadLight(const LightGrid& grid, bool cpuPath);
  // Gives the colour targets and their depth buffer the canvas's size.
  void resize(int width, int height);
  // Plans the frame from the Scene's camera, draws the passes and shows the finished target (or
  // the frame without glass when `debugView` is 1).
  void drawFrame(Scene& scene, int debugView);

  int width = 0, height = 0;

 private:
  void planFrame(Scene& scene, const float eye[3]);
  void drawOpaquePass(Scene& scene, const float eye[3], const float dimension[3]);
  void drawEmitterPass(Scene& scene, const float eye[3]);
  void drawGlassPass(Scene& scene, const float eye[3], const float dimension[3]);
  void present(const Scene& scene, int debugView);
  // Binds the quad indices for `quads` quads of four vertices each, growing them as needed.
  void bindQuadIndices(size_t quads);
  // Sets the matrices of a program translated from a desktop file.
  void setMatrices(unsigned program);

  bool ready = false;
  unsigned blockProgram = 0, glassProgram = 0, emitterProgram = 0, presentProgram = 0,
           sliceProgram = 0;
  unsigned tileTex = 0, glassTileTex = 0, lightVolumeTex = 0;
  int volumeSize[3] = {0, 0, 0};
  unsigned targets[2] = {0, 0};
  unsigned depthBuffer = 0, framebuffer = 0, copyFramebuffer = 0, volumeFramebuffer = 0;
  unsigned vertexArray = 0, vertexBuffer = 0, indexBuffer = 0;
  size_t indexQuads = 0;
  float projection[16] = {};
  float modelView[16] = {};
  std::vector<float> vertices;
  std::vector<unsigned char> texels;
  // Where each glass cell's quads start in the glass pass's vertex data, and how many it has.
  std::vector<unsigned> glassFirst, glassCount;
};
