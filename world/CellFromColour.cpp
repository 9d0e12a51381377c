// The map colour legend.
#include "world/CellFromColour.h"

#include "world/Palette.h"

namespace {

bool is(const mapcolour::Rgb& c, int r, int g, int b) { return c.r == r && c.g == g && c.b == b; }

}  // namespace

GridCell cellFromColour(int r, int g, int b) {
  GridCell cell;
  // The standard palette's first materials, written out: this runs once a map pixel.
  if (is(mapcolour::kWall, r, g, b)) {
    cell.setSolid();
    cell.material = Palette::kWall;
  } else if (is(mapcolour::kGlass, r, g, b)) {
    cell.setTranslucent(0.5f);
    cell.material = Palette::kGlass;
  } else if (is(mapcolour::kWarmLight, r, g, b)) {
    cell.setEmitter(350.0f, 350.0f, 150.0f);
    cell.material = Palette::kWhiteLight;
  } else if (is(mapcolour::kYellowLight, r, g, b)) {
    cell.setEmitter(350.0f, 350.0f, 0.0f);
    cell.material = Palette::kYellowLight;
  } else if (is(mapcolour::kBlueLight, r, g, b)) {
    cell.setEmitter(0.0f, 0.0f, 350.0f);
    cell.material = Palette::kBlueLight;
  } else if (is(mapcolour::kGreenMarker, r, g, b)) {
    cell.setGreenMarker();
  } else if (is(mapcolour::kRedMarker, r, g, b)) {
    cell.setRedMarker();
  }
  return cell;
}
