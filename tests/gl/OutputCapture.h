// Captures standard output (fd 1) or error (fd 2), stdio and iostreams alike, until finish().
#pragma once

#include <gtest/gtest.h>

#include <utility>

struct OutputCapture {
  explicit OutputCapture(int fd) : fd(fd) { fd == 1 ? testing::internal::CaptureStdout() : testing::internal::CaptureStderr(); }
  ~OutputCapture() { finish(); }
  std::string finish() {
    const int was = std::exchange(fd, 0);
    return was == 1 ? testing::internal::GetCapturedStdout() : was == 2 ? testing::internal::GetCapturedStderr() : "";
  }
  int fd;
};
