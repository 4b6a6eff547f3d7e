#ifndef FILAMORPH_CLI_EXITCODES_H
#define FILAMORPH_CLI_EXITCODES_H
// The exit statuses of the command-line tool and the error that carries one.

#include <stdexcept>
#include <string>

#include "base/Status.h"

namespace filamorph::cli {

enum class ExitCode : int {
  Success = 0,
  Usage = 1,                   // unknown command or option, bad value
  InputOutput = 2,             // a file cannot be read or written, is malformed or of the wrong kind
  UnsupportedPixelFormat = 3,  // a bitmap in a pixel format other than 8 or 24 bits
  CodecFailure = 4,            // a codec step could not run to its end (e.g. memory ran out or would)
};

// The table printed by --help; cli/README.md repeats it.
inline constexpr const char* kExitCodeHelp =
    "Exit status:\n"
    "  0  success\n"
    "  1  usage error (unknown command or option, missing or bad value)\n"
    "  2  input/output error (a file cannot be read or written, is malformed, or is not\n"
    "     the kind of file the command takes)\n"
    "  3  unsupported pixel format (only 8-bit and 24-bit bitmaps are read)\n"
    "  4  a codec step could not run to its end (e.g. memory ran out, or the model's planes\n"
    "     would not fit in the memory the system can give; refused before any output)\n"
    "A reader closing a pipe on standard output early ends the run quietly by SIGPIPE\n"
    "(status 141 in a shell), as other filters do.\n";

// The exit status of each kind of codec failure.
inline ExitCode exitCodeOf(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::None:
      return ExitCode::Success;
    case ErrorKind::InputOutput:
    case ErrorKind::MalformedFile:
      return ExitCode::InputOutput;
    case ErrorKind::UnsupportedPixelFormat:
      return ExitCode::UnsupportedPixelFormat;
    case ErrorKind::CodecStep:
    case ErrorKind::Cancelled:
      break;
  }
  return ExitCode::CodecFailure;
}

// Ends a subcommand with an exit status. The message is printed on stderr
// unless it is empty, which means the codec has already shown its own message.
class CommandError : public std::runtime_error {
 public:
  CommandError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  // A codec failure, with the exit status of its kind.
  explicit CommandError(const Status& failure)
      : std::runtime_error(failure.message()), code_(exitCodeOf(failure.kind())) {}
  ExitCode code() const { return code_; }

 private:
  ExitCode code_;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_EXITCODES_H
