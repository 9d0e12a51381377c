// Map decoding: row order, conversion of other layouts to 8-bit RGB (the same room as the RGB
// map), and refusal of files that are missing, damaged, of another format or too large (one line
// on standard error, status 1).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/FlyCamera.h"
#include "tests/unit/TestImages.h"
#include "world/ColorMap.h"
#include "world/LightGrid.h"
#include "world/MapImage.h"
#include "world/WorldBuilder.h"

namespace {

// A 3 x 2 picture as seen, top row first: wall, glass, green marker / blue light, air, red.
const unsigned char kTopRow[9] = {0, 0, 0, 128, 128, 128, 0, 255, 0};
const unsigned char kBottomRow[9] = {0, 0, 255, 255, 255, 255, 255, 0, 0};

// The decoded order: bottom row first.
std::vector<unsigned char> expectedPixels() {
  std::vector<unsigned char> p(18);
  for (int i = 0; i < 9; ++i) {
    p[i] = kBottomRow[i];
    p[9 + i] = kTopRow[i];
  }
  return p;
}

class MapImageFiles : public ::testing::Test {
 protected:
  void SetUp() override { startImageLibrary(); }

  MapImage load(const std::string& path) {
    MapImage image;
    std::string error;
    EXPECT_TRUE(image.load(path.c_str(), error)) << path << ": " << error;
    return image;
  }

  ScratchDir dir;
};

}  // namespace

TEST_F(MapImageFiles, BottomRowOfThePictureComesFirst) {
  // PNG stores the top row first, so the order here is as the picture is seen.
  std::vector<unsigned char> seen(kTopRow, kTopRow + 9);
  seen.insert(seen.end(), kBottomRow, kBottomRow + 9);
  ASSERT_TRUE(writeBytes(dir.file("map.png"), png::rgb8(3, 2, seen)));
  const MapImage image = load(dir.file("map.png"));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pixels, expectedPixels());
  EXPECT_EQ(image.pixel(2, 0)[0], 255);
  EXPECT_EQ(image.pixel(2, 1)[1], 255);
}

namespace {

bool sameCell(const GridCell& a, const GridCell& b) {
  bool same = a.emitter == b.emitter && a.greenMarker == b.greenMarker &&
              a.redMarker == b.redMarker && a.opacity == b.opacity && a.hidden == b.hidden;
  for (int k = 0; k < 3; ++k) same = same && a.emission[k] == b.emission[k] && a.light[k] == b.light[k];
  return same;
}

// The room a decoded map builds: every cell of the current buffer, the base raster, the camera.
struct BuiltRoom {
  explicit BuiltRoom(const MapImage& image) {
    testing::internal::CaptureStdout();
    map.resize(image.width, image.height);
    testing::internal::GetCapturedStdout();
    grid.resize(image.width, 6, image.height);
    camera.reset();
    buildWorldFromPixels(image.pixels.data(), image.width, image.height, grid, map, camera);
  }
  // Empty when the rooms agree, else the first difference.
  std::string differenceFrom(const BuiltRoom& other) const {
    if (grid.sizeX != other.grid.sizeX || grid.sizeZ != other.grid.sizeZ) return "size";
    for (int z = 0; z < grid.sizeZ; ++z)
      for (int y = 0; y < grid.sizeY; ++y)
        for (int x = 0; x < grid.sizeX; ++x)
          if (!sameCell(grid.getCell(x, y, z), other.grid.getCell(x, y, z)))
            return "cell " + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z);
    for (int i = 0; i < map.width * map.height; ++i)
      if (map.base[i] != other.map.base[i]) return "base " + std::to_string(i);
    if (!(camera.position() == other.camera.position())) return "camera";
    return "";
  }
  LightGrid grid;
  ColorMap map;
  FlyCamera camera;
};

// Colour type and bit depth from a PNG file's IHDR, so that a test knows what it wrote.
std::pair<int, int> pngLayout(const std::string& path) {
  const std::string bytes = readBytes(path);
  if (bytes.size() < 26) return {-1, -1};
  return {static_cast<unsigned char>(bytes[25]), static_cast<unsigned char>(bytes[24])};
}

}  // namespace

