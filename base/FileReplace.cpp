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
namespace {

// The system's own bound on links followed in one path.
constexpr int kMaxLinksFollowed = 40;

// Where a chain of symbolic links ends, whether or not a file is there yet;
// path itself when it is no link (or the chain loops).
std::filesystem::path linkDestination(const std::filesystem::path& path) {
  std::filesystem::path current = path;
  for (int followed = 0; followed < kMaxLinksFollowed; ++followed) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(current, error))) return current;
    const std::filesystem::path next = std::filesystem::read_symlink(current, error);
    if (error) return current;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return path;
}

// The permission bits of the file to be replaced; those of a new file
// (0666 less the umask) when there is none yet.
mode_t replacedMode(const std::string& path) {
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) return existing.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string target)
    : target_(std::move(target)), finalPath_(linkDestination(target_).string()) {
  struct stat existing {};
  if (stat(finalPath_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode)) {
    // A device or a pipe cannot be replaced, only written.
    inPlace_ = true;
    temporaryPath_ = finalPath_;
    return;
  }
  const std::filesystem::path path(finalPath_);
  std::filesystem::path hidden = path.parent_path() / ".";
  hidden += path.filename();
  hidden += ".XXXXXX";
  const std::string pattern = hidden.string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int descriptor = mkstemp(buffer.data());
  if (descriptor < 0) {
    creationError_ = errno;
    return;
  }
  close(descriptor);
  temporaryPath_ = buffer.data();
}

ReplacingFile::~ReplacingFile() {
  if (!committed_ && !inPlace_ && !temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
}

Status ReplacingFile::commit() {
  if (temporaryPath_.empty()) {
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + target_ + ": " + std::strerror(creationError_));
  }
  if (inPlace_) {
    committed_ = true;
    return Status::success();
  }
  // mkstemp made the file private, and it stays writable while it is being
  // written; only now does it take the bits of the file it replaces.
  if (chmod(temporaryPath_.c_str(), replacedMode(finalPath_)) != 0 ||
      std::rename(temporaryPath_.c_str(), finalPath_.c_str()) != 0) {
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + target_ + ": " + std::strerror(errno));
  }
  committed_ = true;
  return Status::success();
}

}  // namespace filamorph
