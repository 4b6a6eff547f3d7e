// The subcommands against the command layer driven directly: the tool must run
// the same steps and write exactly what they produce.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/CliTestSupport.h"
#include "cli/CodecCommands.h"
#include "cli/CsvWriters.h"
#include "commands/CommandParameters.h"
#include "commands/CommandSession.h"
#include "evaluation/PngEncoding.h"
#include "image/BmpFile.h"
#include "support/TestPaths.h"

namespace filamorph::testing {
namespace {

// The two codec objects and the command layer, as the window holds them.
struct DirectSession {
  ContourCoder analysis;
  Reconstructor reconstruction;
  CommandSession session{analysis, reconstruction};

  void obtainModel(const std::string& bitmap) {
    ASSERT_TRUE(session.openImage(bitmap));
    ASSERT_TRUE(session.detectContours());
    ASSERT_TRUE(session.traceContours());
    ASSERT_TRUE(session.obtainFilamorph());
  }
  void select(int32_t keep) {
    ASSERT_TRUE(session.selectContours(kDefaultSelectionWeights.length, kDefaultSelectionWeights.curvature,
                                       kDefaultSelectionWeights.contrast, keep));
    ASSERT_TRUE(session.layModel());
  }
  // A new generator, as at the window's first reconstruction.
  void reconstruct() {
    DitherGenerator generator;
    ASSERT_TRUE(session.reconstruct(generator));
  }
};

std::string pgm(const Plane<uint8_t>& plane) {
  return "P5\n" + std::to_string(plane.cols()) + " " + std::to_string(plane.rows()) + "\n255\n" +
         std::string(reinterpret_cast<const char*>(plane.data()), plane.size());
}

// A small picture with a bright disc and a mid-gray block on a dark ground:
// a few closed contours, quick to reconstruct.
class SyntheticRoundTrip : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    bitmap = path("shapes.bmp");
    Bitmap picture = Bitmap::make24(44, 34);
    for (int32_t row = 0; row < picture.height; ++row) {
      for (int32_t col = 0; col < picture.width; ++col) {
        const int32_t dr = row - 13, dc = col - 14;
        uint8_t level = 40;
        if (dr * dr + dc * dc <= 8 * 8) level = 210;
        if (row >= 19 && row < 29 && col >= 26 && col < 38) level = 120;
        uint8_t* pixel = picture.scanLine(row) + 3 * col;
        pixel[0] = pixel[1] = pixel[2] = level;
      }
    }
    ASSERT_TRUE(writeBmpFile(bitmap, picture));
    direct.obtainModel(bitmap);
    ASSERT_GE(direct.analysis.contours.size(), 2u) << "the fixture needs contours to choose from";
  }

  std::string bitmap;
  DirectSession direct;
};

TEST_F(SyntheticRoundTrip, EncodeWritesTheFileOfTheSelectedModel) {
  direct.select(255);
  ASSERT_TRUE(direct.session.compressToFile(path("direct.flm")));

  const CliResult result = runCli({"encode", bitmap, path("tool.flm")});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(readFileBytes(folder / "tool.flm"), readFileBytes(folder / "direct.flm"));

  int64_t points = 0;
  for (const Contour& contour : direct.analysis.contours) points += contour.pointCount;
  const std::string bytes = std::to_string(readFileBytes(folder / "tool.flm").size());
  EXPECT_EQ(result.err.substr(0, result.err.find(" (")), bytes + " bytes");
  EXPECT_NE(result.err.find(" bpp), " + std::to_string(direct.analysis.contours.size()) + " contours, " +
                            std::to_string(points) + " points\n"),
            std::string::npos)
      << result.err;
}

