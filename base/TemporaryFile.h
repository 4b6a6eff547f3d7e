#ifndef FILAMORPH_BASE_TEMPORARYFILE_H
#define FILAMORPH_BASE_TEMPORARYFILE_H
// A private file in the system's temporary folder, removed when it goes out of scope.

#include <string>

#include "base/Status.h"

namespace filamorph {

// The codec reads and writes files by name; standard input and output, a
// converted picture and a measurement's coded file reach it through one of
// these. Construction never throws: status() tells whether the file was made.
class TemporaryFile {
 public:
  // suffix is kept at the end of the name, e.g. ".pgm", so that writers that
  // choose a format by extension see it.
  explicit TemporaryFile(const std::string& suffix = "");
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  const Status& status() const { return status_; }
  // Empty when no file could be made.
  const std::string& path() const { return path_; }

 private:
  Status status_;
  std::string path_;
};

}  // namespace filamorph

#endif  // FILAMORPH_BASE_TEMPORARYFILE_H
