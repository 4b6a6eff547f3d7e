#ifndef FILAMORPH_IMAGE_FILEBYTES_H
#define FILAMORPH_IMAGE_FILEBYTES_H
// The whole content of a file, for decoding in place.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/Status.h"

namespace filamorph {

// The file is read into memory rather than mapped: a mapped file that
// another program cuts short while it is decoded would kill the process, and
// files on shared cluster storage do get rewritten in place.
class FileBytes {
 public:
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  // Loads the file at path. A file that cannot be opened, is not a regular
  // file, or is longer than maxBytes (refused as malformed, before it is
  // read) gives a failure naming the path.
  Status load(const std::string& path, std::uintmax_t maxBytes);
  std::span<const uint8_t> bytes() const { return bytes_; }

 private:
  void release();

  std::span<const uint8_t> bytes_;
  std::vector<uint8_t> copy_;
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_FILEBYTES_H
