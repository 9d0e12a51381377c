// The program's arguments `[--height N] [--max-fps N] [--stats] [MAP]`: every height from 3 to 64
// accepted and nothing beside them, the height's text plain digits only, one map and one height at most, and the
// exact refusal lines the end-to-end run expects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

CommandLine parse(std::vector<std::string> args) {
  args.insert(args.begin(), "quillmarsh");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return parseCommandLine(static_cast<int>(args.size()), argv.data());
}

std::string heightRefusal(const std::string& text) {
  return "--height takes a whole number from 3 to 64, not \"" + text + "\"";
}

}  // namespace

TEST(CommandLine, EveryHeightWithinTheLimitsIsTakenAndEveryNumberBesideThemRefused) {
  const CommandLine none = parse({});
  EXPECT_TRUE(none.refusal.empty() && none.mapFile == kShippedMapFile &&
              none.roomHeight == kRoomHeight && !none.heightGiven);
  for (int n = -2; n <= 130; ++n) {
    const std::string text = std::to_string(n);
    for (const bool mapFirst : {false, true}) {
      const CommandLine line = mapFirst ? parse({"room.png", "--height", text})
                                        : parse({"--height", text, "room.png"});
      const bool within = n >= CommandLine::kMinHeight && n <= CommandLine::kMaxHeight;
      EXPECT_EQ(line.refusal, within ? "" : heightRefusal(text)) << n;
      EXPECT_TRUE(!within || (line.roomHeight == n && line.heightGiven && line.mapFile == "room.png"))
          << n;
    }
  }
  // Leading zeros still spell the number; huge ones do not wrap round into the range.
  EXPECT_EQ(parse({"--height", "007"}).roomHeight, 7);
  EXPECT_EQ(parse({"--height", "0000000000000000000000064"}).roomHeight, 64);
  for (const std::string big : {"65", "4294967302", "18446744073709551622", "99999999999999999999999"})
    EXPECT_EQ(parse({"--height", big}).refusal, heightRefusal(big)) << big;
}

TEST(CommandLine, AHeightIsPlainDigitsAndEachOtherArgumentMistakeIsOneRefusal) {
  // Junk before, after or inside the digits, signs, spaces, other bases and the empty text.
  for (const std::string text : {"12x", "12 ", " 12", "+12", "-12", "x12", "1 2", "12.0", "1e1",
                                 "0x10", "", " ", "six", "\t8", "8\n", "--height"})
    EXPECT_EQ(parse({"--height", text}).refusal, heightRefusal(text)) << "[" << text << "]";
  const struct {
    std::vector<std::string> args;
    const char* refusal;
  } wrong[] = {
      {{"--height"}, "--height needs a number"},
      {{"a.png", "b.png"}, "unexpected argument \"b.png\""},
      {{"--height", "8", "--height", "9"}, "--height given twice"},
      {{"--stats", "a.png", "--stats"}, "--stats given twice"},
      {{"--max-fps", "30", "--max-fps", "30"}, "--max-fps given twice"},
      {{"--max-fps", "0"}, "--max-fps takes a whole number from 1 to 1000, not \"0\""},
      {{"--max-fps", "1001"}, "--max-fps takes a whole number from 1 to 1000, not \"1001\""},
      {{"--max-fps", "-5"}, "--max-fps takes a whole number from 1 to 1000, not \"-5\""},
      {{"a.png", "--max-fps"}, "--max-fps needs a number"},
      {{"--heigth", "8"}, "unexpected argument \"--heigth\""},
      {{"--height=8"}, "unexpected argument \"--height=8\""},
      {{""}, "unexpected argument \"\""},
  };
  for (const auto& w : wrong) {
    std::string all;
    for (const std::string& a : w.args) all += "[" + a + "]";
    EXPECT_EQ(parse(w.args).refusal, w.refusal) << all;
  }
  // A map name is taken as given, spaces and all; the height and --stats may come after it.
  const CommandLine line = parse({"my maps/röom 8.png", "--height", "3", "--stats", "--max-fps", "1000"});
  EXPECT_TRUE(line.refusal.empty() && line.mapFile == "my maps/röom 8.png" && line.roomHeight == 3);
  EXPECT_TRUE(line.printStats && !parse({"a.png"}).printStats);
  EXPECT_TRUE(line.maxFrameRate == 1000 && parse({"--max-fps", "1"}).maxFrameRate == 1 && parse({}).maxFrameRate == 0);
}
