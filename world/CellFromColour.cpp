// The map colour legend.
#include "world/CellFromColour.h"

namespace {

bool is(const mapcolour::Rgb& c, int r, int g, int b) { return c.r == r && c.g == g && c.b == b; }

}  // namespace

GridCell cellFromColour(int r, int g, int b) {
  GridCell cell;
  if (is(mapcolour::kWall, r, g, b)) {
    cell.setSolid();
  } else if (is(mapcolour::kGlass, r, g, b)) {
    cell.setTranslucent(0.5f);
  } else if (is(mapcolour::kWarmLight, r, g, b)) {
    cell.setEmitter(350.0f, 350.0f, 150.0f);
  } else if (is(mapcolour::kYellowLight, r, g, b)) {
    cell.setEmitter(350.0f, 350.0f, 0.0f);
  } else if (is(mapcolour::kBlueLight, r, g, b)) {
    cell.setEmitter(0.0f, 0.0f, 350.0f);
  } else if (is(mapcolour::kGreenMarker, r, g, b)) {
    cell.setGreenMarker();
  } else if (is(mapcolour::kRedMarker, r, g, b)) {
    cell.setRedMarker();
  }
  return cell;
}
