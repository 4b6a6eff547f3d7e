#ifndef FILAMORPH_BASE_FILEREPLACE_H
#define FILAMORPH_BASE_FILEREPLACE_H
// Writing a file through a temporary sibling, so that a failed write never
// damages or half-writes the target.

#include <string>

#include "base/Status.h"

namespace filamorph {

// A temporary file in the target's folder. Commit() moves it over the target;
// a ReplacingFile destroyed without a successful Commit() removes it.
//
// Replacing keeps what the user set on the target: a target that is a
// symbolic link stays a link, and the file it leads to is replaced (the
// temporary file lies in that file's folder, so that the move stays within
// one file system); an existing file's permission bits pass to the new one.
// A target that is a device or a pipe (/dev/null, /dev/stdout) is written in
// place: it is its own "temporary" path, and commit() has nothing to move.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string target);
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ~ReplacingFile();

  // The path to write to; empty when no temporary file could be made.
  const std::string& temporaryPath() const { return temporaryPath_; }
  // Failure messages name the target as given, never the temporary file.
  Status commit();

 private:
  std::string target_;     // as given, for messages
  std::string finalPath_;  // the file that is replaced: the target, or where its links lead
  std::string temporaryPath_;
  int creationError_ = 0;
  bool inPlace_ = false;
  bool committed_ = false;
};

}  // namespace filamorph

#endif  // FILAMORPH_BASE_FILEREPLACE_H