TEST_F(MapImageFiles, PaletteAlphaAndSixteenBitPngsBuildTheShippedRoom) {
  const MapImage shipped = load(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png");
  ASSERT_EQ(pngLayout(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png"),
            std::make_pair(2, 8));
  const int w = shipped.width, h = shipped.height;
  const std::vector<unsigned char>& rgb = shipped.pixels;

  std::vector<unsigned char> rgba, palette, indices;
  std::vector<unsigned short> wide;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgba.insert(rgba.end(), rgb.begin() + i, rgb.begin() + i + 3);
    rgba.push_back(static_cast<unsigned char>(255 - i % 7));
    size_t entry = 0;
    while (entry < palette.size() && !std::equal(rgb.begin() + i, rgb.begin() + i + 3,
                                                 palette.begin() + entry))
      entry += 3;
    if (entry == palette.size()) palette.insert(palette.end(), rgb.begin() + i, rgb.begin() + i + 3);
    indices.push_back(static_cast<unsigned char>(entry / 3));
  }
  for (unsigned char v : rgb) wide.push_back(static_cast<unsigned short>(v * 257));
  ASSERT_LE(palette.size(), 256u * 3);
  ASSERT_TRUE(saveImage(dir.file("rgba.png"), w, h, 4, IL_RGBA, IL_UNSIGNED_BYTE, rgba.data()));
  ASSERT_TRUE(saveImage(dir.file("palette.png"), w, h, 1, IL_COLOUR_INDEX, IL_UNSIGNED_BYTE,
                        indices.data(), palette));
  ASSERT_TRUE(saveImage(dir.file("rgb16.png"), w, h, 3, IL_RGB, IL_UNSIGNED_SHORT, wide.data()));

  const BuiltRoom reference(shipped);
  const struct {
    const char* name;
    std::pair<int, int> layout;  // colour type, bit depth
  } cases[] = {{"rgba.png", {6, 8}}, {"palette.png", {3, 8}}, {"rgb16.png", {2, 16}}};
  for (const auto& c : cases) {
    EXPECT_EQ(pngLayout(dir.file(c.name)), c.layout) << c.name;
    const MapImage image = load(dir.file(c.name));
    EXPECT_EQ(image.pixels, rgb) << c.name;
    EXPECT_EQ(BuiltRoom(image).differenceFrom(reference), "") << c.name;
  }
}

TEST_F(MapImageFiles, GreyPngBuildsTheSameRoomAsItsRgbTwin) {
  // The shipped room with only the colours a grey picture can hold: wall, glass and air.
  MapImage rgbTwin = load(QUILLMARSH_SOURCE_DIR "/media/textures/maps/testmap.png");
  std::vector<unsigned char> grey;
  for (size_t i = 0; i < rgbTwin.pixels.size(); i += 3) {
    unsigned char v = rgbTwin.pixels[i];
    if (v != 0 && v != 128) v = 255;
    if (rgbTwin.pixels[i + 1] != v || rgbTwin.pixels[i + 2] != v) v = 255;
    grey.push_back(v);
    for (int k = 0; k < 3; ++k) rgbTwin.pixels[i + k] = v;
  }
  ASSERT_TRUE(saveImage(dir.file("grey.png"), rgbTwin.width, rgbTwin.height, 1, IL_LUMINANCE,
                        IL_UNSIGNED_BYTE, grey.data()));
  EXPECT_EQ(pngLayout(dir.file("grey.png")).first, 0);
  const MapImage image = load(dir.file("grey.png"));
  EXPECT_EQ(image.pixels, rgbTwin.pixels);
  const BuiltRoom fromGrey(image), fromRgb(rgbTwin);
  EXPECT_EQ(fromGrey.differenceFrom(fromRgb), "");
  // The twin still has walls and glass: the comparison covers more than air.
  EXPECT_NE(std::count(grey.begin(), grey.end(), 0), 0);
  EXPECT_NE(std::count(grey.begin(), grey.end(), 128), 0);
}

TEST_F(MapImageFiles, JpegMapsDecodeUpright) {
  // 16 x 16: a black 8 x 8 block in the picture's bottom-left corner, white elsewhere, so the
  // lossy coding keeps each block near exact. saveImage takes the bottom row first.
  std::vector<unsigned char> rgb(16 * 16 * 3, 255);
  for (int row = 0; row < 8; ++row)
    for (int x = 0; x < 8; ++x)
      for (int k = 0; k < 3; ++k) rgb[(row * 16 + x) * 3 + k] = 0;
  ASSERT_TRUE(saveImage(dir.file("map.jpg"), 16, 16, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data(), {},
                        IL_JPG));
  ASSERT_EQ(readBytes(dir.file("map.jpg")).substr(0, 3), "\xff\xd8\xff");
  const MapImage image = load(dir.file("map.jpg"));
  ASSERT_EQ(image.width, 16);
  ASSERT_EQ(image.height, 16);
  EXPECT_LE(image.pixel(3, 3)[0], 8);     // bottom left: z = 3
  EXPECT_GE(image.pixel(12, 3)[1], 247);  // bottom right
  EXPECT_GE(image.pixel(3, 12)[2], 247);  // top left
}

TEST_F(MapImageFiles, SidesUpToTheLimitAreAccepted) {
  std::vector<unsigned char> pixels(MapImage::kMaxSide * 3, 255);
  ASSERT_TRUE(saveImage(dir.file("tall.png"), 1, MapImage::kMaxSide, 3, IL_RGB, IL_UNSIGNED_BYTE,
                        pixels.data()));
  EXPECT_EQ(load(dir.file("tall.png")).height, MapImage::kMaxSide);
}

TEST_F(MapImageFiles, LargerMapsAreRefusedWithTheirSize) {
  const int side = MapImage::kMaxSide + 1;
  std::vector<unsigned char> pixels(side * 2 * 3, 255);
  ASSERT_TRUE(saveImage(dir.file("wide.png"), side, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()));
  MapImage image;
  std::string error;
  EXPECT_FALSE(image.load(dir.file("wide.png").c_str(), error));
  EXPECT_NE(error.find("257 x 2"), std::string::npos) << error;
  EXPECT_EQ(image.width, 0);
  EXPECT_TRUE(image.pixels.empty());
}

TEST_F(MapImageFiles, UnreadableFilesGiveACause) {
  ASSERT_TRUE(writeBytes(dir.file("damaged.png"), "\x89PNG\r\n\x1a\nthis is no picture"));
  ASSERT_TRUE(writeBytes(dir.file("empty.png"), ""));
  for (const char* name : {"missing.png", "damaged.png", "empty.png", "."}) {
    MapImage image;
    std::string error;
    const std::string path = std::string(name) == "." ? dir.file("") : dir.file(name);
    EXPECT_FALSE(image.load(path.c_str(), error)) << name;
    EXPECT_FALSE(error.empty()) << name;
    EXPECT_EQ(image.width, 0) << name;
  }
}

TEST_F(MapImageFiles, OtherFormatsNamedPngAreRefusedNamingTheirFormat) {
  const std::vector<unsigned char> rgb = expectedPixels();
  ASSERT_TRUE(saveImage(dir.file("bmp.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data(), {},
                        IL_BMP));
  ASSERT_TRUE(writeBytes(dir.file("gif.png"),
                         std::string("GIF89a\x03\0\x02\0\x80\0\0\0\0\0\xff\xff\xff;", 20)));
  ASSERT_TRUE(writeBytes(dir.file("pnm.png"), "P6\n3 2\n255\n" + std::string(18, '\x80')));
  ASSERT_TRUE(writeBytes(dir.file("text.png"), "wall wall glass\nair air light\n"));
  const struct {
    const char* name;
    const char* cause;
  } cases[] = {{"bmp.png", "it is a BMP image; a map must be PNG or JPEG"},
               {"gif.png", "it is a GIF image; a map must be PNG or JPEG"},
               {"pnm.png", "it is a PNM (PBM, PGM, PPM or PAM) image; a map must be PNG or JPEG"},
               {"text.png", "it is not a PNG or JPEG image"}};
  for (const auto& c : cases) {
    MapImage image;
    std::string error;
    EXPECT_FALSE(image.load(dir.file(c.name).c_str(), error)) << c.name;
    EXPECT_EQ(error, c.cause) << c.name;
  }
}

TEST_F(MapImageFiles, HeadersThatPromiseTooMuchAreRefusedBeforeDecoding) {
  // Whole streams whose image data would not fill the size they announce: DevIL would allocate
  // for the header's size first. The size in the message comes from the header check alone.
  const std::string hugePng = png::signature() + png::ihdr(100000, 100000, 8, 2) +
                              png::chunk("IDAT", png::zlibStored(std::string(301, '\0'))) +
                              png::chunk("IEND", "");
  std::string hugeJpeg = std::string("\xff\xd8", 2);
  hugeJpeg += std::string("\xff\xc0\x00\x11\x08\xea\x60\xea\x60\x03\x01\x11\x00\x02\x11\x00\x03\x11\x00", 19);
  hugeJpeg += std::string("\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00\x00\xff\xd9", 17);
  const struct {
    const std::string& bytes;
    const char* cause;
  } cases[] = {{hugePng, "it is 100000 x 100000 pixels"}, {hugeJpeg, "it is 60000 x 60000 pixels"}};
  for (const auto& c : cases) {
    MapImage image;
    std::string error;
    EXPECT_FALSE(image.decode(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                              c.bytes.size(), error));
    EXPECT_EQ(error.find(c.cause), 0u) << error;
    EXPECT_TRUE(image.pixels.empty());
  }
}

TEST_F(MapImageFiles, EveryCutOfAMapIsRefusedOrDecodesToItsHeadersSize) {
  const std::vector<unsigned char> rgb = expectedPixels();
  ASSERT_TRUE(saveImage(dir.file("map.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data()));
  ASSERT_TRUE(saveImage(dir.file("map.jpg"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data(), {},
                        IL_JPG));
  const std::string pngBytes = readBytes(dir.file("map.png"));
  for (size_t n = 0; n < pngBytes.size(); ++n) {
    MapImage image;
    std::string error;
    EXPECT_FALSE(image.decode(reinterpret_cast<const unsigned char*>(pngBytes.data()), n, error))
        << n;
    EXPECT_FALSE(error.empty()) << n;
  }
  // JPEG data cut inside the scan decodes with the missing blocks filled in, as libjpeg does.
  const std::string jpegBytes = readBytes(dir.file("map.jpg"));
  for (size_t n = 0; n < jpegBytes.size(); ++n) {
    MapImage image;
    std::string error;
    if (image.decode(reinterpret_cast<const unsigned char*>(jpegBytes.data()), n, error)) {
      EXPECT_EQ(image.width, 3) << n;
      EXPECT_EQ(image.pixels.size(), 18u) << n;
    } else {
      EXPECT_FALSE(error.empty()) << n;
    }
  }
}

TEST_F(MapImageFiles, FilesFarLargerThanAnyMapAreNotRead) {
  const std::string path = dir.file("large.png");
  ASSERT_TRUE(writeBytes(path, png::rgb8(1, 1, {255, 255, 255})));
  ASSERT_EQ(truncate(path.c_str(), MapImage::kMaxFileBytes + 1), 0);
  MapImage image;
  std::string error;
  EXPECT_FALSE(image.load(path.c_str(), error));
  EXPECT_EQ(error, "it is 16777217 bytes; a map file is at most 16777216 bytes");
}

TEST_F(MapImageFiles, AFailedLoadLeavesTheLibraryUsable) {
  MapImage image;
  std::string error;
  EXPECT_FALSE(image.load(dir.file("missing.png").c_str(), error));
  const std::vector<unsigned char> rgb = expectedPixels();
  ASSERT_TRUE(saveImage(dir.file("rgb.png"), 3, 2, 3, IL_RGB, IL_UNSIGNED_BYTE, rgb.data()));
  EXPECT_EQ(load(dir.file("rgb.png")).pixels, rgb);
}

using MapImageDeathTest = MapImageFiles;

TEST_F(MapImageDeathTest, MissingDamagedOrOversizedMapEndsWithOneLineNamingIt) {
  ASSERT_TRUE(writeBytes(dir.file("damaged.png"), "\x89PNG\r\n\x1a\nIHDR garbage"));
  std::vector<unsigned char> pixels(300 * 3, 0);
  ASSERT_TRUE(saveImage(dir.file("huge.png"), 1, 300, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data()));
  const struct {
    const char* file;
    const char* cause;  // a pattern for the rest of the line
  } cases[] = {{"missing.png", "No such file or directory"},
               {"damaged.png", "[^\n]+"},
               {"huge.png", "it is 1 x 300 pixels[^\n]*"}};
  for (const auto& c : cases) {
    const std::string path = dir.file(c.file);
    std::string name = c.file;
    name.insert(name.find('.'), "\\");
    EXPECT_EXIT(MapImage().loadOrExit(path.c_str()), ::testing::ExitedWithCode(1),
                "^quillmarsh: cannot use map \"[^\"\n]*/" + name + "\": " + c.cause + "\n$")
        << c.file;
  }
}
