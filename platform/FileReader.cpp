// The one way input files are read. A FIFO or a device in place of a file must not hang or flood
// the program: the kind is checked with stat before anything is opened, the open itself cannot
// block (O_NONBLOCK), the opened file is checked again (it may have been swapped in between), and
// the read stops one byte past the limit whatever size the file claims.
#include "platform/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// True, with the cause in `error`, when `mode` is not a regular file's.
bool refuseKind(mode_t mode, std::string& error) {
  if (S_ISREG(mode)) return false;
  const char* kind = S_ISFIFO(mode)  ? "a FIFO (named pipe)"
                     : S_ISDIR(mode) ? "a directory"
                     : S_ISCHR(mode) ? "a character device"
                     : S_ISBLK(mode) ? "a block device"
                     : S_ISSOCK(mode) ? "a socket"
                                      : "of an unknown kind";
  error = std::string("it is ") + kind + ", not a regular file";
  return true;
}

}  // namespace

std::string FileReader::tooLong(const std::string& size, size_t limit, const char* what) {
  return "it is " + size + " bytes; " + what + " is at most " + std::to_string(limit) + " bytes";
}

bool FileReader::read(const char* fileName, size_t limit, const char* what, std::string& bytes,
                      std::string& error) {
  bytes.clear();
  struct stat info {};
  if (stat(fileName, &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (refuseKind(info.st_mode, error)) return false;
  const int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  bool ok = false;
  if (fstat(fd, &info) != 0) {
    error = std::strerror(errno);
  } else if (refuseKind(info.st_mode, error)) {
    ok = false;
  } else if (static_cast<unsigned long long>(info.st_size) > limit) {
    error = tooLong(std::to_string(info.st_size), limit, what);
  } else {
    // The size from fstat is only a hint (files under /proc say 0, a file may grow meanwhile).
    bytes.resize(static_cast<size_t>(info.st_size) + 1);
    size_t filled = 0;
    ok = true;
    while (ok) {
      if (filled == bytes.size()) {
        if (bytes.size() > limit) break;
        bytes.resize(std::min(limit + 1, bytes.size() * 2 + 4096));
      }
      const ssize_t n = ::read(fd, &bytes[filled], bytes.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = std::strerror(errno);
        ok = false;
      } else if (n == 0) {
        break;
      } else {
        filled += static_cast<size_t>(n);
      }
    }
    if (ok && filled > limit) {
      error = tooLong("more than " + std::to_string(limit), limit, what);
      ok = false;
    }
    bytes.resize(ok ? filled : 0);
  }
  close(fd);
  return ok;
}
