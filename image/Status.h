#ifndef FILAMORPH_IMAGE_STATUS_H
#define FILAMORPH_IMAGE_STATUS_H
// The one error type of the codec core: success, or a message for the user.

#include <string>
#include <utility>

namespace filamorph {

class Status {
 public:
  Status() = default;
  static Status success() { return Status(); }
  static Status failure(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return message_; }

 private:
  explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}
  bool failed_ = false;
  std::string message_;
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_STATUS_H
