// Output that cannot be written is an error naming the user's OUT and the
// system's reason: a full device, a closed standard output, a pipe closed early.

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "cli/Application.h"
#include "cli/CliTestSupport.h"
#include "contours/ContourCoder.h"
#include "support/TestPaths.h"

namespace filamorph::testing {
namespace {

[[noreturn]] void runAndExit(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv{"filamorph"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  std::exit(cli::runFilamorph(static_cast<int>(argv.size()), argv.data()));
}

class OutputFailure : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ContourCoder coder;
    coder.width = coder.cols = 5;
    coder.height = coder.rows = 3;
    ASSERT_TRUE(coder.writeCodedFile(path("small.flm")));
  }
};

TEST_F(OutputFailure, InfoIntoAFullDeviceOrAClosedStandardOutputIsAnOutputError) {
  EXPECT_EXIT(
      {
        if (std::freopen("/dev/full", "w", stdout) == nullptr) std::abort();
        runAndExit({"info", path("small.flm")});
      },
      ::testing::ExitedWithCode(2), "filamorph: cannot write standard output: No space left on device");
  EXPECT_EXIT(
      {
        close(STDOUT_FILENO);
        runAndExit({"info", path("small.flm")});
      },
      ::testing::ExitedWithCode(2), "cannot write standard output: Bad file descriptor");
}

// The documented choice: like other filters, the tool ends quietly by SIGPIPE
// when the reader of its output has gone.
TEST_F(OutputFailure, PipeClosedByItsReaderEndsTheRunBySigpipe) {
  EXPECT_EXIT(
      {
        int ends[2];
        if (pipe(ends) != 0) std::abort();
        close(ends[0]);
        dup2(ends[1], STDOUT_FILENO);
        runAndExit({"dump", "gray", testImage("a_coffee_130x128_24.bmp").string(), "-"});
      },
      ::testing::KilledBySignal(SIGPIPE), "");
}

TEST_F(OutputFailure, FullDiskBehindOutNamesOutAndTheReason) {
  std::filesystem::create_symlink("/dev/full", folder / "table.csv");
  const CliResult result = runCli({"dump", "contours", path("small.flm"), path("table.csv")});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "filamorph: Cannot write " + path("table.csv") + ": No space left on device\n");
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full")) << "a device was replaced by a file";
  EXPECT_EQ(folderContents(), (std::vector<std::string>{"small.flm", "table.csv"}));
}

TEST_F(OutputFailure, ReplacedOutputKeepsItsModeAndStaysALink) {
  std::filesystem::create_directory(folder / "kept");
  writeFileBytes(folder / "kept" / "table.csv", "earlier table");
  std::filesystem::permissions(folder / "kept" / "table.csv", std::filesystem::perms(0444));
  std::filesystem::create_symlink("kept/table.csv", folder / "link.csv");

  const CliResult result = runCli({"dump", "contours", path("small.flm"), path("link.csv")});

  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.csv"));
  EXPECT_EQ(std::filesystem::read_symlink(folder / "link.csv"), "kept/table.csv");
  EXPECT_TRUE(readFileBytes(folder / "kept" / "table.csv").starts_with("contour,closed,"));
  EXPECT_EQ(std::filesystem::status(folder / "kept" / "table.csv").permissions(), std::filesystem::perms(0444));
  EXPECT_EQ(folderContents(), (std::vector<std::string>{"kept", "link.csv", "small.flm"}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "kept"), {}), 1) << "a temporary file was left";
}

}  // namespace
}  // namespace filamorph::testing
