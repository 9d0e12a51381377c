// Wrapping text at field and word boundaries.
#include "app/TextFit.h"

namespace {

// Splits at each run of at least `gap` spaces; empty parts vanish.
std::vector<std::string> split(const std::string& text, size_t gap) {
  std::vector<std::string> parts;
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find(std::string(gap, ' '), begin);
    if (end == std::string::npos) end = text.size();
    if (end > begin) parts.push_back(text.substr(begin, end - begin));
    begin = end;
    while (begin < text.size() && text[begin] == ' ') ++begin;
  }
  return parts;
}

// Adds `part` to the last line with `joint` before it, or starts a new line where it would not
// fit.
void pack(std::vector<std::string>& lines, const std::string& part, const std::string& joint,
          size_t maxChars) {
  if (!lines.empty() && !lines.back().empty() &&
      lines.back().size() + joint.size() + part.size() <= maxChars) {
    lines.back() += joint + part;
  } else if (!lines.empty() && lines.back().empty()) {
    lines.back() = part;
  } else {
    lines.push_back(part);
  }
}

}  // namespace

std::vector<std::string> fitText(const std::string& text, size_t maxChars) {
  std::vector<std::string> lines{""};
  for (const std::string& field : split(text, 2)) {
    if (field.size() <= maxChars) {
      pack(lines, field, "  ", maxChars);
      continue;
    }
    // A field wider than a whole line: its words wrap one by one, starting on a line of its own.
    if (!lines.back().empty()) lines.emplace_back();
    for (const std::string& word : split(field, 1)) pack(lines, word, " ", maxChars);
  }
  return lines;
}
