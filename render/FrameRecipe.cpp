// The frame recipe: the plan, the passes and what lies over the picture, in one order for every
// backend, and the vertex data each pass is handed.
#include "render/FrameRecipe.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/BlockFaces.h"
#include "world/CellPick.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"

const float FrameRecipe::kFogRange = static_cast<float>(ColorMap::kRayRange);

void FrameRecipe::render(const FrameInputs& inputs, const LightGrid& grid,
                         const FrameOverlay& overlay, RenderBackend& backend, FrameStageHook hook,
                         void* context) {
  const auto done = [hook, context](FrameStage stage) {
    if (hook != nullptr) hook(stage, context);
  };
  backend.beginFrame(inputs);
  done(FrameStage::View);
  plan(inputs, grid);
  done(FrameStage::Plan);

  PassParameters pass;
  for (int axis = 0; axis < 3; ++axis) pass.eye[axis] = inputs.eye[axis];
  pass.dimension[0] = static_cast<float>(grid.sizeX);
  pass.dimension[1] = static_cast<float>(grid.sizeY);
  pass.dimension[2] = static_cast<float>(grid.sizeZ);
  pass.fogRange = kFogRange;

  backend.beginPicture();
  backend.drawOpaque(opaqueQuads, pass);
  done(FrameStage::Opaque);
  backend.drawEmitters(emitterVertices, 0.5f * kFogRange, kFogRange);
  // The glass reads a copy of the picture behind the panes; with no glass in view nothing reads
  // it. Only what the panes can bend into view is copied, unless the copy itself is to be shown.
  const bool glass = !glassCubes.empty();
  if (glass) {
    PixelRect area = glassArea(glassVertices, inputs);
    if (inputs.debugView != 0) area = PixelRect{0, 0, inputs.width, inputs.height};
    backend.copyBehind(area);
  }
  done(FrameStage::Emitter);
  if (glass) backend.drawGlass(glassVertices, glassCubes, pass);
  done(FrameStage::Glass);

  // The debug view shows what the glass read; without glass that is the frame itself.
  if (inputs.debugView != 0 && glass) backend.showBehind();
  const ColorMap* map = overlay.visibility;
  if (map != nullptr && map->allocated && map->width > 0 && map->height > 0) {
    const size_t bytes = 3 * static_cast<size_t>(map->width) * map->height;
    if (map != overlaySource || overlayRgb.size() != bytes ||
        map->marksVersion != overlaySourceVersion) {
      // A pass changes the marks within its rays' reach: only that box is made again.
      const bool same = map == overlaySource && overlayRgb.size() == bytes;
      overlayChanged = same ? map->changedSince(overlaySourceVersion)
                            : ColumnBox::of(map->width, map->height);
      overlayRgb.resize(bytes);
      for (int y = overlayChanged.z0; y < overlayChanged.z1; ++y)
        for (int x = overlayChanged.x0; x < overlayChanged.x1; ++x) {
          const ColorMap::Pixel& mark = map->markPixel(x, y);
          unsigned char* rgb = &overlayRgb[3 * (static_cast<size_t>(y) * map->width + x)];
          rgb[0] = static_cast<unsigned char>(mark.r);
          rgb[1] = static_cast<unsigned char>(mark.g);
          rgb[2] = static_cast<unsigned char>(mark.b);
        }
      overlaySource = map;
      overlaySourceVersion = map->marksVersion;
      ++overlayGeneration;
    }
    const OverlayLayout layout(inputs.width, inputs.height, map->width, map->height);
    OverlayImage image;
    image.rgb = overlayRgb.data();
    image.width = map->width;
    image.height = map->height;
    image.version = overlayGeneration;
    const int changed[4] = {overlayChanged.x0, overlayChanged.z0, overlayChanged.x1,
                            overlayChanged.z1};
    std::copy(changed, changed + 4, image.changed);
    image.left = layout.columnX(0);
    image.right = image.left + layout.width();
    image.bottom = layout.columnY(map->height - 1);
    image.top = image.bottom + layout.height();
    backend.drawOverlay(image);
  }
  if (overlay.pick != nullptr && overlay.pick->hit) {
    outlineLines(*overlay.pick, inputs.eye, outline);
    const unsigned char grey[3] = {kOutlineGrey, kOutlineGrey, kOutlineGrey};
    if (!outline.empty()) backend.drawWorldLines(outline, grey, 2.0f);
  }
  if (!overlay.screen.empty()) backend.drawScreen(overlay.screen);
  done(FrameStage::Present);
}

