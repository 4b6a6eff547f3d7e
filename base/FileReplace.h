#ifndef FILAMORPH_BASE_FILEREPLACE_H
#define FILAMORPH_BASE_FILEREPLACE_H
// Writing a file through a temporary sibling, so that a failed write never
// damages or half-writes the target.

#include <string>

#include "base/Status.h"

namespace filamorph {

// A temporary file in the target's folder. Commit() moves it over the target;
// a ReplacingFile destroyed without a successful Commit() removes it.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string target);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // The path to write to; empty when no temporary file could be made.
  const std::string& temporaryPath() const { return temporaryPath_; }
  Status commit();

 private:
  std::string target_;
  std::string temporaryPath_;
  bool committed_ = false;
};

}  // namespace filamorph

#endif  // FILAMORPH_BASE_FILEREPLACE_H
