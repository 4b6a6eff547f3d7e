#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <utility>

#include "EdgeTestSupport.h"
#include "edges/EdgeDetector.h"
#include "image/BmpFile.h"
#include "image/KernelPairConvolution.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

using testing::contents;
using testing::setDefaultParameters;
using testing::setGray;

// The plain loop the fast convolution must match bit for bit: one float sum
// per output pixel, kernel rows outer, kernel columns inner, mirrored taps.
Plane<float> referenceConvolution(const GrayImage& image) {
  Plane<float> out;
  out.allocate(image.rows, image.cols, /*zeroFill=*/true);
  for (int32_t r = image.kernelRowHalf; r <= image.rows - image.kernelRowHalf - 1; ++r) {
    for (int32_t c = image.kernelColHalf; c <= image.cols - image.kernelColHalf - 1; ++c) {
      float sum = 0.0f;
      for (int32_t l = 0; l < image.kernelRows; ++l)
        for (int32_t k = 0; k < image.kernelCols; ++k)
          sum += image.kernel[l][k] * image.grayPlane[r + image.kernelRowHalf - l][c + image.kernelColHalf - k];
      out[r][c] = image.kernelScale * sum;
    }
  }
  return out;
}

void expectBitIdentical(const Plane<float>& actual, const Plane<float>& expected) {
  ASSERT_EQ(actual.rows(), expected.rows());
  ASSERT_EQ(actual.cols(), expected.cols());
  EXPECT_EQ(std::memcmp(actual.data(), expected.data(), actual.size() * sizeof(float)), 0);
}

TEST(Convolution, MatchesPlainLoopBitForBit) {
  struct Shape {
    int32_t rows, cols, n;
  };
  std::mt19937 random(12345);
  // Beside small shapes, heights that take several bands of output rows, one
  // of them with kernel rows reaching further than a band.
  for (const Shape shape : {Shape{40, 70, 5}, Shape{33, 97, 5}, Shape{20, 35, 0}, Shape{17, 18, 1}, Shape{30, 45, 3},
                            Shape{31, 64, 7}, Shape{11, 11, 5}, Shape{150, 37, 5}, Shape{200, 90, 40}}) {
    SCOPED_TRACE(::testing::Message() << shape.rows << " x " << shape.cols << ", N = " << shape.n);
    EdgeDetector detector;
    setGray(detector, shape.rows, shape.cols, [&](int32_t, int32_t) { return static_cast<uint8_t>(random() & 0xFF); });
    setDefaultParameters(detector);
    detector.setTau(0.8f);  // oscillating taps of both signs
    detector.setFilterLength(shape.n);
    detector.buildSmoothingKernel();
    detector.convolve();
    expectBitIdentical(detector.filteredPlane, referenceConvolution(detector));
    detector.buildVerticalDerivativeKernel();
    detector.convolve();
    expectBitIdentical(detector.filteredPlane, referenceConvolution(detector));
  }
}

TEST(Convolution, MatchesPlainLoopOnAPhotograph) {
  ImageControl image;
  ASSERT_TRUE(readBmpFile(filamorph::testing::testImage("a_camera_256x256_8gray.bmp").string(), image.picture).ok());
  EdgeDetector detector;
  ASSERT_TRUE(detector.importBitmap(image).ok());
  setDefaultParameters(detector);
  detector.buildSmoothingKernel();
  detector.convolve();
  expectBitIdentical(detector.filteredPlane, referenceConvolution(detector));
  detector.buildHorizontalDerivativeKernel();
  detector.convolve();
  expectBitIdentical(detector.filteredPlane, referenceConvolution(detector));
}

