#ifndef FILAMORPH_TESTS_SUPPORT_SCRATCHFOLDER_H
#define FILAMORPH_TESTS_SUPPORT_SCRATCHFOLDER_H
// An empty temporary folder of the running test's own, removed afterwards.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace filamorph::testing {

// Named after the test (and the process), so that parallel test runs never
// share a folder. Make it in SetUp(): the name is read from the running test.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    folder_ = std::filesystem::temp_directory_path() / (prefix + "_" + std::to_string(getpid()) + "_" + name);
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() { std::filesystem::remove_all(folder_); }

  const std::filesystem::path& folder() const { return folder_; }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  // The contents of a file in the folder; empty when it cannot be read.
  std::vector<char> bytes(const std::string& name) const {
    std::ifstream file(folder_ / name, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  // Every name in the folder, so that a test sees leftover temporary files too.
  std::vector<std::string> contents() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path folder_;
};

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_SUPPORT_SCRATCHFOLDER_H
