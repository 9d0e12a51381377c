// Files the program writes: new numbered files that never overwrite, and saves (map pictures,
// rooms, replaced files) that leave nothing behind when the disk refuses the bytes, standing in
// for a full disk with a file size limit (its signal left as the process had it: the writer
// itself keeps it from ending the process).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/RoomMapFile.h"
#include "platform/FileWriter.h"
#include "tests/support/MapRooms.h"
#include "world/VoxRoom.h"

// The page has no file size limit to stand in for a full disk.
#ifndef __EMSCRIPTEN__
namespace {

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::set<std::string> filesUnder(const std::string& folder) {
  std::set<std::string> names;
  if (!std::filesystem::is_directory(folder)) return names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// Runs in a fresh working directory of its own, and leaves the old one as it was.
struct InTemporaryFolder {
  InTemporaryFolder() : previous(std::filesystem::current_path()) {
    dir = testing::TempDir() + "quillmarsh-writer-" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
  }
  ~InTemporaryFolder() {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path previous;
  std::string dir;
};

}  // namespace

TEST(FileWriter, NewFilesTakeTheFirstFreeNumberAndWhatCannotBeWrittenWholeLeavesNoFileBehind) {
  startImageLibrary();
  const InTemporaryFolder folder;
  std::vector<unsigned char> bytes(10000);
  std::mt19937 rng(3);
  for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
  const std::string asText(bytes.begin(), bytes.end());
  std::string error;

  // Numbered from 001, passing over a name another program holds without touching it.
  EXPECT_EQ(FileWriter::writeNew("out", "a", ".bin", bytes, error), "out/a-001.bin");
  std::ofstream("out/a-002.bin") << "held";
  EXPECT_EQ(FileWriter::writeNew("out", "a", ".bin", bytes, error), "out/a-003.bin");
  EXPECT_TRUE(contents("out/a-001.bin") == asText && contents("out/a-003.bin") == asText);
  EXPECT_EQ(contents("out/a-002.bin"), "held");
  std::ofstream("blocked") << "";  // a file where the folder would be
  EXPECT_EQ(FileWriter::writeNew("blocked", "a", ".bin", bytes, error), "");
  EXPECT_EQ(error, "cannot create a file in \"blocked\" (Not a directory)");

  // A room and a picture to save, both far over the limit below (noise does not compress).
  const BuiltRoom room(shippedMap());
  const int width = 70, height = 50;
  std::vector<unsigned char> pixels(width * height * 3);
  for (unsigned char& p : pixels) p = static_cast<unsigned char>(rng());
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string newFile = FileWriter::writeNew("out", "a", ".bin", bytes, error);
  const std::string newError = error;
  const bool replaced = FileWriter::replace("out/a-001.bin", bytes, error);
  const std::string replaceError = error;
  const std::string map = saveRoomMap(pixels, width, height, error);
  const std::string mapError = error;
  const std::string vox = saveRoomVox(room.grid, room.start, error);
  const std::string voxError = error;
  setrlimit(RLIMIT_FSIZE, &before);

  EXPECT_EQ(newFile, "");
  EXPECT_EQ(newError.rfind("cannot write \"out/a-004.bin\" (", 0), 0u) << newError;
  EXPECT_FALSE(replaced);
  EXPECT_EQ(replaceError.rfind("cannot write \"out/a-001.bin\" (", 0), 0u) << replaceError;
  EXPECT_TRUE(map.empty() && vox.empty());
  EXPECT_EQ(mapError.rfind("cannot write \"maps/room-001.png\" (", 0), 0u) << mapError;
  EXPECT_EQ(voxError.rfind("cannot write \"rooms/room-001.vox\" (", 0), 0u) << voxError;
  for (const std::string& said : {newError, replaceError, mapError, voxError})
    EXPECT_EQ(said.find('\n'), std::string::npos) << said;
  // Nothing half written stays, and a file being replaced keeps what it held.
  EXPECT_EQ(filesUnder("out"), (std::set<std::string>{"a-001.bin", "a-002.bin", "a-003.bin"}));
  EXPECT_TRUE(filesUnder("maps").empty() && filesUnder("rooms").empty());
  EXPECT_TRUE(contents("out/a-001.bin") == asText);

  // Within the limit again, the same saves take the same names, and they read back whole; a file
  // replaced keeps its mode.
  std::vector<unsigned char> other(bytes.rbegin(), bytes.rend());
  std::filesystem::permissions("out/a-001.bin", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_TRUE(FileWriter::replace("out/a-001.bin", other, error)) << error;
  EXPECT_TRUE(contents("out/a-001.bin") == std::string(other.begin(), other.end()));
  EXPECT_EQ(std::filesystem::status("out/a-001.bin").permissions(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(filesUnder("out").size(), 3u);
  EXPECT_EQ(saveRoomMap(pixels, width, height, error), "maps/room-001.png");
  MapImage image;
  ASSERT_TRUE(image.load("maps/room-001.png", error)) << error;
  EXPECT_TRUE(image.width == width && image.height == height && image.pixels == pixels);
  EXPECT_EQ(saveRoomVox(room.grid, room.start, error), "rooms/room-001.vox") << error;
}
#endif
