// The controls' pure rules: mouse drags against clicks, the one key list that README.md's key
// table must show, and status text fitted to narrow windows (the strength steps: SceneUpdateTest.cpp).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/Controls.h"
#include "app/MouseDrag.h"
#include "app/TextFit.h"

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

TEST(TextFit, WrapsBetweenFieldsThenWordsAndNeverSplitsAWord) {
  const std::string text = "12.0 fps  3.5 ms  50 steps/s  strength 1.500 (ceiling)  fill white light";
  EXPECT_EQ(fitText(text, 200), std::vector<std::string>{text});
  EXPECT_EQ(fitText(text, 30), (std::vector<std::string>{"12.0 fps  3.5 ms  50 steps/s", "strength 1.500 (ceiling)",
                                                         "fill white light"}));
  EXPECT_EQ(fitText(text, 12), (std::vector<std::string>{"12.0 fps", "3.5 ms", "50 steps/s", "strength", "1.500",
                                                         "(ceiling)", "fill white", "light"}));
  EXPECT_EQ(fitText("a  overlong", 4), (std::vector<std::string>{"a", "overlong"}));
}

// The card of each key set: ScreenViewTest.cpp.
TEST(Controls, TheReadmeKeyTableIsTheKeyListAndThePageLeavesOutOnlyTheKeysTheBrowserKeeps) {
  std::ifstream in(QUILLMARSH_SOURCE_DIR "/README.md");
  std::stringstream readme;
  readme << in.rdbuf();
  EXPECT_NE(readme.str().find("\n" + controls::keyTable() + "\n"), std::string::npos)
      << "README.md's key table should read:\n" << controls::keyTable();
  const auto desktop = controls::keyLines(controls::KeySet::Desktop), page = controls::keyLines(controls::KeySet::Page);
  ASSERT_EQ(desktop.size(), controls::keyList().size());
  EXPECT_EQ(desktop[0].find("walk forward"), desktop.back().find("quit")) << "effects in one column";
  std::vector<const controls::Entry*> kept;
  for (const controls::Entry& e : controls::keyList()) {
    EXPECT_EQ(e.onPage, e.input != "Escape" && e.input != "F11" && e.input != "p") << e.input;
    if (e.onPage) kept.push_back(&e);
  }
  ASSERT_EQ(page.size(), kept.size());
  const size_t column = page[0].size() - kept[0]->effect.size();
  for (size_t i = 0; i < page.size(); ++i)
    EXPECT_EQ(page[i], kept[i]->input + std::string(column - kept[i]->input.size(), ' ') + kept[i]->effect)
        << "in order, effects in one column";
}
