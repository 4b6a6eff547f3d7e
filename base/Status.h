#ifndef FILAMORPH_BASE_STATUS_H
#define FILAMORPH_BASE_STATUS_H
// The one error type of the codec: success, or a failure of a kind with a message for the user.

#include <cstddef>
#include <string>
#include <utility>

namespace filamorph {

// What went wrong, for the callers that decide on it (exit statuses, Python
// exception types, the evaluation's failure column). The message is for
// people only: nothing decides by its wording.
enum class ErrorKind {
  None,
  InputOutput,             // a file cannot be opened, read or written
  MalformedFile,           // a file of the right kind whose content is broken or exceeds a limit
  UnsupportedPixelFormat,  // a bitmap in a pixel format the import refuses
  CodecStep,               // a codec step could not run to its end (no data for it, memory)
  Cancelled,               // the user stopped a long step
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status success() { return Status(); }
  static Status failure(ErrorKind kind, std::string message) { return Status(kind, std::move(message)); }

  bool ok() const { return kind_ == ErrorKind::None; }
  explicit operator bool() const { return ok(); }
  ErrorKind kind() const { return kind_; }
  const std::string& message() const { return message_; }

  // The same failure with its message rewritten, e.g. to name the file the user gave.
  Status withMessage(std::string message) const { return Status(kind_, std::move(message)); }
  // The same failure with every mention of path replaced by name: for a file
  // the user knows by another name (standard input, a measurement's coded file).
  Status withPathNamed(const std::string& path, const std::string& name) const {
    std::string message = message_;
    if (!path.empty()) {
      for (std::size_t at = message.find(path); at != std::string::npos; at = message.find(path, at + name.size())) {
        message.replace(at, path.size(), name);
      }
    }
    return Status(kind_, std::move(message));
  }

 private:
  Status(ErrorKind kind, std::string message) : kind_(kind), message_(std::move(message)) {}
  ErrorKind kind_ = ErrorKind::None;
  std::string message_;
};

}  // namespace filamorph

#endif  // FILAMORPH_BASE_STATUS_H
