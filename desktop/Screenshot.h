// Saving the window's picture: PNG files under a folder, numbered so none overwrites another.
#pragma once

#include <string>

// Reserves and returns the first free "<folder>/quillmarsh-NNN.png" (NNN from 001), making the
// folder when it is missing; empty when neither the folder nor a file can be made.
std::string reserveScreenshotPath(const std::string& folder);

// Reads the current read buffer (width x height pixels from the lower-left corner) and writes it
// to a new file under "screenshots/"; prints its path, or one line on standard error when it
// cannot be written. Needs DevIL started.
void saveScreenshot(int width, int height);
