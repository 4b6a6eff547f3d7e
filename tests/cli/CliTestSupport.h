#ifndef FILAMORPH_TESTS_CLI_CLITESTSUPPORT_H
#define FILAMORPH_TESTS_CLI_CLITESTSUPPORT_H
// Running the command-line tool in-process with its output captured, in a scratch folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/Application.h"

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
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    folder = std::filesystem::temp_directory_path() / ("filamorph_cli_" + std::to_string(getpid()) + "_" + name);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string path(const std::string& name) const { return (folder / name).string(); }
  // Every name in the folder, so that a test sees leftover temporary files too.
  std::vector<std::string> folderContents() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path folder;
};

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_CLI_CLITESTSUPPORT_H
