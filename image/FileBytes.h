#ifndef FILAMORPH_IMAGE_FILEBYTES_H
#define FILAMORPH_IMAGE_FILEBYTES_H
// The whole content of a file, for decoding in place.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/Status.h"

namespace filamorph {

// A regular file is mapped read-only: its pages come from the file cache,
// several at a fault, instead of a buffer faulted in page by page as freshly
// zeroed memory and then filled by a copy. Where the system cannot map it,
// the file is read into memory instead. (A mapped file that another program
// cuts short while it is read would fault; the codec's own writers replace
// files by renaming, never truncate them in place.)
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
  void* mapping_ = nullptr;
  std::vector<uint8_t> copy_;
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_FILEBYTES_H
