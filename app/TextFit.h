// Fitting a line of on-screen text into a width counted in characters: the text wraps between
// its fields (parts set apart by two spaces), or between words where one field is too long;
// no word is ever split.
#pragma once

#include <string>
#include <vector>

// The lines `text` takes at most `maxChars` characters wide (at least one line). A single word
// longer than `maxChars` gets a line of its own.
std::vector<std::string> fitText(const std::string& text, size_t maxChars);
