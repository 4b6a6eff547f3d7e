// Replacing a file through a temporary sibling: what the user set on the
// target survives, and what cannot be replaced is written in place.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "base/FileReplace.h"
#include "support/ScratchFolder.h"

namespace filamorph {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void replace(const fs::path& target, const std::string& text) {
  ReplacingFile file(target.string());
  ASSERT_FALSE(file.temporaryPath().empty());
  std::ofstream(file.temporaryPath(), std::ios::binary) << text;
  ASSERT_TRUE(file.commit().ok());
}

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

class FileReplace : public ::testing::Test {
 protected:
  void SetUp() override { scratch_.emplace("file_replace"); }
  fs::path folder() const { return scratch_->folder(); }

 private:
  std::optional<testing::ScratchFolder> scratch_;
};

TEST_F(FileReplace, KeepsThePermissionBitsOfTheReplacedFile) {
  for (const fs::perms mode : {fs::perms(0444), fs::perms(0751), fs::perms(0600)}) {
    const fs::path target = folder() / "kept.txt";
    std::ofstream(target) << "before";
    fs::permissions(target, mode);
    replace(target, "after");
    EXPECT_EQ(contents(target), "after");
    EXPECT_EQ(fs::status(target).permissions(), mode);
    fs::remove(target);
  }
}

TEST_F(FileReplace, FollowsAChainOfLinksAndReplacesTheFileAtItsEnd) {
  fs::create_directories(folder() / "links");
  fs::create_directories(folder() / "data");
  std::ofstream(folder() / "data" / "file.txt") << "before";
  fs::create_symlink("../data/file.txt", folder() / "links" / "second");
  fs::create_symlink("second", folder() / "links" / "first");

  replace(folder() / "links" / "first", "after");

  EXPECT_TRUE(fs::is_symlink(folder() / "links" / "first"));
  EXPECT_EQ(fs::read_symlink(folder() / "links" / "first"), "second");
  EXPECT_EQ(fs::read_symlink(folder() / "links" / "second"), "../data/file.txt");
  EXPECT_EQ(contents(folder() / "data" / "file.txt"), "after");
  EXPECT_EQ(entries(folder() / "links"), 2u);
  EXPECT_EQ(entries(folder() / "data"), 1u) << "the temporary file was left behind";
}

TEST_F(FileReplace, LinkToNoFileYetMakesTheFileItNames) {
  fs::create_symlink("made.txt", folder() / "link");
  replace(folder() / "link", "new");
  EXPECT_TRUE(fs::is_symlink(folder() / "link"));
  EXPECT_EQ(contents(folder() / "made.txt"), "new");
}

TEST_F(FileReplace, DeviceIsWrittenInPlaceNeverReplaced) {
  fs::create_symlink("/dev/null", folder() / "sink");
  ReplacingFile file((folder() / "sink").string());
  EXPECT_EQ(file.temporaryPath(), "/dev/null");
  EXPECT_TRUE(file.commit().ok());
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink(folder() / "sink"));
}

TEST_F(FileReplace, FolderThatCannotTakeTheTemporaryFileNamesTheTarget) {
  ReplacingFile file((folder() / "missing" / "out.txt").string());
  EXPECT_TRUE(file.temporaryPath().empty());
  const Status status = file.commit();
  EXPECT_EQ(status.message(),
            "Cannot write " + (folder() / "missing" / "out.txt").string() + ": No such file or directory");
}

}  // namespace
}  // namespace filamorph
