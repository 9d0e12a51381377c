// The one way output files are written: every byte checked on its way to the disk, and nothing
// left behind when that fails (a full disk, a file size limit, whose signal never ends the
// process here), so that a file the program says it wrote is whole.
#pragma once

#include <string>
#include <vector>

class FileWriter {
 public:
  // Takes the first free name "<folder>/<prefix>-NNN<extension>" (NNN from 001 to 9999) with an
  // exclusive create, so that nothing is overwritten, making the folder when it is missing, and
  // writes `bytes` into it. Returns the path; empty, with the cause in `error`, when it cannot
  // (no file is then kept).
  static std::string writeNew(const std::string& folder, const std::string& prefix,
                              const std::string& extension,
                              const std::vector<unsigned char>& bytes, std::string& error);

  // Writes `bytes` as `path`, replacing what was there only once the new file is whole (written
  // beside it, then renamed over it). False, with the cause in `error`, when it cannot; the old
  // file then stays as it was.
  static bool replace(const std::string& path, const std::vector<unsigned char>& bytes,
                      std::string& error);
};