void FrameRecipe::plan(const FrameInputs& inputs, const LightGrid& grid) {
  frustum.extractFrom(inputs.projection, inputs.view);
  FramePlan::build(grid, frustum, inputs.eye, opaqueBlocks, emitterCells, glassCells,
                   inputs.columns);
  FramePlan::joinFaces(opaqueBlocks, opaqueRuns);
  nearToFar(opaqueRuns, inputs.eye);
  runQuads(opaqueRuns, opaqueQuads);
  FramePlan::emitterVertices(emitterCells, grid, inputs.eye, emitterVertices);
  glassQuads(glassCells, grid, glassVertices, glassCubes);
}

void FrameRecipe::newRoom() {
  overlaySource = nullptr;
  overlaySourceVersion = -1;
}

long FrameRecipe::cellsDrawn() const {
  return static_cast<long>(opaqueBlocks.size() + emitterCells.size() + glassCells.size());
}

void FrameRecipe::runQuads(const std::vector<FaceRun>& runs, std::vector<BlockVertex>& out) {
  out.clear();
  float corners[4][3];
  float texCoords[4][2];
  for (const FaceRun& run : runs) {
    FramePlan::runQuad(run, corners, texCoords);
    const int* normal = kBlockFaces[run.face].normal;
    for (int v = 0; v < 4; ++v) {
      BlockVertex vertex{};
      for (int axis = 0; axis < 3; ++axis) {
        vertex.position[axis] = corners[v][axis];
        vertex.normal[axis] = static_cast<float>(normal[axis]);
        vertex.colour[axis] = static_cast<unsigned char>(run.colour >> (16 - 8 * axis));
      }
      vertex.texCoord[0] = texCoords[v][0];
      vertex.texCoord[1] = texCoords[v][1];
      out.push_back(vertex);
    }
  }
}

void FrameRecipe::glassQuads(const std::vector<GlassCell>& cells, const LightGrid& grid,
                             std::vector<BlockVertex>& quads, std::vector<GlassCube>& cubes) {
  quads.clear();
  cubes.clear();
  for (const GlassCell& glass : cells) {
    const float centre[3] = {static_cast<float>(glass.x), static_cast<float>(glass.y),
                             static_cast<float>(glass.z)};
    // Half edge towards minus and plus per axis, from the side each face of the table lies on.
    float extent[3][2] = {};
    for (const BlockFace& face : kBlockFaces)
      for (int axis = 0; axis < 3; ++axis)
        if (face.normal[axis] != 0)
          extent[axis][face.normal[axis] > 0] = (glass.reach & face.bit) != 0
                                                     ? FramePlan::kBlockHalfSize
                                                     : FramePlan::kGlassHalfSize;
    GlassCube cube;
    cube.firstQuad = static_cast<unsigned>(quads.size() / 4);
    for (int axis = 0; axis < 3; ++axis) cube.centre[axis] = centre[axis];
    const GridCell cell = grid.getCell(glass.x, glass.y, glass.z);
    cube.alpha = std::min(1.0f, kGlassAlphaPerOpacity * cell.opacity);
    const Material& material = grid.palette()[cell.material];
    for (int k = 0; k < 3; ++k) cube.tint[k] = material.transmits(k);
    for (const BlockFace& face : kBlockFaces) {
      if ((glass.faces & face.bit) == 0) continue;
      ++cube.quadCount;
      for (int v = 0; v < 4; ++v) {
        BlockVertex vertex{};
        for (int axis = 0; axis < 3; ++axis) {
          vertex.position[axis] = centre[axis] + (face.corners[v][axis] > 0 ? extent[axis][1]
                                                                           : -extent[axis][0]);
          vertex.normal[axis] = static_cast<float>(face.normal[axis]);
        }
        vertex.texCoord[0] = face.texCoords[v][0];
        vertex.texCoord[1] = face.texCoords[v][1];
        for (unsigned char& c : vertex.colour) c = 255;
        quads.push_back(vertex);
      }
    }
    cubes.push_back(cube);
  }
}

