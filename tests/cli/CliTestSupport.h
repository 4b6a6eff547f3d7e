#ifndef FILAMORPH_TESTS_CLI_CLITESTSUPPORT_H
#define FILAMORPH_TESTS_CLI_CLITESTSUPPORT_H
// Running the command-line tool in-process with its output captured, in a scratch folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "cli/Application.h"
#include "support/ScratchFolder.h"

namespace filamorph::testing {

struct CliResult {
  int status = -1;
  std::string out;  // standard output, byte for byte
  std::string err;
};

inline CliResult runCli(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv{"filamorph"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  CliResult result;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  result.status = cli::runFilamorph(static_cast<int>(argv.size()), argv.data());
  result.err = ::testing::internal::GetCapturedStderr();
  result.out = ::testing::internal::GetCapturedStdout();
  return result;
}

inline std::string readFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// An empty folder of its own for each test, removed afterwards.
class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("filamorph_cli");
    folder = scratch_->folder();
  }
  void TearDown() override { scratch_.reset(); }

  std::string path(const std::string& name) const { return scratch_->path(name); }
  std::vector<std::string> folderContents() const { return scratch_->contents(); }

  std::filesystem::path folder;

 private:
  std::optional<ScratchFolder> scratch_;
};

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_CLI_CLITESTSUPPORT_H