TEST_F(SyntheticRoundTrip, KeepSelectsTheBestContoursBeforeTheFileAndThePlanes) {
  direct.select(1);
  ASSERT_TRUE(direct.session.compressToFile(path("direct.flm")));
  int32_t selected = 0;
  for (const Contour& contour : direct.analysis.contours) selected += contour.selected;
  ASSERT_LT(selected, static_cast<int32_t>(direct.analysis.contours.size()));

  ASSERT_EQ(runCli({"encode", "--keep", "1", "--weights", "0.5,0.5,0.5", bitmap, path("one.flm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "one.flm"), readFileBytes(folder / "direct.flm"));
  const CliResult info = runCli({"info", path("one.flm")});
  EXPECT_NE(info.out.find("contours: " + std::to_string(selected) + "\n"), std::string::npos) << info.out;

  // The dumps see the same selection: descriptors filled, unselected contours out of the planes.
  ASSERT_EQ(runCli({"dump", "contours", "--keep", "1", bitmap, path("contours.csv")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "contours.csv"), cli::contoursCsv(direct.analysis.contours));
  ASSERT_EQ(runCli({"dump", "sparseness", "--keep", "1", bitmap, path("sparseness.pgm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "sparseness.pgm"), pgm(direct.reconstruction.sparsenessPlane));

  // --keep all writes every contour.
  ASSERT_EQ(runCli({"encode", "--keep", "all", bitmap, path("all.flm")}).status, 0);
  EXPECT_NE(runCli({"info", path("all.flm")}).out.find("contours: " + std::to_string(direct.analysis.contours.size())),
            std::string::npos);
}

// PNG and PGM pictures are coded as the 24-bit bitmaps they convert to, so a
// gray picture gives the same file in every format.
TEST_F(SyntheticRoundTrip, EncodeTakesPngAndPgmPicturesAsTheirBitmap) {
  ASSERT_EQ(runCli({"encode", bitmap, path("bmp.flm")}).status, 0);
  ASSERT_EQ(runCli({"dump", "gray", bitmap, path("gray.pgm")}).status, 0);
  ASSERT_EQ(runCli({"encode", path("gray.pgm"), path("pgm.flm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "pgm.flm"), readFileBytes(folder / "bmp.flm"));

  const std::string pgmBytes = readFileBytes(folder / "gray.pgm");
  Plane<uint8_t> gray;
  gray.allocate(34, 44);
  ASSERT_GE(pgmBytes.size(), gray.size());
  std::copy(pgmBytes.end() - static_cast<std::ptrdiff_t>(gray.size()), pgmBytes.end(), gray.data());
  const std::vector<uint8_t> png = evaluation::encodeGrayPng(gray);
  writeFileBytes(folder / "gray.png", std::string(png.begin(), png.end()));
  ASSERT_EQ(runCli({"encode", path("gray.png"), path("png.flm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "png.flm"), readFileBytes(folder / "bmp.flm"));
}

TEST_F(SyntheticRoundTrip, ReconstructWritesTheSolvedPlaneAndItsStatistics) {
  direct.reconstruct();
  const CliResult result = runCli({"reconstruct", bitmap, path("out.bmp")});
  ASSERT_EQ(result.status, 0) << result.err;
  char statistics[96];
  std::snprintf(statistics, sizeof statistics, "%d sweeps, final mean change %.9g\n", direct.reconstruction.sweepCount,
                static_cast<double>(direct.reconstruction.meanChange));
  EXPECT_EQ(result.err, statistics);

  Bitmap written;
  ASSERT_TRUE(readBmpFile(path("out.bmp"), written));
  ASSERT_EQ(written.format, PixelFormat::Bits24);
  ASSERT_EQ(written.width, direct.reconstruction.grayPlane.cols());
  ASSERT_EQ(written.height, direct.reconstruction.grayPlane.rows());
  for (int32_t row = 0; row < written.height; ++row) {
    for (int32_t col = 0; col < written.width; ++col) {
      const uint8_t* bgr = written.scanLine(row) + 3 * col;
      const uint8_t level = direct.reconstruction.grayPlane[row][col];
      ASSERT_TRUE(bgr[0] == level && bgr[1] == level && bgr[2] == level) << row << "," << col;
    }
  }
}

TEST_F(SyntheticRoundTrip, DecodeRebuildsTheImageOfTheFileAlone) {
  ASSERT_EQ(runCli({"encode", bitmap, path("shapes.flm")}).status, 0);
  DirectSession fromFile;
  ASSERT_TRUE(fromFile.session.openCodedImage(path("shapes.flm")));
  fromFile.reconstruct();

  const CliResult decoded = runCli({"--quiet", "decode", path("shapes.flm"), path("decoded.pgm")});
  ASSERT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_EQ(decoded.err, "");
  EXPECT_EQ(readFileBytes(folder / "decoded.pgm"), pgm(fromFile.reconstruction.grayPlane));
}

// --solver converged runs the converged fill-in of the same model through the
// command layer, for decode and reconstruct alike.
TEST_F(SyntheticRoundTrip, ConvergedSolverRebuildsThroughTheCommandLayer) {
  ASSERT_EQ(runCli({"encode", bitmap, path("shapes.flm")}).status, 0);
  DirectSession fromFile;
  ASSERT_TRUE(fromFile.session.openCodedImage(path("shapes.flm")));
  DitherGenerator generator;
  ConvergedSolveReport report;
  ASSERT_TRUE(fromFile.session.reconstructConverged(generator, report));
  DitherGenerator bitmapGenerator;
  ConvergedSolveReport bitmapReport;
  ASSERT_TRUE(direct.session.reconstructConverged(bitmapGenerator, bitmapReport));

  const CliResult decoded = runCli({"decode", "--solver", "converged", path("shapes.flm"), path("decoded.pgm")});
  ASSERT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_NE(decoded.err.find("converged in " + std::to_string(report.iterations) + " conjugate-gradient steps"),
            std::string::npos)
      << decoded.err;
  EXPECT_EQ(readFileBytes(folder / "decoded.pgm"), pgm(fromFile.reconstruction.grayPlane));

  const CliResult rebuilt = runCli({"-q", "reconstruct", "--solver", "converged", bitmap, path("rebuilt.pgm")});
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_EQ(readFileBytes(folder / "rebuilt.pgm"), pgm(direct.reconstruction.grayPlane));
}

// A thin strip of extreme samples, found by fuzzing, whose held set was
// still changing when the converged fill-in's passes reached their limit:
// the held set is now sought around each cluster of overshoots, and settles.
TEST_F(CliTest, StripOfExtremeSamplesSettles) {
  const std::string file = testCodedFile("unsettled-strip.flm").string();
  DirectSession direct;
  ASSERT_TRUE(direct.session.openCodedImage(file));
  DitherGenerator generator;
  ConvergedSolveReport report;
  ASSERT_TRUE(direct.session.reconstructConverged(generator, report));
  EXPECT_TRUE(report.settled);
  EXPECT_TRUE(report.reachedTolerance);
  EXPECT_GT(report.boundPixels, 0);
  const Plane<float>& work = direct.reconstruction.workPlane;
  for (std::size_t i = 0; i < work.size(); ++i) ASSERT_TRUE(work.data()[i] >= 0.0f && work.data()[i] <= 255.0f);

  const CliResult decoded = runCli({"decode", "--solver", "converged", file, path("strip.pgm")});
  ASSERT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_NE(decoded.err.find("converged in " + std::to_string(report.iterations) + " conjugate-gradient steps"),
            std::string::npos)
      << decoded.err;
}

// A solve stopped at the pass limit with its held set still changing, or
// short of its tolerance, is not reported as converged.
TEST(ConvergedSolveStatistic, AnUnfinishedSolveSaysSo) {
  ConvergedSolveReport report;
  report.iterations = 1682;
  report.passes = 50;
  report.boundPixels = 40;
  report.relativeResidual = 6.3e-9;
  EXPECT_EQ(cli::convergedSolveStatistic(report),
            "converged in 1682 conjugate-gradient steps (50 passes), 40 pixels at 0 or 255, relative residual 6.3e-09");
  report.reachedTolerance = false;
  EXPECT_EQ(cli::convergedSolveStatistic(report),
            "stopped short of the tolerance after 1682 conjugate-gradient steps (50 passes), 40 pixels at 0 or 255, "
            "relative residual 6.3e-09");
  report.settled = false;
  EXPECT_EQ(cli::convergedSolveStatistic(report),
            "stopped unsettled at the pass limit after 1682 conjugate-gradient steps (50 passes), 40 pixels at 0 or "
            "255, relative residual 6.3e-09");
}

TEST_F(SyntheticRoundTrip, PlaneDumpsWriteTheBytesAsPgmAndTheViewsAsBitmaps) {
  ContourCoder opened;
  Reconstructor unused;
  CommandSession openOnly(opened, unused);
  ASSERT_TRUE(openOnly.openImage(bitmap));
  ASSERT_EQ(runCli({"dump", "gray", bitmap, path("gray.pgm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "gray.pgm"), pgm(opened.grayPlane));
  ASSERT_EQ(runCli({"dump", "smoothed", bitmap, path("smoothed.pgm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "smoothed.pgm"), pgm(direct.analysis.grayPlane));
  ASSERT_EQ(runCli({"dump", "edges", bitmap, path("edges.pgm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "edges.pgm"), pgm(direct.analysis.edgeMap));
  ASSERT_EQ(runCli({"dump", "depth", bitmap, path("depth.pgm")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "depth.pgm"), pgm(direct.reconstruction.depthPlane));

  // The bitmaps show what the edge-map and model views show.
  ASSERT_EQ(runCli({"dump", "edges", bitmap, path("edges.bmp")}).status, 0);
  ASSERT_EQ(runCli({"dump", "depth", bitmap, path("depth.bmp")}).status, 0);
  Bitmap edges, depth;
  ASSERT_TRUE(readBmpFile(path("edges.bmp"), edges));
  ASSERT_TRUE(readBmpFile(path("depth.bmp"), depth));
  bool anyEdge = false, anyModel = false;
  for (int32_t row = 0; row < edges.height; ++row) {
    for (int32_t col = 0; col < edges.width; ++col) {
      const uint8_t code = direct.analysis.edgeMap[row][col];
      const uint8_t level = direct.reconstruction.depthPlane[row][col];
      anyEdge |= code != 0;
      anyModel |= level != 0;
      ASSERT_EQ(edges.scanLine(row)[3 * col], code != 0 ? 255 : 0) << row << "," << col;
      ASSERT_EQ(depth.scanLine(row)[3 * col], static_cast<uint8_t>(255 * level)) << row << "," << col;
    }
  }
  EXPECT_TRUE(anyEdge && anyModel);
}

TEST_F(SyntheticRoundTrip, StandardInputAndOutputCarryTheSameBytesAsFiles) {
  ASSERT_EQ(runCli({"encode", bitmap, path("file.flm")}).status, 0);

  // Standard input read from the bitmap; the coded file on standard output.
  std::FILE* input = std::freopen(bitmap.c_str(), "rb", stdin);
  ASSERT_NE(input, nullptr);
  const CliResult piped = runCli({"encode", "-", "-"});
  std::clearerr(stdin);
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, readFileBytes(folder / "file.flm"));

  ASSERT_TRUE(std::freopen(path("file.flm").c_str(), "rb", stdin));
  const CliResult dumped = runCli({"dump", "points", "-", "-"});
  std::clearerr(stdin);
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  ASSERT_EQ(runCli({"dump", "points", path("file.flm"), path("points.csv")}).status, 0);
  EXPECT_EQ(dumped.out, readFileBytes(folder / "points.csv"));
  EXPECT_EQ(folderContents(), (std::vector<std::string>{"file.flm", "points.csv", "shapes.bmp"}));
}

// The sample photograph end to end: encode, inspect, decode.
TEST_F(CliTest, PhotographRoundTripThroughACodedFile) {
  const std::string photograph = (sourceDir() / "samples" / "coffee.bmp").string();
  const CliResult encoded = runCli({"encode", photograph, path("coffee.flm")});
  ASSERT_EQ(encoded.status, 0) << encoded.err;
  const std::string file = readFileBytes(folder / "coffee.flm");
  ASSERT_GE(file.size(), 2u);
  EXPECT_EQ(file.substr(0, 2), "\xFF\xD0");

  // The model as read, with its normals: the tool's dump equals the command layer's.
  DirectSession direct;
  ASSERT_TRUE(direct.session.openCodedImage(path("coffee.flm")));
  ASSERT_FALSE(direct.analysis.contours.empty());
  ASSERT_LE(direct.analysis.contours.size(), 255u);
  ASSERT_EQ(runCli({"dump", "points", path("coffee.flm"), path("points.csv")}).status, 0);
  EXPECT_EQ(readFileBytes(folder / "points.csv"), cli::pointsCsv(direct.analysis.contours));

  int64_t points = 0;
  for (const Contour& contour : direct.analysis.contours) points += contour.pointCount;
  char expectedInfo[256];
  std::snprintf(expectedInfo, sizeof expectedInfo,
                "width: 130\nheight: 128\ncontours: %zu\npoints: %lld\nbytes: %zu\nbits per pixel: %.3f\n",
                direct.analysis.contours.size(), static_cast<long long>(points), file.size(),
                static_cast<double>(file.size()) * 8.0 / (130.0 * 128.0));
  const CliResult info = runCli({"info", path("coffee.flm")});
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_EQ(info.out, expectedInfo);

  const CliResult decoded = runCli({"decode", path("coffee.flm"), path("coffee.pgm")});
  ASSERT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_NE(decoded.err.find(" sweeps, final mean change "), std::string::npos) << decoded.err;
  const std::string image = readFileBytes(folder / "coffee.pgm");
  const std::string header = "P5\n130 128\n255\n";
  EXPECT_EQ(image.substr(0, header.size()), header);
  EXPECT_EQ(image.size(), header.size() + 130 * 128);
}

}  // namespace
}  // namespace filamorph::testing
