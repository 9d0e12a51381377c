// The shipped room for the tools, built as the program builds it but without GL. Files are read
// relative to the working directory, as the program reads them; `--root DIR` moves there first.
#pragma once

class ColorMap;
class FlyCamera;
class LightGrid;

namespace shippedroom {

// The map and room height the program starts with.
constexpr const char* kMapFile = "media/textures/maps/testmap.png";
constexpr int kRoomHeight = 6;

// Takes "--root DIR" out of the arguments and makes DIR the working directory. False, with a
// message on standard error, when DIR cannot be entered.
bool enterRoot(int& argc, char** argv);

// Starts DevIL, reads the map (a map that cannot be used ends the process as in the program),
// sizes the top-down map and the grid, builds the room and places the camera at its start view:
// the steps Scene::buildWorld takes after its render set-up.
void build(LightGrid& grid, ColorMap& map, FlyCamera& camera);

}  // namespace shippedroom
