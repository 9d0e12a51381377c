// Descriptor-level output capture into an anonymous temporary file.
#include "OutputCapture.h"

#include <unistd.h>

#include <iostream>

namespace {
void flushAll() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
}
}  // namespace

OutputCapture::OutputCapture(int fd) : fd_(fd) {
  flushAll();
  file_ = std::tmpfile();
  saved_ = dup(fd_);
  dup2(fileno(file_), fd_);
}

OutputCapture::~OutputCapture() { finish(); }

std::string OutputCapture::finish() {
  if (saved_ < 0) return std::string();
  flushAll();
  dup2(saved_, fd_);
  close(saved_);
  saved_ = -1;
  std::string text;
  std::rewind(file_);
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, n);
  std::fclose(file_);
  file_ = nullptr;
  return text;
}
