// Laying out what is drawn over the frame: boxes, lines and text in window pixels.
#include "app/ScreenView.h"

#include <algorithm>

#include "app/Controls.h"
#include "app/TextFit.h"

const char* const ScreenView::kHint =
    "The room is dark: press 0 to raise the light, F1 for the keys";

namespace {

constexpr int kLineHeight = 16;
constexpr int kPadding = 8;
constexpr unsigned char kStatusShade = 153;  // 0.6 of full alpha
constexpr unsigned char kBoxShade = 191;     // 0.75

const ScreenFont& font(FontId id) { return kScreenFonts[static_cast<int>(id)]; }

ScreenItem box(int x0, int y0, int x1, int y1, unsigned char alpha) {
  ScreenItem item;
  item.kind = ScreenItem::Kind::Box;
  item.x0 = x0, item.y0 = y0, item.x1 = x1, item.y1 = y1;
  item.rgba[0] = item.rgba[1] = item.rgba[2] = 0;
  item.rgba[3] = alpha;
  return item;
}

ScreenItem text(int x, int y, const std::string& line, FontId id) {
  ScreenItem item;
  item.kind = ScreenItem::Kind::Text;
  item.x0 = x, item.y0 = y;
  item.text = line;
  item.font = id;
  return item;
}

size_t cardChars(int width) {
  return static_cast<size_t>(std::max(16, (width - 40) / font(FontId::Card).charWidth));
}

// Lines of text in a half-dark box whose top edge is at `top`, centred across the window.
void textBox(const std::vector<std::string>& lines, int width, int top,
             std::vector<ScreenItem>& out) {
  size_t longest = 0;
  for (const std::string& line : lines) longest = std::max(longest, line.size());
  const int boxWidth = static_cast<int>(longest) * font(FontId::Card).charWidth + 2 * kPadding;
  const int boxHeight = static_cast<int>(lines.size()) * kLineHeight + kPadding;
  const int left = std::max(0, (width - boxWidth) / 2);
  out.push_back(box(left, top - boxHeight, left + boxWidth, top, kBoxShade));
  for (size_t i = 0; i < lines.size(); ++i)
    out.push_back(text(left + kPadding, top - kLineHeight * static_cast<int>(i + 1), lines[i],
                       FontId::Card));
}

// The key list's entries, each as the lines it takes in a card `width` wide; a line that fits
// keeps its column of effects, only a narrow window wraps it.
std::vector<std::vector<std::string>> cardEntries(int width, controls::KeySet keys) {
  const size_t maxChars = cardChars(width);
  std::vector<std::vector<std::string>> entries;
  for (const std::string& line : controls::keyLines(keys))
    entries.push_back(line.size() <= maxChars ? std::vector<std::string>{line}
                                              : fitText(line, maxChars));
  return entries;
}

// The key card's pages: entries kept whole, as many as fit between the status band and the
// window's bottom edge under the card's two heading lines.
std::vector<std::vector<std::string>> cardPages(const ScreenState& state) {
  const int width = state.width;
  const int room = state.height - ScreenView::statusBandHeight(state.status, width) - 2 * kPadding;
  const int linesPerPage = std::max(1, (room - kPadding) / kLineHeight - 2);
  std::vector<std::vector<std::string>> pages(1);
  for (const std::vector<std::string>& entry : cardEntries(width, state.keys)) {
    if (!pages.back().empty() &&
        static_cast<int>(pages.back().size() + entry.size()) > linesPerPage)
      pages.emplace_back();
    pages.back().insert(pages.back().end(), entry.begin(), entry.end());
  }
  return pages;
}

}  // namespace

int ScreenView::statusBandHeight(const std::string& status, int width) {
  if (status.empty()) return 0;
  const int maxChars = std::max(1, (width - 12) / font(FontId::Status).charWidth);
  const int lines = static_cast<int>(fitText(status, static_cast<size_t>(maxChars)).size());
  return 22 + kLineHeight * (lines - 1);
}

int ScreenView::keyCardPages(const ScreenState& state) {
  return static_cast<int>(cardPages(state).size());
}

