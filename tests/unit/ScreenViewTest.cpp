// What is drawn over the frame, laid out for windows from the smallest supported up: every item
// inside the window, every line of text inside its box, the boxes apart from one another, the
// key card's pages holding every key line once and in order, the status line wrapped whole; the
// controls' pure rules: mouse drags against clicks, the one key list that README.md's key table
// must show (the strength steps: SceneUpdateTest.cpp).
#include "app/ScreenView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/MouseDrag.h"

namespace {

struct Box {
  int x0, y0, x1, y1;
  bool contains(const Box& o) const { return o.x0 >= x0 && o.x1 <= x1 && o.y0 >= y0 && o.y1 <= y1; }
  bool overlaps(const Box& o) const { return o.x0 < x1 && x0 < o.x1 && o.y0 < y1 && y0 < o.y1; }
};

// A text item's cell box: its characters' advance, from 3 pixels under the baseline to the
// line's height above it.
Box extent(const ScreenItem& item) {
  const ScreenFont& font = kScreenFonts[static_cast<int>(item.font)];
  return {item.x0, item.y0 - 3, item.x0 + static_cast<int>(item.text.size()) * font.charWidth,
          item.y0 + font.lineHeight - 3};
}

std::vector<std::string> words(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    for (std::string w; in >> w;) out.push_back(w);
  }
  return out;
}

const char* const kLongStatus =
    "143.2 fps  7.0 ms  50 steps/s  strength 1.150 (ceiling)  upload slices  cells 123456  "
    "eye (250, 62, 251)  fill yellow light";

// The text boxes (alpha under 255) in drawing order, each with the text lines inside it.
struct Laid {
  std::vector<Box> boxes;
  std::vector<std::vector<std::string>> texts;
};

Laid check(const ScreenState& state) {
  const std::vector<ScreenItem> items = ScreenView::layout(state);
  const Box window{0, 0, state.width, state.height};
  const std::string where = std::to_string(state.width) + "x" + std::to_string(state.height);
  Laid laid;
  for (const ScreenItem& item : items) {
    if (item.kind == ScreenItem::Kind::Box && item.rgba[3] < 255) {
      laid.boxes.push_back({item.x0, item.y0, item.x1, item.y1});
      laid.texts.emplace_back();
      EXPECT_TRUE(window.contains(laid.boxes.back())) << where;
    } else if (item.kind == ScreenItem::Kind::Text) {
      EXPECT_TRUE(!laid.boxes.empty() && laid.boxes.back().contains(extent(item))) << where << " \"" << item.text << "\"";
      if (!laid.boxes.empty()) laid.texts.back().push_back(item.text);
    } else {  // the crosshair's arms, the swatch and its frame
      EXPECT_TRUE(window.contains({item.x0, item.y0, item.x0, item.y0}) &&
                  window.contains({item.x1, item.y1, item.x1, item.y1})) << where;
    }
  }
  for (size_t a = 0; a < laid.boxes.size(); ++a)
    for (size_t b = a + 1; b < laid.boxes.size(); ++b)
      EXPECT_FALSE(laid.boxes[a].overlaps(laid.boxes[b])) << where << ": box " << a << " and box " << b;
  return laid;
}

const int kSizes[][2] = {{320, 240}, {321, 243}, {400, 300}, {640, 480}, {1024, 800}, {1920, 1080}};

}  // namespace

// For the desktop's keys and the page's (which leaves out those the browser keeps).
TEST(ScreenView, TheKeyCardsPagesHoldEveryKeyLineOnceInOrderAndFitBesideTheStatusLine) {
  for (const auto keys : {controls::KeySet::Desktop, controls::KeySet::Page})
  for (const bool status : {false, true}) {
    for (const auto& size : kSizes) {
      ScreenState state;
      state.width = size[0], state.height = size[1], state.keys = keys;
      if (status) state.status = kLongStatus;
      const int pages = ScreenView::keyCardPages(state);
      ASSERT_TRUE(pages >= 1 && (size[1] < 800 || pages == 1)) << "a full-sized window shows the card whole";
      std::vector<std::string> cardLines;
      for (int page = 0; page < pages; ++page) {
        state.keyCardPage = page;
        const Laid laid = check(state);
        ASSERT_EQ(laid.boxes.size(), status ? 2u : 1u);
        const std::vector<std::string>& lines = laid.texts[0];
        ASSERT_GE(lines.size(), 3u) << "a heading, a blank line and at least one key";
        EXPECT_NE(lines[0].find(page + 1 == pages ? "hide" : "next"), std::string::npos) << lines[0];
        cardLines.insert(cardLines.end(), lines.begin() + 2, lines.end());
      }
      EXPECT_EQ(words(cardLines), words(controls::keyLines(keys))) << size[0] << "x" << size[1];
      // A page past the last shows the last one.
      state.keyCardPage = pages + 3;
      check(state);
    }
  }
}