// The one-pass pair against convolve() with each kernel in turn: the
// derivative pair (weights equal, opposite or zero at each place) as detection
// runs it, and the smoothing kernel beside a derivative (distinct weights).
TEST(Convolution, KernelPairMatchesEachKernelAlone) {
  struct Case {
    int32_t rows, cols, n;
    float tau;  // 0.1 two exponentials, 0.8 damped oscillation, 0 one exponential
  };
  std::mt19937 random(2024);
  for (const Case c : {Case{40, 70, 5, 0.1f}, Case{33, 97, 5, 0.8f}, Case{17, 18, 1, 0.0f}, Case{31, 300, 7, 0.8f},
                       Case{11, 11, 5, 0.1f}, Case{9, 30, 5, 0.1f}, Case{20, 35, 0, 0.1f}, Case{150, 40, 5, 0.8f},
                       Case{200, 90, 40, 0.1f}}) {
    SCOPED_TRACE(::testing::Message() << c.rows << " x " << c.cols << ", N = " << c.n << ", tau = " << c.tau);
    EdgeDetector detector;
    setGray(detector, c.rows, c.cols, [&](int32_t, int32_t) { return static_cast<uint8_t>(random() & 0xFF); });
    setDefaultParameters(detector);
    detector.setTau(c.tau);
    detector.setFilterLength(c.n);

    detector.computeGradients();
    detector.buildVerticalDerivativeKernel();
    detector.convolve();
    expectBitIdentical(detector.gradientY, detector.filteredPlane);
    detector.buildHorizontalDerivativeKernel();
    detector.convolve();
    expectBitIdentical(detector.gradientX, detector.filteredPlane);

    detector.buildSmoothingKernel();
    const Plane<float> smoothing = std::move(detector.kernel);
    const float smoothingScale = detector.kernelScale;
    detector.buildVerticalDerivativeKernel();
    Plane<float> smoothed;
    Plane<float> derivative;
    convolveKernelPair(detector, PairKernel{smoothing, smoothingScale}, smoothed,
                       PairKernel{detector.kernel, detector.kernelScale}, derivative);
    detector.convolve();
    expectBitIdentical(derivative, detector.filteredPlane);
    detector.kernel.allocate(smoothing.rows(), smoothing.cols());
    std::memcpy(detector.kernel.data(), smoothing.data(), smoothing.size() * sizeof(float));
    detector.kernelScale = smoothingScale;
    detector.convolve();
    expectBitIdentical(smoothed, detector.filteredPlane);
  }
}

TEST(Convolution, IsATrueConvolution) {
  // The response to a single bright pixel is the kernel itself, unmirrored.
  EdgeDetector detector;
  setGray(detector, 15, 15, [](int32_t r, int32_t c) { return static_cast<uint8_t>(r == 7 && c == 7 ? 1 : 0); });
  setDefaultParameters(detector);
  detector.setFilterLength(2);
  detector.buildVerticalDerivativeKernel();
  detector.convolve();
  for (int32_t j = -2; j <= 2; ++j)
    for (int32_t i = -2; i <= 2; ++i) EXPECT_EQ(detector.filteredPlane[7 + j][7 + i], detector.kernel[2 + j][2 + i]);
}

TEST(Convolution, MarginIsZeroWhateverRanBefore) {
  EdgeDetector detector;
  setGray(detector, 20, 20, [](int32_t r, int32_t c) { return static_cast<uint8_t>(r * 10 + c); });
  setDefaultParameters(detector);
  detector.setFilterLength(1);
  detector.buildSmoothingKernel();
  detector.convolve();
  detector.setFilterLength(5);
  detector.buildSmoothingKernel();
  detector.convolve();
  for (int32_t r = 0; r < 20; ++r) {
    for (int32_t c = 0; c < 20; ++c) {
      if (r < 5 || r > 14 || c < 5 || c > 14) {
        EXPECT_EQ(detector.filteredPlane[r][c], 0.0f) << r << "," << c;
      }
    }
  }
}

TEST(Convolution, ImageNarrowerThanKernelGivesZeroPlane) {
  EdgeDetector detector;
  setGray(detector, 30, 10, [](int32_t, int32_t) { return uint8_t{200}; });
  setDefaultParameters(detector);
  detector.buildSmoothingKernel();
  detector.convolve();
  ASSERT_EQ(detector.filteredPlaneAllocated, 1);
  EXPECT_EQ(contents(detector.filteredPlane), std::vector<float>(300, 0.0f));
}

TEST(Convolution, HorizontalEdgeGivesEqualVerticalResponseOnBothSides) {
  // Dark top half, bright bottom half: the middle row of the vertical kernel
  // is zero, so the two rows next to the edge respond equally and positively,
  // and nothing responds horizontally.
  EdgeDetector detector;
  setGray(detector, 20, 20, [](int32_t r, int32_t) { return static_cast<uint8_t>(r < 10 ? 40 : 200); });
  setDefaultParameters(detector);
  detector.detectEdges();
  for (int32_t c = 5; c <= 14; ++c) {
    EXPECT_GT(detector.gradientY[9][c], 0.0f);
    EXPECT_EQ(detector.gradientY[9][c], detector.gradientY[10][c]);
    EXPECT_GT(detector.gradientY[9][c], detector.gradientY[8][c]);
  }
  // Along the edge the float sums of the antisymmetric taps cancel only up to rounding.
  for (int32_t r = 0; r < 20; ++r)
    for (int32_t c = 0; c < 20; ++c) EXPECT_NEAR(detector.gradientX[r][c], 0.0f, 1e-4f);
}

