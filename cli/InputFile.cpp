#include "cli/InputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/ExitCodes.h"
#include "cli/StandardStreams.h"

namespace filamorph::cli {
namespace {

InputKind sniffKind(const std::string& path, const std::string& displayName) {
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (!stream) throw CommandError(ExitCode::InputOutput, "cannot read " + displayName + ": " + std::strerror(errno));
  unsigned char head[2] = {0, 0};
  const std::size_t got = std::fread(head, 1, 2, stream);
  const bool failed = std::ferror(stream) != 0;
  std::fclose(stream);
  if (failed) throw CommandError(ExitCode::InputOutput, "cannot read " + displayName);
  return got == 2 && head[0] == 0xFF && head[1] == 0xD0 ? InputKind::CodedFile : InputKind::Bitmap;
}

}  // namespace

InputFile::InputFile(const std::string& argument) {
  if (argument == "-") {
    spool_ = std::make_unique<TemporaryFile>();
    copyStandardInputTo(*spool_);
    path_ = spool_->path();
    displayName_ = "standard input";
  } else {
    path_ = argument;
    displayName_ = argument;
  }
  kind_ = sniffKind(path_, displayName_);
}

void InputFile::requireBitmap(const std::string& command) const {
  if (kind_ != InputKind::Bitmap) {
    throw CommandError(ExitCode::InputOutput, displayName_ + " is a coded file; '" + command + "' takes a bitmap" +
                                                  " (decode, info and the model dumps take coded files)");
  }
}

void InputFile::requireCodedFile(const std::string& command) const {
  if (kind_ != InputKind::CodedFile) {
    throw CommandError(ExitCode::InputOutput,
                       displayName_ + " is not a coded file; '" + command + "' takes an .flm file");
  }
}

}  // namespace filamorph::cli