void FrameRecipe::outlineLines(const CellPick& pick, const float eye[3], std::vector<float>& out) {
  out.clear();
  if (!pick.hit) return;
  const float h = kOutlineHalfSize;
  const float centre[3] = {static_cast<float>(pick.cell[0]), static_cast<float>(pick.cell[1]),
                           static_cast<float>(pick.cell[2])};
  // A floor or ceiling cell shows only the face the ray met; its sides lie inside the slab.
  const bool faceOnly = pick.normal[1] != 0;
  for (const BlockFace& face : kBlockFaces) {
    if (faceOnly && face.normal[1] != pick.normal[1]) continue;
    float facing = 0.0f;
    for (int axis = 0; axis < 3; ++axis)
      facing += (eye[axis] - (centre[axis] + h * static_cast<float>(face.normal[axis]))) *
                static_cast<float>(face.normal[axis]);
    if (facing <= 0.0f) continue;
    for (int v = 0; v < 4; ++v)
      for (const int corner : {v, (v + 1) % 4})
        for (int axis = 0; axis < 3; ++axis)
          out.push_back(centre[axis] + h * static_cast<float>(face.corners[corner][axis]));
  }
}

PixelRect FrameRecipe::glassArea(const std::vector<BlockVertex>& quads, const FrameInputs& inputs) {
  PixelRect whole;
  whole.x1 = inputs.width, whole.y1 = inputs.height;
  float lo[2] = {1.0f, 1.0f}, hi[2] = {-1.0f, -1.0f};  // normalised device x and y
  for (const BlockVertex& v : quads) {
    float eyeSpace[4], clip[4];
    for (int r = 0; r < 4; ++r) {
      eyeSpace[r] = inputs.view[12 + r];
      for (int c = 0; c < 3; ++c) eyeSpace[r] += inputs.view[4 * c + r] * v.position[c];
    }
    for (int r = 0; r < 4; ++r) {
      clip[r] = 0.0f;
      for (int c = 0; c < 4; ++c) clip[r] += inputs.projection[4 * c + r] * eyeSpace[c];
    }
    // A corner at or behind the near plane projects nowhere useful: its edges may cross the
    // whole window.
    if (clip[3] <= static_cast<float>(FrameInputs::kNear)) return whole;
    for (int a = 0; a < 2; ++a) {
      lo[a] = std::min(lo[a], clip[a] / clip[3]);
      hi[a] = std::max(hi[a], clip[a] / clip[3]);
    }
  }
  if (lo[0] > hi[0]) return PixelRect();
  const int size[2] = {inputs.width, inputs.height};
  int out[4];
  for (int a = 0; a < 2; ++a) {
    const float margin = kRefractionReach * static_cast<float>(size[a]) + 1.0f;
    const float from = (lo[a] + 1.0f) * 0.5f * static_cast<float>(size[a]) - margin;
    const float to = (hi[a] + 1.0f) * 0.5f * static_cast<float>(size[a]) + margin;
    out[a] = std::max(0, static_cast<int>(std::floor(std::max(from, -1.0f))));
    out[a + 2] = std::min(size[a], static_cast<int>(std::ceil(std::min(to, size[a] + 1.0f))));
  }
  PixelRect area;
  area.x0 = out[0], area.y0 = out[1], area.x1 = out[2], area.y1 = out[3];
  return area;
}

void FrameRecipe::nearToFar(std::vector<FaceRun>& runs, const float eye[3]) {
  std::vector<std::pair<float, std::size_t>> order(runs.size());
  float corners[4][3], texCoords[4][2];
  for (std::size_t r = 0; r < runs.size(); ++r) {
    FramePlan::runQuad(runs[r], corners, texCoords);
    // The squared distance from the eye to the nearest point of the quad (an axis-aligned
    // rectangle): the eye clamped into its corners' box.
    float distance = 0.0f;
    for (int a = 0; a < 3; ++a) {
      float lo = corners[0][a], hi = corners[0][a];
      for (int v = 1; v < 4; ++v) lo = std::min(lo, corners[v][a]), hi = std::max(hi, corners[v][a]);
      const float d = eye[a] - std::clamp(eye[a], lo, hi);
      distance += d * d;
    }
    order[r] = {distance, r};
  }
  std::sort(order.begin(), order.end());
  std::vector<FaceRun> sorted(runs.size());
  for (std::size_t r = 0; r < runs.size(); ++r) sorted[r] = runs[order[r].second];
  runs.swap(sorted);
}
