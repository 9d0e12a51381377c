// Saving the window's picture: PNG files under a folder, numbered so none overwrites another.
#pragma once

#include <string>
#include <vector>

// The current read buffer (width x height pixels from the lower-left corner) encoded as PNG into
// `png`; false when it cannot be encoded.
bool windowPng(int width, int height, std::vector<unsigned char>& png);

// windowPng written as a new file "screenshots/quillmarsh-NNN.png" (the first free NNN, the folder made when
// missing); prints its path and returns it, or prints one line on standard error and returns
// empty when it cannot be written. Needs DevIL started.
std::string saveScreenshot(int width, int height);
