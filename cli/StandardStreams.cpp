#include "cli/StandardStreams.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/ExitCodes.h"

namespace filamorph::cli {
namespace {

// Closes a stream when it goes out of scope.
struct StreamCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using OwnedStream = std::unique_ptr<std::FILE, StreamCloser>;

// Copies everything from source to destination; false on a read or write error.
bool copyStream(std::FILE* source, std::FILE* destination) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), source);
    if (got > 0 && std::fwrite(buffer.data(), 1, got, destination) != got) return false;
    if (got < buffer.size()) return std::ferror(source) == 0;
  }
}

}  // namespace

void copyStandardInputTo(const TemporaryFile& file) {
  if (!file.status()) throw CommandError(file.status());
  OwnedStream destination(std::fopen(file.path().c_str(), "wb"));
  if (!destination) throw CommandError(ExitCode::InputOutput, "cannot spool standard input: " + file.path());
  if (!copyStream(stdin, destination.get())) {
    throw CommandError(ExitCode::InputOutput, "cannot read standard input");
  }
  if (std::fclose(destination.release()) != 0) {
    throw CommandError(ExitCode::InputOutput, "cannot spool standard input: " + file.path());
  }
}

void copyFileToStandardOutput(const std::string& path) {
  OwnedStream source(std::fopen(path.c_str(), "rb"));
  if (!source) throw CommandError(ExitCode::InputOutput, "cannot read back " + path);
  if (!copyStream(source.get(), stdout) || std::fflush(stdout) != 0) {
    throw CommandError(ExitCode::InputOutput, std::string("cannot write standard output: ") + std::strerror(errno));
  }
}

}  // namespace filamorph::cli
