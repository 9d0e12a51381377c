// The browser backend's GPU side on WebGL 2: light volume, tiles, the two colour targets with one
// depth buffer, programs from the desktop's files, and the frame: the render state's frame plan
// replayed through the desktop's passes in their order. Pixels; world units for geometry.
#pragma once

#include <string>
#include <vector>

struct CellPick;
class LightGrid;
class ViewCamera;
struct RenderState;

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
  void uploadLight(LightGrid& grid, bool cpuPath);
  // Gives the colour targets and their depth buffer the canvas's size.
  void resize(int width, int height);
  // Plans the frame into the render state from the camera, draws the passes and shows the
  // finished target (or the frame without glass when `debugView` is 1). Each pass binds the
  // framebuffer, program, buffers and textures it uses; between passes the depth test is on
  // (GL_LESS), blending off, no vertex attribute array enabled and the canvas's framebuffer
  // bound.
  void drawFrame(RenderState& state, const LightGrid& grid, const ViewCamera& camera,
                 int debugView);

  // The picked cell's faces turned to the eye as lines over the shown frame (after drawFrame).
  void drawOutline(const CellPick& pick, const ViewCamera& camera);

  int width = 0, height = 0;

 private:
  void planFrame(RenderState& state, const LightGrid& grid, const float eye[3]);
  void drawOpaquePass(RenderState& state, const float eye[3], const float dimension[3]);
  void drawEmitterPass(RenderState& state, const LightGrid& grid, const float eye[3]);
  void drawGlassPass(RenderState& state, const LightGrid& grid, const float eye[3],
                     const float dimension[3]);
  void present(const RenderState& state, int debugView);
  // Binds the quad indices for `quads` quads of four vertices each, growing them as needed.
  void bindQuadIndices(size_t quads);
  // Sends `vertices` (block layout: position, normal, texture coordinate) to the vertex buffer,
  // enables attributes 0 to 2 for them and binds the quad indices; returns the quad count.
  size_t sendBlockVertices();
  // Sets the matrices of a program translated from a desktop file.
  void setMatrices(unsigned program);

  bool ready = false;
  unsigned blockProgram = 0, glassProgram = 0, emitterProgram = 0, presentProgram = 0,
           sliceProgram = 0, lineProgram = 0;
  unsigned tileTex = 0, glassTileTex = 0, lightVolumeTex = 0;
  int volumeSize[3] = {0, 0, 0};
  unsigned targets[2] = {0, 0};
  unsigned depthBuffer = 0, framebuffer = 0, copyFramebuffer = 0, volumeFramebuffer = 0;
  unsigned vertexArray = 0, vertexBuffer = 0, indexBuffer = 0;
  size_t indexQuads = 0;
  float projection[16] = {};
  float modelView[16] = {};
  std::vector<float> vertices;
  // Where each glass cell's quads start in the glass pass's vertex data, and how many it has.
  std::vector<unsigned> glassFirst, glassCount;
};
