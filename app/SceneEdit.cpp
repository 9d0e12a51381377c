// Scene's room editing: the pick from the camera, cell and column edits and undo with the
// visibility cast again at once (the light answers from the next step), the selected material,
// and the room saved as a map; what the user is told goes to the terminal and the screen.
#include <cassert>
#include <cmath>
#include <iostream>
#include <string>

#include "app/RoomMapFile.h"
#include "app/Scene.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/VoxRoom.h"

namespace {

int eyeColumn(float coordinate) { return static_cast<int>(std::lround(coordinate)); }

}  // namespace

void Scene::refreshPick() {
  pick = grid->allocated ? pickCell(*grid, camera.eye, camera.target - camera.eye) : CellPick();
}

void Scene::editAtPick(bool place, bool wholeColumn) {
  assert(grid != nullptr && occlusionMap != nullptr);
  refreshPick();
  if (!pick.hit) return;
  const int* c = pick.cell;
  const int* n = pick.normal;
  RoomEditor::Result result;
  if (wholeColumn) {
    result = place ? editor.fillColumn(*grid, *occlusionMap, pick.fillX(), pick.fillZ(),
                                       selectedMaterial, eyeColumn(camera.eye.x),
                                       eyeColumn(camera.eye.z))
                   : editor.clear(*grid, *occlusionMap, c[0], c[2]);
  } else {
    result = place ? editor.place(*grid, *occlusionMap, c[0] + n[0], c[1] + n[1], c[2] + n[2],
                                  selectedMaterial, camera.bodyLow(), camera.bodyHigh())
                   : editor.remove(*grid, *occlusionMap, c[0], c[1], c[2]);
  }
  if (result == RoomEditor::Result::Done) {
    occlusionMap->updateVisibility(kVisibilityRays, camera.eye, camera.target, visibleAround());
    revealVisibleColumns();
    refreshPick();
  } else if (result != RoomEditor::Result::Unchanged) {
    say(std::string("edit refused: ") + describe(result));
  }
}

void Scene::undoEdit() {
  assert(grid != nullptr && occlusionMap != nullptr);
  const RoomEditor::Result result = editor.undo(*grid, *occlusionMap);
  if (result == RoomEditor::Result::Done || result == RoomEditor::Result::Unchanged) {
    occlusionMap->updateVisibility(kVisibilityRays, camera.eye, camera.target, visibleAround());
    revealVisibleColumns();
    refreshPick();
  } else {
    say(std::string("undo refused: ") + describe(result));
  }
}

void Scene::selectMaterial(int index) {
  const Palette& palette = grid->palette();
  if (index <= 0 || index >= palette.size() || palette[index].kind == Material::Kind::Air) return;
  selectedMaterial = index;
  selectedAt = clock;
}

void Scene::selectNextMaterial(int step) {
  const int size = grid->palette().size();
  for (int i = 1; i < size; ++i) {
    const int index = ((selectedMaterial + step * i) % size + size) % size;
    if (index != 0 && grid->palette()[index].kind != Material::Kind::Air) {
      selectMaterial(index);
      return;
    }
  }
}

void Scene::selectPickedMaterial() {
  refreshPick();
  if (pick.hit) selectMaterial(grid->getCell(pick.cell[0], pick.cell[1], pick.cell[2]).material);
}

void Scene::saveRoomAsMap() {
  assert(grid != nullptr);
  // A room the map legend cannot hold whole is saved as a .vox scene, with the view as it is.
  const bool asMap = isMapRoom(*grid, mapHeight);
  std::string error, path;
  if (asMap) {
    path = saveRoomMap(roomMapPixels(*grid, eyeColumn(camera.eye.x), eyeColumn(camera.eye.z)),
                       grid->sizeX, grid->sizeZ, error);
  } else {
    StartView view;
    view.found = true;
    view.eye = camera.eye;
    view.target = camera.target;
    view.up = camera.up;
    path = saveRoomVox(*grid, view, error);
  }
  if (path.empty()) {
    const std::string line =
        std::string("Cannot save the room as ") + (asMap ? "a map: " : "a .vox scene: ") + error;
    std::cerr << line << std::endl;
    show(line);
  } else {
    say((asMap ? "map saved: " : "room saved: ") + path);
    offerSavedFile(path);
  }
}