TEST(ScreenView, SwatchAtTheCentreAndItsNameHintStatusAndMessagesApartSayingTheirWholeText) {
  ScreenState state;
  state.width = 641, state.height = 480;
  state.swatch[0] = 255, state.swatch[1] = 200, state.swatch[2] = 0;
  const std::vector<ScreenItem> items = ScreenView::layout(state);
  EXPECT_EQ(items.size(), 6u) << "the crosshair's four arms and the swatch in its frame, nothing else";
  const auto swatch = std::find_if(items.begin(), items.end(), [](const ScreenItem& item) {
    return item.kind == ScreenItem::Kind::Box && item.rgba[0] == 255 && item.rgba[1] == 200;
  });
  ASSERT_NE(swatch, items.end());
  EXPECT_TRUE(swatch->x0 + swatch->x1 == 640 && swatch->y0 + swatch->y1 == 480);
  // The selection's name (in its own box where it has room, never over the key card), hint,
  // status band and messages say their whole text apart: the band spans the top edge, the
  // messages stand above the hint.
  state.swatchName = "red glass";
  for (const auto& size : kSizes) {
    state.width = size[0], state.height = size[1];
    state.hintVisible = true, state.status = kLongStatus;
    state.messages = {"map saved: maps/room-001.png"};  // two where the name has room beside them
    if (size[1] >= 480) state.messages.insert(state.messages.begin(), "edit refused: the column you stand in stays open");
    const Laid laid = check(state);
    const bool shown = laid.texts[0] == std::vector<std::string>{"red glass"};
    EXPECT_EQ(shown, size[1] >= 300) << size[0] << "x" << size[1] << ": the smallest have no room";
    ASSERT_EQ(laid.boxes.size(), shown + 3u);
    const Box *hint = &laid.boxes[shown], *band = hint + 1, *messages = hint + 2;
    EXPECT_EQ(words(laid.texts[shown]), words({ScreenView::kHint}));
    EXPECT_EQ(words(laid.texts[shown + 1]), words({kLongStatus}));
    EXPECT_EQ(words(laid.texts[shown + 2]), words(state.messages));
    EXPECT_TRUE(band->y1 == size[1] && band->x1 - band->x0 == size[0] && messages->y0 > hint->y1);
    EXPECT_EQ(ScreenView::statusBandHeight(kLongStatus, size[0]), band->y1 - band->y0);
    state.keyCardPage = 0;
    for (const ScreenItem& item : ScreenView::layout(state)) EXPECT_NE(item.text, "red glass");
    state.keyCardPage = -1;
  }
}

TEST(Controls, OnlyTheButtonThatStartedADragTurnsAndAClickStaysPut) {
  MouseDrag drag;
  bool click = true;
  EXPECT_FALSE(drag.motion(5, 5) || drag.press(3, 0, 0)) << "no button held; the wheel";
  EXPECT_TRUE(drag.press(0, 100, 100));
  EXPECT_FALSE(drag.press(2, 100, 100)) << "a second button joins no drag";
  EXPECT_TRUE(drag.motion(140, 100));
  EXPECT_FALSE(drag.release(2, 140, 100, click) || click);
  EXPECT_TRUE(drag.release(0, 100, 100, click) && !click) << "back where it began, but it was a drag";
  EXPECT_TRUE(drag.press(2, 300, 300));
  EXPECT_TRUE(drag.motion(302, 302));  // within the slop
  EXPECT_TRUE(drag.release(2, 302, 302, click) && click);
  EXPECT_TRUE(drag.press(0, 0, 0));
  EXPECT_TRUE(drag.release(0, 3, 2, click) && !click) << "5 pixels apart";
}

TEST(Controls, TheReadmeKeyTableIsTheKeyListAndThePageLeavesOutOnlyTheKeysTheBrowserKeeps) {
  const std::string readme =
      (std::ostringstream() << std::ifstream(QUILLMARSH_SOURCE_DIR "/README.md").rdbuf()).str();
  EXPECT_NE(readme.find("\n" + controls::keyTable() + "\n"), std::string::npos)
      << "README.md's key table should read:\n" << controls::keyTable();
  size_t kept = 0;
  for (const controls::Entry& e : controls::keyList()) {
    EXPECT_EQ(e.onPage, e.input != "Escape" && e.input != "F11" && e.input != "p") << e.input;
    kept += e.onPage;
  }
  EXPECT_EQ(controls::keyLines(controls::KeySet::Page).size(), kept);
  EXPECT_EQ(controls::keyLines(controls::KeySet::Desktop).size(), controls::keyList().size());
}
