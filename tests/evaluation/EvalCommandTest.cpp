// The eval and compare subcommands: output streams, the CSV file, exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "EvaluationFixture.h"
#include "ToolRun.h"
#include "evaluation/ResultTable.h"

namespace filamorph::evaluation {
namespace {

using testing::readText;
using testing::runTool;
using testing::ToolRun;

using EvalCommandTest = testing::EvaluationTest;

TEST_F(EvalCommandTest, MeasuresWhatItCanAndReportsTheFirstFailure) {
  const std::string crop = sampleCrop("crop.bmp", 70, 80, 40, 32);
  const ToolRun run = runTool({"eval", crop, file("missing.bmp"), "--keep", "3", "--jobs", "2", "--csv", file("r.csv")});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.out.find("PSNR dB"), std::string::npos);
  EXPECT_NE(run.out.find(file("missing.bmp") + " error:"), std::string::npos);
  EXPECT_NE(run.err.find("1 of 2 images could not be measured"), std::string::npos);

  const std::string csv = readText(file("r.csv"));
  const std::string header = csvHeader();
  ASSERT_EQ(csv.rfind(header, 0), 0u);
  const std::string line = csv.substr(header.size());
  EXPECT_EQ(line.rfind(crop + ",40,32,3,", 0), 0u) << line;
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
  EXPECT_EQ(std::count(line.begin(), line.end(), ','), std::count(header.begin(), header.end(), ','));
}

TEST_F(EvalCommandTest, RefusesBadOptionsBeforeAnyWork) {
  const std::string crop = sampleCrop("crop.bmp", 0, 0, 16, 16);
  EXPECT_EQ(runTool({"eval", crop, "--jobs", "0"}).status, 1);
  EXPECT_EQ(runTool({"eval", crop, "--keep", "all", "--weights", "1,1,1"}).status, 1);
  EXPECT_EQ(runTool({"eval", crop, "--csv", file("no/such/folder/r.csv")}).status, 2);
}

TEST_F(EvalCommandTest, CompareAcrossFormats) {
  const std::string crop = sampleCrop("crop.bmp", 10, 10, 24, 20);
  const ToolRun same = runTool({"compare", crop, crop});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_EQ(same.out, "PSNR inf dB, SSIM 1.0000\n");
  // The imported gray plane written as PGM reads back to the same plane.
  const ToolRun dumped = runTool({"dump", "gray", crop, file("gray.pgm")});
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  EXPECT_EQ(runTool({"compare", crop, file("gray.pgm")}).out, "PSNR inf dB, SSIM 1.0000\n");
  EXPECT_EQ(runTool({"compare", crop, sampleCrop("other.bmp", 0, 0, 20, 20)}).status, 2);
}

}  // namespace
}  // namespace filamorph::evaluation
