// Exit statuses and messages of failing runs, and that a failing run leaves nothing at OUT.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "support/TestPaths.h"

namespace filamorph::testing {
namespace {

struct FailureCase {
  const char* label;
  std::vector<std::string> arguments;  // {in} and {out} stand for files of the scratch folder
  int status;
  const char* stderrPart;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.label; }

// A coded file whose size segment is followed by an unknown segment marker.
const std::string kUnknownMarkerFile("\xFF\xD0\x08\x03\x05\xFF\x42\x00", 8);

class FailingRun : public CliTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailingRun, ExitsWithItsStatusAndWritesNothing) {
  writeFileBytes(folder / "unknown-marker.flm", kUnknownMarkerFile);
  writeFileBytes(folder / "truncated.flm", std::string("\xFF\xD0", 2));
  const std::vector<std::string> before = folderContents();

  std::vector<std::string> arguments;
  for (const std::string& argument : GetParam().arguments) {
    if (argument.starts_with("data:")) {
      arguments.push_back(testImage(argument.substr(5)).string());
    } else if (argument.starts_with("scratch:")) {
      arguments.push_back(path(argument.substr(8)));
    } else {
      arguments.push_back(argument);
    }
  }
  const CliResult result = runCli(arguments);

  EXPECT_EQ(result.status, GetParam().status) << result.err;
  EXPECT_NE(result.err.find(GetParam().stderrPart), std::string::npos) << result.err;
  EXPECT_EQ(folderContents(), before) << "a failed run left a file behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cli, FailingRun,
    ::testing::Values(
        FailureCase{"UnsupportedPixelFormatDump", {"dump", "gray", "data:bmpsuite/g/pal4.bmp", "scratch:out.pgm"},
                    3, "Does not support this Pixel Format.\n"},
        FailureCase{"CompressedBitmapEncode", {"encode", "data:bmpsuite/g/pal4rle.bmp", "scratch:out.flm"}, 3,
                    "Does not support this Pixel Format.\n"},
        FailureCase{"MissingBitmap", {"encode", "scratch:missing.bmp", "scratch:out.flm"}, 2, "missing.bmp"},
        FailureCase{"MissingCodedFile", {"decode", "scratch:missing.flm", "scratch:out.pgm"}, 2, "missing.flm"},
        FailureCase{"UnknownSegmentMarker", {"decode", "scratch:unknown-marker.flm", "scratch:out.pgm"}, 2,
                    "End of the file"},
        FailureCase{"CodedFileCutShort", {"info", "scratch:truncated.flm"}, 2, "truncated.flm"},
        FailureCase{"BitmapGivenToDecode", {"decode", "data:a_coffee_130x128_24.bmp", "scratch:out.pgm"}, 2,
                    "not a coded file"},
        FailureCase{"CodedFileGivenToReconstruct", {"reconstruct", "scratch:unknown-marker.flm", "scratch:out.pgm"},
                    2, "takes a bitmap"},
        FailureCase{"OutputFolderMissing", {"encode", "data:a_coffee_130x128_24.bmp", "scratch:no/out.flm"}, 2,
                    "no/out.flm"},
        FailureCase{"UnknownImageExtension", {"dump", "gray", "data:a_coffee_130x128_24.bmp", "scratch:out.png"},
                    1, ".pgm or .bmp"},
        FailureCase{"KeepNotACount", {"encode", "--keep", "many", "data:a_coffee_130x128_24.bmp", "scratch:o.flm"},
                    1, "--keep"},
        FailureCase{"WeightsNotThree", {"encode", "--weights", "1,2", "data:a_coffee_130x128_24.bmp",
                                        "scratch:o.flm"},
                    1, "--weights"},
        FailureCase{"WeightsWithoutSelection", {"reconstruct", "--weights", "1,1,1",
                                                "data:a_coffee_130x128_24.bmp", "scratch:out.pgm"},
                    1, "--keep"},
        FailureCase{"SelectionOfACodedFile", {"dump", "contours", "--keep", "3", "scratch:unknown-marker.flm",
                                              "scratch:out.csv"},
                    1, "bitmap"},
        FailureCase{"UnknownOption", {"encode", "--fast", "data:a_coffee_130x128_24.bmp", "scratch:out.flm"}, 1,
                    "--fast"},
        FailureCase{"UnknownSolver", {"decode", "--solver", "fast", "scratch:unknown-marker.flm", "scratch:out.pgm"},
                    1, "--solver"},
        FailureCase{"MissingOperand", {"decode", "scratch:unknown-marker.flm"}, 1, "OUT"},
        FailureCase{"NoCommand", {}, 1, "subcommand"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.label); });

TEST_F(CliTest, FailedRunKeepsAnExistingOutputAsItWas) {
  writeFileBytes(folder / "out.flm", "earlier result");
  const CliResult result = runCli({"encode", testImage("bmpsuite/g/pal4.bmp").string(), path("out.flm")});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.err, "Does not support this Pixel Format.\n");  // the codec's message alone
  EXPECT_EQ(readFileBytes(folder / "out.flm"), "earlier result");
  EXPECT_EQ(folderContents(), std::vector<std::string>{"out.flm"});
}

TEST(CliHelp, DocumentsTheExitStatuses) {
  const CliResult result = runCli({"--help"});
  EXPECT_EQ(result.status, 0);
  for (const char* line : {"0  success", "1  usage error", "2  input/output error", "3  unsupported pixel format"}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace filamorph::testing
