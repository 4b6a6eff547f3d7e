// A corpus split into shards and merged again: the shard arithmetic, the result folders and report.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "EvaluationFixture.h"
#include "ToolRun.h"
#include "evaluation/Shard.h"

namespace filamorph::evaluation {
namespace {

using testing::readText;
using testing::runTool;
using testing::ToolRun;

TEST(Shard, ParsesOnlyKOfNWithKBelowN) {
  struct Case {
    const char* text;
    std::optional<std::pair<unsigned, unsigned>> shard;
  };
  const Case cases[] = {
      {"0/1", {{0, 1}}},       {"3/4", {{3, 4}}},      {"4/4", std::nullopt},   {"1/0", std::nullopt},
      {"-1/2", std::nullopt},  {"1", std::nullopt},    {"1/", std::nullopt},    {"/2", std::nullopt},
      {"1/2/3", std::nullopt}, {" 1/2", std::nullopt}, {"0x1/2", std::nullopt}, {"99999999999/2", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<Shard> shard = parseShard(c.text);
    ASSERT_EQ(shard.has_value(), c.shard.has_value()) << c.text;
    if (shard) {
      EXPECT_EQ(std::make_pair(shard->index, shard->count), *c.shard) << c.text;
    }
  }
}

TEST(Shard, EveryImageFallsInExactlyOneShardWhateverTheListOrder) {
  const std::vector<std::string> images{"e.bmp", "b.bmp", "g.bmp", "a.bmp", "d.bmp", "c.bmp", "f.bmp"};
  // Sorted, b and e hold ranks 1 and 4; their places in the list are 1 and 0.
  EXPECT_EQ(shardPositions(images, {1, 3}), (std::vector<std::size_t>{0, 1}));
  const std::vector<std::string> reversed(images.rbegin(), images.rend());
  for (unsigned count : {1u, 2u, 3u, 7u, 9u}) {
    std::vector<std::string> covered;
    for (unsigned index = 0; index < count; ++index) {
      std::vector<std::string> part;
      for (std::size_t position : shardPositions(images, {index, count})) part.push_back(images[position]);
      std::vector<std::string> partOfReversed;
      for (std::size_t position : shardPositions(reversed, {index, count})) {
        partOfReversed.push_back(reversed[position]);
      }
      std::sort(part.begin(), part.end());
      std::sort(partOfReversed.begin(), partOfReversed.end());
      EXPECT_EQ(part, partOfReversed) << index << "/" << count;
      covered.insert(covered.end(), part.begin(), part.end());
    }
    std::sort(covered.begin(), covered.end());
    std::vector<std::string> sorted = images;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(covered, sorted) << count << " shards";
  }
}

// The CSV without its stage times, which differ from run to run.
std::string withoutStageTimes(const std::string& csv) {
  std::istringstream lines(csv);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, ',');) fields.push_back(field);
    EXPECT_EQ(fields.size(), 28u) << line;
    fields.erase(fields.begin() + 26);                       // converged_reconstruction_ms
    fields.erase(fields.begin() + 16, fields.begin() + 23);  // import_ms to reconstruction_ms
    for (const std::string& field : fields) kept += field + ",";
    kept += "\n";
  }
  return kept;
}

// The report page without the summary table's total time of each image.
// The summary table without its two time cells: the total after the JPEG
// columns, and the converged solve's at the end of the row.
std::string withoutTotalTimes(const std::string& html) {
  const std::string total = std::regex_replace(html, std::regex("(<td class=\"jpeg\">[^<]*</td>)<td>[0-9.]+</td>"),
                                               "$1<td></td>");
  return std::regex_replace(total, std::regex("<td>[0-9.]+</td></tr>"), "<td></td></tr>");
}

using ShardMergeTest = testing::EvaluationTest;

TEST_F(ShardMergeTest, TwoShardsMergedGiveTheSingleRunsCsvAndReport) {
  // Not in sorted order: the merge follows the list as given.
  const std::vector<std::string> images{sampleCrop("c.bmp", 70, 80, 40, 32), file("a-missing.bmp"),
                                        sampleCrop("d.bmp", 10, 10, 24, 20), sampleCrop("b.bmp", 50, 30, 32, 24)};
  auto eval = [&](std::vector<std::string> options) {
    std::vector<std::string> arguments{"eval", "-q", "--keep", "5", "--jobs", "1"};
    arguments.insert(arguments.end(), images.begin(), images.end());
    arguments.insert(arguments.end(), options.begin(), options.end());
    return runTool(arguments);
  };
  const ToolRun single = eval({"--csv", file("single.csv"), "--report", file("single")});
  const ToolRun first = eval({"--shard", "0/2", "--out", file("shard0")});
  const ToolRun second = eval({"--shard", "1/2", "--out", file("shard1")});
  // The missing image fails in one shard and in the merge, as in the single run.
  EXPECT_EQ(single.status, 2) << single.err;
  EXPECT_EQ(first.status + second.status, 2) << first.err << second.err;

  const ToolRun merged = runTool(
      {"report", "-q", file("shard0"), file("shard1"), "--csv", file("merged.csv"), "--report", file("merged")});
  EXPECT_EQ(merged.status, 2) << merged.err;
  EXPECT_NE(merged.err.find("1 of 4 images could not be measured"), std::string::npos) << merged.err;
  const std::string csv = readText(file("single.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
  EXPECT_EQ(withoutStageTimes(readText(file("merged.csv"))), withoutStageTimes(csv));
  EXPECT_EQ(withoutTotalTimes(readText(file("merged/report.html"))),
            withoutTotalTimes(readText(file("single/report.html"))));
}

TEST_F(ShardMergeTest, ReportRefusesResultsOfDifferentContourChoices) {
  const std::string crop = sampleCrop("a.bmp", 70, 80, 24, 20);
  ASSERT_EQ(runTool({"eval", "-q", crop, "--keep", "3", "--out", file("three")}).status, 0);
  ASSERT_EQ(runTool({"eval", "-q", crop, "--keep", "4", "--out", file("four")}).status, 0);
  const ToolRun merged = runTool({"report", file("three"), file("four")});
  EXPECT_EQ(merged.status, 2);
  EXPECT_NE(merged.err.find("other contours"), std::string::npos) << merged.err;

  ASSERT_EQ(runTool({"eval", "-q", crop, "--keep", "3", "--out", file("again")}).status, 0);
  EXPECT_NE(runTool({"report", file("three"), file("again")}).err.find("measured twice"), std::string::npos);
}

}  // namespace
}  // namespace filamorph::evaluation