std::vector<ScreenItem> ScreenView::layout(const ScreenState& state) {
  std::vector<ScreenItem> items;
  const int width = state.width, height = state.height;

  // A light grey cross with a gap at the centre, around a small square of the selected material.
  const int cx = width / 2, cy = height / 2;
  for (const int sign : {-1, 1}) {
    for (const bool across : {true, false}) {
      ScreenItem line;
      line.kind = ScreenItem::Kind::Line;
      line.x0 = across ? cx + sign * 5 : cx, line.y0 = across ? cy : cy + sign * 5;
      line.x1 = across ? cx + sign * 12 : cx, line.y1 = across ? cy : cy + sign * 12;
      line.rgba[0] = line.rgba[1] = line.rgba[2] = kMarkGrey;
      items.push_back(line);
    }
  }
  ScreenItem frame = box(cx - 4, cy - 4, cx + 4, cy + 4, 255);
  frame.rgba[0] = frame.rgba[1] = frame.rgba[2] = kMarkGrey;
  items.push_back(frame);
  ScreenItem swatch = box(cx - 3, cy - 3, cx + 3, cy + 3, 255);
  std::copy(state.swatch, state.swatch + 3, swatch.rgba);
  items.push_back(swatch);
  const long crosshairItems = static_cast<long>(items.size());

  // The hint near the bottom edge; messages stand above it.
  int bottom = 24;
  if (state.hintVisible) {
    const std::vector<std::string> lines =
        fitText(kHint, static_cast<size_t>(std::max(16, (width - 24) / 8)));
    const int top = bottom + static_cast<int>(lines.size()) * kLineHeight + kPadding;
    textBox(lines, width, top, items);
    bottom = top + kPadding;
  }

  if (state.keyCardPage >= 0) {
    const std::vector<std::vector<std::string>> pages = cardPages(state);
    const int page = std::min(state.keyCardPage, static_cast<int>(pages.size()) - 1);
    std::vector<std::string> lines{
        pages.size() == 1 ? "Keys and mouse (F1 hides this card)"
                          : "Keys and mouse " + std::to_string(page + 1) + "/" +
                                std::to_string(pages.size()) +
                                (page + 1 < static_cast<int>(pages.size()) ? " (F1: next)"
                                                                           : " (F1 hides)"),
        ""};
    lines.insert(lines.end(), pages[page].begin(), pages[page].end());
    const int boxHeight = static_cast<int>(lines.size()) * kLineHeight + kPadding;
    const int below = height - statusBandHeight(state.status, width) - kPadding;
    textBox(lines, width, std::min(below, (height + boxHeight) / 2), items);
  }

  // The status line across the top: white text on a half-dark band, wrapped between fields.
  if (!state.status.empty()) {
    const int band = statusBandHeight(state.status, width);
    items.push_back(box(0, height - band, width, height, kStatusShade));
    const std::vector<std::string> lines = fitText(
        state.status,
        static_cast<size_t>(std::max(1, (width - 12) / font(FontId::Status).charWidth)));
    for (size_t i = 0; i < lines.size(); ++i)
      items.push_back(
          text(6, height - 16 - kLineHeight * static_cast<int>(i), lines[i], FontId::Status));
  }

  if (!state.messages.empty()) {
    std::vector<std::string> lines;
    const size_t maxChars = static_cast<size_t>(std::max(16, (width - 24) / 8));
    for (const std::string& message : state.messages)
      for (const std::string& part : fitText(message, maxChars)) lines.push_back(part);
    textBox(lines, width, bottom + static_cast<int>(lines.size()) * kLineHeight + kPadding,
            items);
  }

  // The selection's name in grey under the crosshair, drawn right after it; left out where a
  // box above would cover it (the key card at the centre, messages in a low window).
  if (!state.swatchName.empty()) {
    std::vector<ScreenItem> label;
    textBox({state.swatchName}, width, cy - 16, label);
    const ScreenItem& band = label.front();
    bool covered = band.y0 < 0;
    for (const ScreenItem& item : items)
      covered = covered || (item.kind == ScreenItem::Kind::Box && item.rgba[3] < 255 &&
                            item.x0 < band.x1 && band.x0 < item.x1 && item.y0 < band.y1 &&
                            band.y0 < item.y1);
    if (!covered) {
      for (ScreenItem& item : label)
        if (item.kind == ScreenItem::Kind::Text)
          item.rgba[0] = item.rgba[1] = item.rgba[2] = kMarkGrey;
      items.insert(items.begin() + crosshairItems, label.begin(), label.end());
    }
  }
  return items;
}
