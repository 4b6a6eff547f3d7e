#include "cli/OutputFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/FileReplace.h"
#include "base/TemporaryFile.h"
#include "cli/ExitCodes.h"
#include "cli/StandardStreams.h"
#include "image/GrayImageFile.h"

namespace filamorph::cli {
namespace {

constexpr const char* kStandardStream = "-";

std::string lowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

void requireSuccess(const Status& status) {
  if (!status) throw CommandError(status);
}

// A writer given a temporary name reports that name; the user knows only OUT.
void requireWritten(const Status& status, const std::string& temporary, const std::string& out) {
  if (!status) throw CommandError(status.withPathNamed(temporary, out));
}

}  // namespace

void checkFileOutput(const std::string& out) {
  if (out == kStandardStream) return;
  if (out.empty()) throw CommandError(ExitCode::Usage, "the output file name is empty");
  const std::filesystem::path folder = std::filesystem::path(out).parent_path();
  std::error_code error;
  if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
    throw CommandError(ExitCode::InputOutput, "cannot write " + out + ": no folder " + folder.string());
  }
  if (std::filesystem::is_directory(out, error)) {
    throw CommandError(ExitCode::InputOutput, "cannot write " + out + ": it is a folder");
  }
}

void checkImageOutput(const std::string& out) {
  if (out != kStandardStream) {
    const std::string extension = lowerExtension(out);
    if (extension != ".pgm" && extension != ".bmp") {
      throw CommandError(ExitCode::Usage, "cannot write " + out +
                                              ": an image must end in .pgm or .bmp, or be - for PGM on standard output");
    }
  }
  checkFileOutput(out);
}

bool isBitmapOutput(const std::string& out) { return out != kStandardStream && lowerExtension(out) == ".bmp"; }

void writeImageOutput(const std::string& out, const Plane<uint8_t>& gray) {
  requireSuccess(writeGrayImageFile(out, gray));
}

void writeFileOutput(const std::string& out, const std::function<Status(const std::string& path)>& writeFile) {
  if (out == kStandardStream) {
    const TemporaryFile staging;
    requireSuccess(staging.status());
    requireWritten(writeFile(staging.path()), staging.path(), "standard output");
    copyFileToStandardOutput(staging.path());
    return;
  }
  ReplacingFile target(out);
  if (target.temporaryPath().empty()) requireSuccess(target.commit());
  requireWritten(writeFile(target.temporaryPath()), target.temporaryPath(), out);
  requireSuccess(target.commit());
}

void writeTextOutput(const std::string& out, const std::string& text) {
  writeFileOutput(out, [&](const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
      return Status::failure(ErrorKind::InputOutput, "Cannot write " + path + ": " + std::strerror(written ? errno : writeError));
    }
    return Status::success();
  });
}

}  // namespace filamorph::cli
