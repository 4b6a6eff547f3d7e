// Whole measurements on small crops of the sample photograph: independence of
// the worker count, the rate curve's reuse of one analysis, the CSV and the
// report page.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "EvaluationFixture.h"
#include "evaluation/EvaluationBatch.h"
#include "evaluation/Report.h"
#include "evaluation/ResultTable.h"

namespace filamorph::evaluation {
namespace {

using EvaluationRunTest = testing::EvaluationTest;

void expectSamePoint(const CodecPoint& a, const CodecPoint& b) {
  EXPECT_EQ(a.keep, b.keep);
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_EQ(a.contours, b.contours);
  EXPECT_EQ(a.points, b.points);
  EXPECT_EQ(a.sweeps, b.sweeps);
  EXPECT_EQ(a.psnr, b.psnr);
  EXPECT_EQ(a.ssim, b.ssim);
  EXPECT_EQ(a.convergedSteps, b.convergedSteps);
  EXPECT_EQ(a.convergedPsnr, b.convergedPsnr);
  EXPECT_EQ(a.convergedSsim, b.convergedSsim);
}

TEST_F(EvaluationRunTest, ResultsDoNotDependOnTheNumberOfWorkers) {
  const std::vector<std::string> images = {sampleCrop("a.bmp", 20, 30, 40, 36), sampleCrop("b.bmp", 70, 60, 44, 40)};
  EvaluationSettings settings;
  settings.choice.number = 4;
  const std::vector<ImageEvaluation> alone = evaluateImages(images, settings, 1);
  const std::vector<ImageEvaluation> together = evaluateImages(images, settings, 2);
  ASSERT_EQ(alone.size(), 2u);
  ASSERT_EQ(together.size(), 2u);
  for (std::size_t i = 0; i < images.size(); ++i) {
    SCOPED_TRACE(images[i]);
    ASSERT_TRUE(alone[i].ok()) << alone[i].error;
    ASSERT_TRUE(together[i].ok()) << together[i].error;
    EXPECT_EQ(alone[i].name, images[i]);
    EXPECT_EQ(together[i].name, images[i]);
    expectSamePoint(alone[i].codec, together[i].codec);
    EXPECT_EQ(alone[i].jpeg.quality, together[i].jpeg.quality);
    EXPECT_EQ(alone[i].jpeg.bytes, together[i].jpeg.bytes);
    EXPECT_GT(alone[i].codec.bytes, 0u);
    EXPECT_GT(alone[i].codec.sweeps, 0);
    EXPECT_TRUE(std::isfinite(alone[i].codec.psnr));
  }
  EXPECT_NE(alone[0].codec.bytes, alone[1].codec.bytes);
}

TEST_F(EvaluationRunTest, RateCurvePointsEqualSeparateMeasurements) {
  const std::string image = sampleCrop("c.bmp", 70, 80, 60, 48);
  // The measured file keeps 3 contours; the curve also codes every contour,
  // which must come out as if no selection had ever ranked them.
  ContourChoice few;
  few.number = 3;
  ContourChoice every;
  every.keepAll = true;
  EvaluationSettings report;
  report.choice = few;
  report.withReport = true;
  report.rateChoices = {every, few};
  ImageEvaluation swept = evaluateImage(image, report);
  ASSERT_TRUE(swept.ok()) << swept.error;
  ASSERT_EQ(swept.rateCurve.size(), 2u);
  expectSamePoint(swept.rateCurve[1], swept.codec);

  EvaluationSettings alone;
  alone.choice = every;
  const ImageEvaluation separate = evaluateImage(image, alone);
  ASSERT_TRUE(separate.ok()) << separate.error;
  expectSamePoint(swept.rateCurve[0], separate.codec);
  EXPECT_LT(swept.codec.contours, separate.codec.contours);

  ASSERT_TRUE(swept.pictures.has_value());
  const ReportPictures& pictures = *swept.pictures;
  for (const Plane<uint8_t>* plane :
       {&pictures.original, &pictures.edges, &pictures.model, &pictures.reconstruction, &pictures.jpeg}) {
    EXPECT_EQ(plane->rows(), 48);
    EXPECT_EQ(plane->cols(), 60);
  }
  EXPECT_FALSE(swept.jpegCurve.empty());

  // The page stands alone: pictures inline, the plot drawn in place.
  std::vector<ImageEvaluation> results;
  results.push_back(std::move(swept));
  const std::string html = reportHtml(results, report);
  std::size_t pictureCount = 0;
  for (std::size_t at = html.find("src=\"data:image/png;base64,"); at != std::string::npos;
       at = html.find("src=\"data:image/png;base64,", at + 1)) {
    ++pictureCount;
  }
  EXPECT_EQ(pictureCount, 6u);
  EXPECT_NE(html.find("<svg"), std::string::npos);
  EXPECT_EQ(html.find("src=\"http"), std::string::npos);
  EXPECT_EQ(html.find("href=\"http"), std::string::npos);
}

// Both solvers measure the same decoded file by default, each with a fresh
// generator; asking for one solver leaves the other's measures empty and
// changes nothing in its own.
TEST_F(EvaluationRunTest, EachSolverIsMeasuredOnItsOwn) {
  const std::string image = sampleCrop("d.bmp", 40, 50, 52, 44);
  EvaluationSettings both;
  both.choice.number = 4;
  EvaluationSettings convergedOnly = both;
  convergedOnly.exactSolver = false;
  EvaluationSettings exactOnly = both;
  exactOnly.convergedSolver = false;
  const ImageEvaluation all = evaluateImage(image, both);
  const ImageEvaluation converged = evaluateImage(image, convergedOnly);
  const ImageEvaluation exact = evaluateImage(image, exactOnly);
  for (const ImageEvaluation* result : {&all, &converged, &exact}) ASSERT_TRUE(result->ok()) << result->error;

  EXPECT_GT(all.codec.convergedSteps, 0);
  EXPECT_TRUE(std::isfinite(all.codec.convergedPsnr));
  EXPECT_EQ(converged.codec.sweeps, 0);
  EXPECT_TRUE(std::isnan(converged.codec.psnr));
  EXPECT_EQ(converged.codec.convergedPsnr, all.codec.convergedPsnr);
  EXPECT_EQ(converged.codec.convergedSteps, all.codec.convergedSteps);
  EXPECT_EQ(exact.codec.convergedSteps, 0);
  EXPECT_TRUE(std::isnan(exact.codec.convergedPsnr));
  EXPECT_EQ(exact.codec.psnr, all.codec.psnr);
  EXPECT_EQ(exact.codec.sweeps, all.codec.sweeps);
}

TEST_F(EvaluationRunTest, FailuresAreRecordedPerImage) {
  const std::vector<ImageEvaluation> results = evaluateImages(
      {file("missing.bmp"), testing::testImage("bmpsuite/g/pal4.bmp").string()}, EvaluationSettings{}, 2);
  EXPECT_EQ(results[0].failure, ErrorKind::InputOutput);
  EXPECT_EQ(results[1].failure, ErrorKind::UnsupportedPixelFormat);
  EXPECT_EQ(formatCsv(results), csvHeader());
}

ImageEvaluation measured(const std::string& name) {
  ImageEvaluation r;
  r.name = name;
  r.width = 130;
  r.height = 128;
  r.codec = {"255", 3608, 1.734615, 30, 754, 25.23441, 0.8410812, 7033, 26.71203, 0.8512346, 17};
  r.jpeg = {88, 3634, 1.747115, 40.64071, 0.9685613};
  r.times = {0.15, 1.056, 1.3134, 0.322, 0.263, 0.178, 3083.4261, 41.0376};
  r.build = "0.1 (ec4d717-dirty)";
  return r;
}

TEST(ResultTable, CsvHasAHeaderAndOneLinePerImage) {
  std::vector<ImageEvaluation> results;
  results.push_back(measured("photos/a,b.bmp"));
  results.push_back(measured("same.bmp"));
  results[1].codec.psnr = INFINITY;
  results[1].codec.ssim = NAN;
  EXPECT_EQ(formatCsv(results),
            "image,width,height,keep,bytes,bpp,contours,points,psnr_db,ssim,sweeps,"
            "jpeg_quality,jpeg_bytes,jpeg_bpp,jpeg_psnr_db,jpeg_ssim,"
            "import_ms,detection_ms,tracing_ms,model_ms,writing_ms,reading_ms,reconstruction_ms,"
            "converged_psnr_db,converged_ssim,converged_steps,converged_reconstruction_ms,build\n"
            "\"photos/a,b.bmp\",130,128,255,3608,1.734615,30,754,25.2344,0.841081,7033,"
            "88,3634,1.747115,40.6407,0.968561,0.150,1.056,1.313,0.322,0.263,0.178,3083.426,"
            "26.7120,0.851235,17,41.038,0.1 (ec4d717-dirty)\n"
            "same.bmp,130,128,255,3608,1.734615,30,754,inf,nan,7033,"
            "88,3634,1.747115,40.6407,0.968561,0.150,1.056,1.313,0.322,0.263,0.178,3083.426,"
            "26.7120,0.851235,17,41.038,0.1 (ec4d717-dirty)\n");
}

}  // namespace
}  // namespace filamorph::evaluation
