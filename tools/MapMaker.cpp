// quillmarsh-mapmaker: turns a text layout of a room into its 8-bit RGB map picture (PNG).
// One character per map column, the room as seen from above: the first layout line is the
// room's z = 0, the first character of a line x = 0 (the picture's bottom row is z = 0, so the
// picture is the text flipped top to bottom). Lines starting with ';' are comments. Legend in
// README.md ("The room map").
#include <IL/il.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/RoomMapFile.h"
#include "platform/FileReader.h"
#include "platform/FileWriter.h"
#include "tools/MapLegend.h"
#include "tools/ToolUsage.h"
#include "world/MapImage.h"

namespace {

// Far more than the largest map's rows (1024 of 1024 characters) with comments between them.
constexpr size_t kMaxLayoutBytes = size_t{16} << 20;

int fail(const std::string& message) {
  std::cerr << "quillmarsh-mapmaker: " << message << std::endl;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* const usage = "quillmarsh-mapmaker LAYOUT.txt MAP.png";
  if (const int status = checkToolArguments(argc, argv, usage); status >= 0) return status;
  if (argc != 3) return fail(std::string("usage: ") + usage);
  const std::string layoutFile = argv[1];
  const std::string mapFile = argv[2];

  // A regular file of bounded size, as every file the program reads: a folder, a device or a
  // pipe is refused, not read for ever.
  std::string text, error;
  if (!FileReader::read(layoutFile.c_str(), kMaxLayoutBytes, "a layout", text, error))
    return fail("cannot use \"" + layoutFile + "\": " + error);
  std::istringstream in(text);
  std::vector<std::string> rows;
  std::vector<int> lineNumbers;
  std::string line;
  int blank = 0;  // the first blank line after a row, if any
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == ';') continue;
    if (line.empty()) {
      if (!rows.empty() && blank == 0) blank = number;
      continue;
    }
    // Every line is a row of the room: a blank one inside would move the rows after it.
    if (blank != 0)
      return fail(layoutFile + ":" + std::to_string(blank) +
                  ": a blank line among the rows (a comment starts with ';')");
    rows.push_back(line);
    lineNumbers.push_back(number);
  }
  if (rows.empty()) return fail("\"" + layoutFile + "\" holds no layout rows");

  const int width = static_cast<int>(rows[0].size());
  const int height = static_cast<int>(rows.size());
  if (width > MapImage::kMaxSide || height > MapImage::kMaxSide)
    return fail("\"" + layoutFile + "\" is larger than " + std::to_string(MapImage::kMaxSide) +
                " cells on a side");

  // Picture rows bottom first: the first layout line is z = 0.
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
  for (int r = 0; r < height; ++r) {
    const std::string& text = rows[r];
    const std::string where = layoutFile + ":" + std::to_string(lineNumbers[r]);
    if (static_cast<int>(text.size()) != width)
      return fail(where + ": row has " + std::to_string(text.size()) + " cells, the first row " +
                  std::to_string(width));
    const int z = r;
    for (int x = 0; x < width; ++x) {
      mapcolour::Rgb rgb{};
      if (!maplegend::colourOf(text[x], rgb))
        return fail(where + ": unknown cell '" + std::string(1, text[x]) + "' in column " +
                    std::to_string(x + 1));
      unsigned char* p = &pixels[(static_cast<size_t>(z) * width + x) * 3];
      p[0] = static_cast<unsigned char>(rgb.r);
      p[1] = static_cast<unsigned char>(rgb.g);
      p[2] = static_cast<unsigned char>(rgb.b);
    }
  }

  ilInit();
  std::vector<unsigned char> png;
  if (!encodeRgbPng(pixels, width, height, png)) return fail("cannot encode the picture");
  // Read it back the way the program does, so a wrong row order or colour cannot slip through,
  // before the file is written: a map it replaces stays until the new one is whole.
  MapImage check;
  if (!check.decode(png.data(), png.size(), error))
    return fail("cannot read back the picture for \"" + mapFile + "\": " + error);
  if (check.width != width || check.height != height || check.pixels != pixels)
    return fail("the picture for \"" + mapFile + "\" does not read back as the layout");
  if (!FileWriter::replace(mapFile, png, error)) return fail(error);
  std::cout << "wrote " << mapFile << ": " << width << " x " << height << std::endl;
  return 0;
}
