// Captures what the process writes to a file descriptor (1 or 2), through both stdio and iostreams.
#pragma once

#include <cstdio>
#include <string>

class OutputCapture {
 public:
  explicit OutputCapture(int fd);
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  // Stops capturing and returns everything written meanwhile.
  std::string finish();

 private:
  int fd_;
  int saved_ = -1;
  std::FILE* file_ = nullptr;
};
