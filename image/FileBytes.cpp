#include "image/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace filamorph {
namespace {

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads exactly size bytes, resuming after interruptions and short reads.
bool readAll(int fd, uint8_t* to, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::read(fd, to, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    to += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

FileBytes::~FileBytes() { release(); }

void FileBytes::release() {
  copy_.clear();
  bytes_ = {};
}

Status FileBytes::load(const std::string& path, std::uintmax_t maxBytes) {
  release();
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return Status::failure(ErrorKind::InputOutput, "Cannot open " + path + ": " + std::strerror(errno));
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
    return Status::failure(ErrorKind::InputOutput, "Cannot read " + path);
  const auto length = static_cast<std::uintmax_t>(status.st_size);
  if (length > maxBytes) {
    return Status::failure(ErrorKind::MalformedFile,
                           path + ": file of " + std::to_string(length) + " bytes is too large to read");
  }
  const auto size = static_cast<std::size_t>(length);
  if (size == 0) return Status::success();
  copy_.resize(size);
  if (!readAll(file.get(), copy_.data(), size)) {
    copy_.clear();
    return Status::failure(ErrorKind::InputOutput, "Cannot read " + path);
  }
  bytes_ = copy_;
  return Status::success();
}

}  // namespace filamorph
