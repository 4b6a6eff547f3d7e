// The solver's progress on stderr when it is not a terminal: only with --progress, as plain lines.

#include <gtest/gtest.h>

#include <string>

#include "cli/CliTestSupport.h"
#include "support/TestPaths.h"

namespace filamorph::testing {
namespace {

TEST_F(CliTest, ProgressLinesReachALogOnlyWhenAskedFor) {
  const std::string picture = testImage("bmpsuite/g/rgb24.bmp").string();

  const CliResult plain = runCli({"reconstruct", picture, path("plain.pgm")});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err.find("reconstructing"), std::string::npos) << plain.err;

  const CliResult logged = runCli({"reconstruct", "--progress", picture, path("logged.pgm")});
  ASSERT_EQ(logged.status, 0) << logged.err;
  EXPECT_EQ(logged.err.find('\r'), std::string::npos) << "a log gets plain lines";
  EXPECT_TRUE(logged.err.starts_with("reconstructing: sweep 1, mean change ")) << logged.err;
  EXPECT_NE(logged.err.find(" (tolerance 0.0005), "), std::string::npos) << logged.err;
  // The last progress line is the last sweep, the one the statistic reports.
  const std::size_t statistic = logged.err.rfind('\n', logged.err.size() - 2) + 1;
  const std::string sweeps = logged.err.substr(statistic, logged.err.find(' ', statistic) - statistic);
  EXPECT_NE(logged.err.find("reconstructing: sweep " + sweeps + ", mean change "), std::string::npos) << logged.err;
  EXPECT_EQ(readFileBytes(folder / "logged.pgm"), readFileBytes(folder / "plain.pgm"));

  const CliResult quiet = runCli({"-q", "--progress", "reconstruct", picture, path("quiet.pgm")});
  EXPECT_TRUE(quiet.err.starts_with("reconstructing: sweep 1")) << "--progress outweighs --quiet";
  EXPECT_EQ(quiet.err.find("sweeps, final mean change"), std::string::npos) << quiet.err;
}

}  // namespace
}  // namespace filamorph::testing
