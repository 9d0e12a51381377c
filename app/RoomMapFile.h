// Files the program writes under its working directory: a free numbered name that nothing
// overwrites, and the room saved as a map picture (PNG) that the program can start from.
#pragma once

#include <string>
#include <vector>

// Reserves and returns the first free "<folder>/<prefix>-NNN.png" (NNN from 001) with an
// exclusive create, making the folder when it is missing; empty when that is not possible.
std::string reserveFreeFile(const std::string& folder, const std::string& prefix);

// Writes 8-bit RGB pixels (bottom row first) as a PNG over the (reserved) `path`. Needs DevIL
// started (the page writes with stb_image_write and offers the file as a download). False when
// it cannot be written.
bool writeRgbPng(const std::string& path, const std::vector<unsigned char>& rgb, int width,
                 int height);

// Saves the map picture `rgb` as "maps/room-NNN.png" under the working directory and returns
// its path; empty, with `error` set, when it cannot.
std::string saveRoomMap(const std::vector<unsigned char>& rgb, int width, int height,
                        std::string& error);