TEST(Smoothing, KeepsMeanAndMarginAndSkipsSmallImages) {
  EdgeDetector detector;
  setGray(detector, 24, 26, [](int32_t r, int32_t c) { return static_cast<uint8_t>((r * 37 + c * 11) % 256); });
  setDefaultParameters(detector);
  const std::vector<uint8_t> before = contents(detector.grayPlane);
  detector.smoothGrayPlane();
  double sumBefore = 0.0;
  double sumAfter = 0.0;
  for (int32_t r = 0; r < 24; ++r) {
    for (int32_t c = 0; c < 26; ++c) {
      const uint8_t original = before[static_cast<std::size_t>(r * 26 + c)];
      if (r < 5 || r > 18 || c < 5 || c > 20) {
        EXPECT_EQ(detector.grayPlane[r][c], original) << r << "," << c;
      } else {
        sumBefore += original;
        sumAfter += detector.grayPlane[r][c];
      }
    }
  }
  // Truncation costs at most one level per pixel; a wrong scale would cost a fifth of the mean.
  const double pixels = 14.0 * 16.0;
  EXPECT_NEAR(sumAfter / pixels, sumBefore / pixels, 8.0);

  EdgeDetector small;
  setGray(small, 10, 40, [](int32_t r, int32_t c) { return static_cast<uint8_t>(r * c); });
  setDefaultParameters(small);
  const std::vector<uint8_t> smallBefore = contents(small.grayPlane);
  small.smoothGrayPlane();
  EXPECT_EQ(contents(small.grayPlane), smallBefore);
}

// Smoothing writes each band back into the gray plane while later bands still
// need the original levels above them: it must give the clamped convolution
// of the unchanged plane, on heights of one band and of several.
TEST(Smoothing, GivesTheClampedConvolutionOfTheOriginalPlane) {
  struct Shape {
    int32_t rows, cols, n;
  };
  std::mt19937 random(99);
  for (const Shape shape : {Shape{24, 26, 5}, Shape{64, 20, 2}, Shape{150, 37, 5}, Shape{300, 17, 7}, Shape{200, 90, 40}}) {
    SCOPED_TRACE(::testing::Message() << shape.rows << " x " << shape.cols << ", N = " << shape.n);
    EdgeDetector detector;
    setGray(detector, shape.rows, shape.cols, [&](int32_t r, int32_t c) {
      return static_cast<uint8_t>(128 + 100 * std::sin(r * 0.3) * std::cos(c * 0.2) + (random() % 25));
    });
    setDefaultParameters(detector);
    detector.setTau(0.8f);  // overshoots, so the clamp matters
    detector.setFilterLength(shape.n);
    detector.buildSmoothingKernel();
    const Plane<float> expected = referenceConvolution(detector);
    std::vector<uint8_t> smoothed = contents(detector.grayPlane);
    for (int32_t r = shape.n; r < shape.rows - shape.n; ++r) {
      for (int32_t c = shape.n; c < shape.cols - shape.n; ++c) {
        const float v = expected[r][c];
        smoothed[static_cast<std::size_t>(r * shape.cols + c)] =
            v > 255.0f ? 255 : (v >= 0.0f ? static_cast<uint8_t>(v) : 0);
      }
    }
    detector.smoothGrayPlane();
    EXPECT_EQ(contents(detector.grayPlane), smoothed);
  }
}

TEST(Smoothing, ClampsToGrayRange) {
  // The oscillating filter overshoots at a sharp step on both sides.
  EdgeDetector detector;
  setGray(detector, 31, 31, [](int32_t, int32_t c) { return static_cast<uint8_t>(c < 15 ? 0 : 255); });
  setDefaultParameters(detector);
  detector.setTau(0.8f);
  detector.setFilterLength(7);
  detector.buildSmoothingKernel();
  detector.convolve();
  Plane<float> smoothed;
  smoothed.allocate(31, 31);
  std::memcpy(smoothed.data(), detector.filteredPlane.data(), smoothed.size() * sizeof(float));
  detector.smoothGrayPlane();
  bool sawOvershoot = false;
  for (int32_t r = 7; r <= 23; ++r) {
    for (int32_t c = 7; c <= 23; ++c) {
      const float v = smoothed[r][c];
      const uint8_t expected = v > 255.0f ? 255 : (v < 0.0f ? 0 : static_cast<uint8_t>(v));
      sawOvershoot = sawOvershoot || v > 255.0f || v < 0.0f;
      EXPECT_EQ(detector.grayPlane[r][c], expected);
    }
  }
  EXPECT_TRUE(sawOvershoot);
}

}  // namespace
}  // namespace filamorph
