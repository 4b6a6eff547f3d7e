// Coded files declaring huge images: each run is refused before it allocates,
// checked in a child process whose address space may grow by little more than
// the file itself.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Application.h"
#include "cli/CliTestSupport.h"
#include "contours/ContourCoder.h"
#include "support/TestPaths.h"

namespace filamorph::testing {
namespace {

// What a refused run may add to the address space: the file, its contour
// table and the stack, but no plane of the declared size.
constexpr rlim_t kAllocationBound = rlim_t{64} << 20;

// Lets the address space grow by at most kAllocationBound from its size now.
void limitAddressSpaceGrowth() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  const rlim_t limit = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + kAllocationBound;
  const rlimit bound{limit, limit};
  if (setrlimit(RLIMIT_AS, &bound) != 0) std::abort();
}

[[noreturn]] void runBounded(const std::vector<std::string>& arguments) {
  limitAddressSpaceGrowth();
  std::vector<const char*> argv{"filamorph"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  std::exit(cli::runFilamorph(static_cast<int>(argv.size()), argv.data()));
}

struct HostileCase {
  const char* label;
  std::vector<std::string> arguments;  // {in} stands for the coded file, {out} for a file of the scratch folder
  const char* file;                    // a fixture, or a size-only file that the test writes
  int status;
  const char* stderrPattern;
};

void PrintTo(const HostileCase& hostile, std::ostream* out) {
  *out << hostile.label;
}

// The limit is 2^28 pixels. 16384 x 16384 is exactly at it; 41605 x 6452 is
// 4 pixels over, the least that a size segment (sides below 65536) can
// declare above it.
constexpr const char* kPixelLimit = "more than the limit of 268435456 pixels";
constexpr const char* kMemoryRefusal = "this system can give now";

// A coded file of an image without contours: its size is all it declares.
void writeSizeOnlyFile(const std::string& path, int32_t rows, int32_t cols) {
  ContourCoder coder;
  coder.width = coder.cols = cols;
  coder.height = coder.rows = rows;
  ASSERT_TRUE(coder.writeCodedFile(path));
}

class HostileFile : public CliTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileFile, IsRefusedOrReadWithoutLayingItsPlanes) {
  writeSizeOnlyFile(path("at-limit.flm"), 16384, 16384);
  writeSizeOnlyFile(path("over-limit.flm"), 6452, 41605);
  const HostileCase& hostile = GetParam();
  const std::string file = hostile.file;
  const std::string in = file.starts_with("declares-") ? testCodedFile(file).string() : path(file);
  std::vector<std::string> arguments;
  for (const std::string& argument : hostile.arguments) {
    arguments.push_back(argument == "{in}" ? in : argument == "{out}" ? path("out.pgm") : argument);
  }
  const std::vector<std::string> before = folderContents();

  EXPECT_EXIT(runBounded(arguments), ::testing::ExitedWithCode(hostile.status), hostile.stderrPattern);
  EXPECT_EQ(folderContents(), before) << "a refused run wrote a file";
}

const std::vector<std::string> kInfo{"info", "{in}"};
const std::vector<std::string> kDecode{"decode", "{in}", "{out}"};

INSTANTIATE_TEST_SUITE_P(
    Cli, HostileFile,
    ::testing::Values(
        HostileCase{"Declares65535x65535Info", kInfo, "declares-65535x65535.flm", 2,
                    "declares a 65535 x 65535 image of 4294836225 pixels, more than the limit of 268435456"},
        HostileCase{"Declares65535x65535Decode", kDecode, "declares-65535x65535.flm", 2, kPixelLimit},
        HostileCase{"Declares30000x30000Info", kInfo, "declares-30000x30000.flm", 2,
                    "declares a 30000 x 30000 image of 900000000 pixels"},
        HostileCase{"Declares30000x30000Decode", kDecode, "declares-30000x30000.flm", 2, kPixelLimit},
        HostileCase{"Declares30000x30000DumpDepth",
                    {"dump", "depth", "{in}", "{out}"},
                    "declares-30000x30000.flm",
                    2,
                    kPixelLimit},
        // A user who raises the limit gets the file's summary at once, and a
        // decode refused by the memory it would take.
        HostileCase{
            "RaisedLimitInfo", {"--max-pixels", "900000000", "info", "{in}"}, "declares-30000x30000.flm", 0, ""},
        HostileCase{"RaisedLimitDecode",
                    {"decode", "--max-pixels", "900000000", "{in}", "{out}"},
                    "declares-30000x30000.flm",
                    4,
                    "the 30000 x 30000 image needs 11158 MB for the model and the solver's planes"},
        HostileCase{"AtLimitInfo", kInfo, "at-limit.flm", 0, ""},
        HostileCase{"AtLimitDecode", kDecode, "at-limit.flm", 4, kMemoryRefusal},
        HostileCase{"OverLimitInfo", kInfo, "over-limit.flm", 2, "declares a 41605 x 6452 image of 268435460 pixels"},
        HostileCase{"OverLimitDecode", kDecode, "over-limit.flm", 2, kPixelLimit},
        HostileCase{"LoweredLimit",
                    {"info", "--max-pixels", "268435455", "{in}"},
                    "at-limit.flm",
                    2,
                    "more than the limit of 268435455 pixels"}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.label); });

TEST(HostileFixtures, AreAsSmallAsTheirNames) {
  EXPECT_EQ(std::filesystem::file_size(testCodedFile("declares-65535x65535.flm")), 8u);
  EXPECT_EQ(std::filesystem::file_size(testCodedFile("declares-30000x30000.flm")), 45u);
}

TEST_F(CliTest, MaxPixelsMustBePositive) {
  const CliResult result = runCli({"--max-pixels", "0", "info", testCodedFile("declares-65535x65535.flm").string()});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("--max-pixels"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace filamorph::testing
