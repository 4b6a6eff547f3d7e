#include "cli/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <utility>

#include "base/BuildVersion.h"
#include "cli/ExitCodes.h"

namespace filamorph::cli {
namespace {

constexpr const char* kConventions =
    "IN may be - for standard input and OUT - for standard output (PGM for images).\n"
    "Images are written by extension: .pgm (binary P5) or .bmp (24-bit gray).\n"
    "Statistics go to stderr; --quiet silences them.\n\n";

// Everything written to standard output must have reached it: a full device
// or a closed stream is an output error, not a success.
void requireStandardOutputWritten() {
  const bool flushed = std::fflush(stdout) == 0;
  const int error = errno;
  if (!flushed || std::ferror(stdout) != 0) {
    throw CommandError(ExitCode::InputOutput, std::string("cannot write standard output: ") + std::strerror(error));
  }
}

int report(ExitCode code, const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "filamorph: %s\n", message.c_str());
  return static_cast<int>(code);
}

}  // namespace

void GlobalOptions::statistic(const std::string& line) const {
  if (!quiet) std::fprintf(stderr, "%s\n", line.c_str());
}

CommandLine::CommandLine() : app_("Filamorph Codec: contour-based coding of gray-level images", "filamorph") {
  app_.footer(std::string(kConventions) + kExitCodeHelp);
  // Lets the global options follow the subcommand too: filamorph encode -q IN OUT.
  app_.fallthrough();
  app_.require_subcommand(1);
  app_.add_flag("-q,--quiet", options_.quiet, "Print no statistics");
  app_.add_flag("--progress", options_.progress,
                "Print the solver's progress on stderr even when it is not a terminal (one line a second)");
  app_.add_option("--max-pixels", options_.maxPixels,
                  "Refuse a coded file declaring more pixels than this (default " + std::to_string(kMaxBitmapPixels) +
                      ", as for bitmaps)")
      ->check(CLI::PositiveNumber);
  app_.set_version_flag("--version", "filamorph " + versionText(),
                        "Print the version and the source commit of this build, then exit");
}

void CommandLine::setAction(CLI::App& command, std::function<void()> action) {
  command.callback([this, action = std::move(action)] { chosen_ = action; });
}

int CommandLine::run(int argc, const char* const* argv) {
  chosen_ = nullptr;
  try {
    app_.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Prints the help text (status 0) or the error with a hint.
    return app_.exit(error) == 0 ? static_cast<int>(ExitCode::Success) : static_cast<int>(ExitCode::Usage);
  }
  if (!chosen_) return report(ExitCode::Usage, "choose a command; see filamorph --help");
  try {
    chosen_();
    requireStandardOutputWritten();
  } catch (const CommandError& error) {
    return report(error.code(), error.what());
  } catch (const std::bad_alloc&) {
    return report(ExitCode::CodecFailure, "out of memory");
  } catch (const std::exception& error) {
    return report(ExitCode::CodecFailure, error.what());
  }
  return static_cast<int>(ExitCode::Success);
}

}  // namespace filamorph::cli
