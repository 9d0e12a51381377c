// Pictures and rooms the program saves: the room as a map picture (PNG) that the program can
// start from, PNG encoding, and handing a saved file on to the user where the program's own
// files do not outlive it (the page).
#pragma once

#include <string>
#include <vector>

// Encodes 8-bit RGB pixels (bottom row first) as a PNG into `png`. The build's encoder: DevIL
// (started by the caller) here, stb_image_write in the page. False when it cannot.
bool encodeRgbPng(const std::vector<unsigned char>& rgb, int width, int height,
                  std::vector<unsigned char>& png);

// encodeRgbPng written as `path`, replacing any file there once the new one is whole. False when
// either step fails.
bool writeRgbPng(const std::string& path, const std::vector<unsigned char>& rgb, int width,
                 int height);

// Hands the file the program has just saved at `path` to the user: the page offers it to the
// browser as a download, since its files vanish with it; the desktop's files stay where they
// are, so there it does nothing.
void offerSavedFile(const std::string& path);

// Saves the map picture `rgb` as "maps/room-NNN.png" under the working directory (a new file,
// the first free NNN) and returns its path; empty, with `error` set, when it cannot (no file is
// then left behind).
std::string saveRoomMap(const std::vector<unsigned char>& rgb, int width, int height,
                        std::string& error);
