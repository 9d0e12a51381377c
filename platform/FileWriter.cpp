// Writing goes through the descriptor the file was created with: short writes are continued,
// interrupted ones retried, and the data flushed and the descriptor closed with their results
// checked, since a full disk may show only there.
#include "platform/FileWriter.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A write past the file size limit fails with EFBIG, as one on a full disk fails, instead of its
// signal ending the process mid-write with the partial file left behind: the calling thread holds
// the signal back while it writes and takes it, if it came, before letting it through again.
class FileSizeSignalHeld {
 public:
  FileSizeSignalHeld() {
    sigemptyset(&signal);
    sigaddset(&signal, SIGXFSZ);
    pthread_sigmask(SIG_BLOCK, &signal, &before);
  }
  ~FileSizeSignalHeld() {
    const int saved = errno;
    const timespec none{0, 0};
    while (sigtimedwait(&signal, nullptr, &none) == SIGXFSZ) {
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = saved;
  }
  FileSizeSignalHeld(const FileSizeSignalHeld&) = delete;
  FileSizeSignalHeld& operator=(const FileSizeSignalHeld&) = delete;

 private:
  sigset_t signal{}, before{};
};

// Writes all of `bytes` to `fd`, flushes and closes it; false with errno set when any of it fails
// (the descriptor is closed either way).
bool writeAndClose(int fd, const std::vector<unsigned char>& bytes) {
  const FileSizeSignalHeld held;
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      if (n == 0) errno = EIO;
      ok = false;
    }
  }
  // A file system that cannot flush (EINVAL) has nothing more to say than the writes did.
  if (ok && fsync(fd) != 0 && errno != EINVAL) ok = false;
  const int saved = errno;
  if (close(fd) != 0 && ok) return false;
  errno = saved;
  return ok;
}

std::string cause() { return std::strerror(errno); }

}  // namespace

std::string FileWriter::writeNew(const std::string& folder, const std::string& prefix,
                                 const std::string& extension,
                                 const std::vector<unsigned char>& bytes, std::string& error) {
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    error = "cannot create a file in \"" + folder + "\" (" + cause() + ")";
    return "";
  }
  for (int n = 1; n <= 9999; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", n);
    const std::string path = folder + "/" + prefix + number + extension;
    // An exclusive create cannot take a name an earlier run (or another program) holds.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = "cannot create a file in \"" + folder + "\" (" + cause() + ")";
      return "";
    }
    if (!writeAndClose(fd, bytes)) {
      error = "cannot write \"" + path + "\" (" + cause() + ")";
      unlink(path.c_str());
      return "";
    }
    return path;
  }
  error = "no free file name under \"" + folder + "\" (" + prefix + "-001" + extension + " to " +
          prefix + "-9999" + extension + " are taken)";
  return "";
}

bool FileWriter::replace(const std::string& path, const std::vector<unsigned char>& bytes,
                         std::string& error) {
  // Beside the file, so that the rename stays within one file system.
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) {
    error = "cannot write \"" + path + "\" (" + cause() + ")";
    return false;
  }
  // mkstemp makes the file for its owner alone: it takes the mode of the file it replaces, or
  // that of a new file.
  struct stat old {};
  fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
  if (!writeAndClose(fd, bytes) || std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot write \"" + path + "\" (" + cause() + ")";
    unlink(temporary.c_str());
    return false;
  }
  return true;
}
