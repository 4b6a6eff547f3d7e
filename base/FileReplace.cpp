#include "base/FileReplace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace filamorph {

ReplacingFile::ReplacingFile(std::string target) : target_(std::move(target)) {
  const std::filesystem::path path(target_);
  std::filesystem::path hidden = path.parent_path() / ".";
  hidden += path.filename();
  hidden += ".XXXXXX";
  const std::string pattern = hidden.string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int descriptor = mkstemp(buffer.data());
  if (descriptor >= 0) {
    // mkstemp makes the file private; give it the permissions of a new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    close(descriptor);
    temporaryPath_ = buffer.data();
  }
}

ReplacingFile::~ReplacingFile() {
  if (!committed_ && !temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

Status ReplacingFile::commit() {
  if (temporaryPath_.empty())
    return Status::failure(ErrorKind::InputOutput, "Cannot create a file in the folder of " + target_);
  if (std::rename(temporaryPath_.c_str(), target_.c_str()) != 0) {
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + target_ + ": " + std::strerror(errno));
  }
  committed_ = true;
  return Status::success();
}

}  // namespace filamorph
