#include "cli/OutputFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/FileReplace.h"
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

std::uintmax_t fileSize(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) throw CommandError(ExitCode::InputOutput, "cannot measure " + path + ": " + error.message());
  return size;
}

void requireSuccess(const Status& status) {
  if (!status) throw CommandError(ExitCode::InputOutput, status.message());
}

// A writer given a temporary name reports that name; the user knows only OUT.
void requireWritten(const Status& status, const std::string& out) {
  if (!status) throw CommandError(ExitCode::InputOutput, "cannot write " + out + ": " + status.message());
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
      throw CommandError(
          ExitCode::Usage,
          "cannot write " + out + ": an image must end in .pgm or .bmp, or be - for PGM on standard output");
    }
  }
  checkFileOutput(out);
}

bool isBitmapOutput(const std::string& out) {
  return out != kStandardStream && lowerExtension(out) == ".bmp";
}

void writeImageOutput(const std::string& out, const Plane<uint8_t>& gray) {
  requireSuccess(writeGrayImageFile(out, gray));
}

std::uintmax_t writeFileOutput(const std::string& out,
                               const std::function<Status(const std::string& path)>& writeFile) {
  if (out == kStandardStream) {
    const TemporaryFile staging;
    if (!staging.status()) throw CommandError(staging.status());
    requireWritten(writeFile(staging.path()), "standard output");
    const std::uintmax_t size = fileSize(staging.path());
    copyFileToStandardOutput(staging.path());
    return size;
  }
  ReplacingFile target(out);
  if (target.temporaryPath().empty()) requireSuccess(target.commit());
  requireWritten(writeFile(target.temporaryPath()), out);
  const std::uintmax_t size = fileSize(target.temporaryPath());
  requireSuccess(target.commit());
  return size;
}

void writeTextOutput(const std::string& out, const std::string& text) {
  writeFileOutput(out, [&](const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return file ? Status::success() : Status::failure(ErrorKind::InputOutput, "the disk refused the text");
  });
}

}  // namespace filamorph::cli
