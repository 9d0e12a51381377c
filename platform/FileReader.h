// Reads a whole input file (map, texture, program file) into memory, refusing anything that is
// not a regular file or that is longer than the caller's limit, without ever blocking on it.
#pragma once

#include <cstddef>
#include <string>

class FileReader {
 public:
  // Reads `fileName` into `bytes`. Returns false and sets `error` to the cause (the system's
  // message, the kind of file that is not a regular one, or the size against `limit`) otherwise.
  // `what` names the kind of file in that message ("a map file is at most N bytes").
  static bool read(const char* fileName, size_t limit, const char* what, std::string& bytes,
                   std::string& error);
  // The cause `read` gives for a file of `size` bytes over `limit`.
  static std::string tooLong(const std::string& size, size_t limit, const char* what);
};
