// PSNR and SSIM against values known in closed form and against a direct,
// unseparated evaluation of the SSIM definition.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include "evaluation/Metrics.h"

namespace filamorph::evaluation {
namespace {

// A deterministic textured plane with levels in [low, low + span).
Plane<uint8_t> texture(int rows, int cols, uint32_t seed, int low, int span) {
  Plane<uint8_t> plane;
  plane.allocate(rows, cols);
  uint32_t state = seed;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      state = state * 1664525u + 1013904223u;
      const int smooth = (r * 7 + c * 3) % span;
      const int noise = static_cast<int>((state >> 24) % 17);
      plane[r][c] = static_cast<uint8_t>(low + (smooth + noise) % span);
    }
  }
  return plane;
}

Plane<uint8_t> shifted(const Plane<uint8_t>& plane, int offset) {
  Plane<uint8_t> out;
  out.allocate(plane.rows(), plane.cols());
  for (std::size_t i = 0; i < plane.size(); ++i) out.data()[i] = static_cast<uint8_t>(plane.data()[i] + offset);
  return out;
}

// The definition read literally: a 2-D Gaussian window at every valid
// position, statistics summed in two dimensions at once.
double directSsim(const Plane<uint8_t>& a, const Plane<uint8_t>& b) {
  const int half = kSsimWindow / 2;
  double weights[kSsimWindow][kSsimWindow];
  double total = 0.0;
  for (int i = 0; i < kSsimWindow; ++i) {
    for (int j = 0; j < kSsimWindow; ++j) {
      const double d2 = (i - half) * (i - half) + (j - half) * (j - half);
      weights[i][j] = std::exp(-d2 / (2.0 * kSsimSigma * kSsimSigma));
      total += weights[i][j];
    }
  }
  const double c1 = std::pow(kSsimK1 * 255.0, 2);
  const double c2 = std::pow(kSsimK2 * 255.0, 2);
  double sum = 0.0;
  int count = 0;
  for (int r = 0; r + kSsimWindow <= a.rows(); ++r) {
    for (int c = 0; c + kSsimWindow <= a.cols(); ++c) {
      double mx = 0, my = 0;
      for (int i = 0; i < kSsimWindow; ++i) {
        for (int j = 0; j < kSsimWindow; ++j) {
          mx += weights[i][j] / total * a[r + i][c + j];
          my += weights[i][j] / total * b[r + i][c + j];
        }
      }
      double vx = 0, vy = 0, cxy = 0;
      for (int i = 0; i < kSsimWindow; ++i) {
        for (int j = 0; j < kSsimWindow; ++j) {
          const double w = weights[i][j] / total;
          vx += w * (a[r + i][c + j] - mx) * (a[r + i][c + j] - mx);
          vy += w * (b[r + i][c + j] - my) * (b[r + i][c + j] - my);
          cxy += w * (a[r + i][c + j] - mx) * (b[r + i][c + j] - my);
        }
      }
      sum += ((2 * mx * my + c1) * (2 * cxy + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2));
      ++count;
    }
  }
  return sum / count;
}

TEST(Metrics, IdenticalImagesHaveInfinitePsnrAndSsimOne) {
  const Plane<uint8_t> image = texture(24, 31, 7, 0, 256);
  EXPECT_EQ(psnr(image, image), std::numeric_limits<double>::infinity());
  EXPECT_DOUBLE_EQ(ssim(image, image), 1.0);
}

TEST(Metrics, ConstantOffsetGivesClosedFormPsnr) {
  const Plane<uint8_t> image = texture(16, 19, 3, 0, 200);
  for (int k : {1, 5, 20, 55}) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(psnr(image, shifted(image, k)), 10.0 * std::log10(255.0 * 255.0 / (k * k)), 1e-12);
  }
}

TEST(Metrics, SsimOfConstantOffsetLeavesOnlyTheLuminanceTerm) {
  // Variances and covariance are equal under an offset, so each window's
  // SSIM is (2 mx my + C1) / (mx^2 + my^2 + C1).
  const Plane<uint8_t> image = texture(20, 20, 11, 10, 120);
  const Plane<uint8_t> offset = shifted(image, 30);
  const double value = ssim(image, offset);
  EXPECT_NEAR(value, directSsim(image, offset), 1e-12);
  EXPECT_LT(value, 1.0);
  EXPECT_GT(value, 0.9);
}

TEST(Metrics, SsimMatchesTheDirectDefinition) {
  const Plane<uint8_t> a = texture(23, 29, 1, 0, 256);
  const Plane<uint8_t> b = texture(23, 29, 2, 0, 256);
  const Plane<uint8_t> c = texture(23, 29, 1, 40, 180);
  EXPECT_NEAR(ssim(a, b), directSsim(a, b), 1e-12);
  EXPECT_NEAR(ssim(a, c), directSsim(a, c), 1e-12);
  // The measure is symmetric.
  EXPECT_NEAR(ssim(a, b), ssim(b, a), 1e-12);
}

TEST(Metrics, RefusesMismatchedSizesAndGivesNanBelowTheWindow) {
  const Plane<uint8_t> a = texture(12, 12, 1, 0, 256);
  const Plane<uint8_t> b = texture(12, 13, 1, 0, 256);
  EXPECT_THROW(psnr(a, b), std::invalid_argument);
  EXPECT_THROW(ssim(a, b), std::invalid_argument);
  const Plane<uint8_t> narrow = texture(40, kSsimWindow - 1, 1, 0, 256);
  EXPECT_TRUE(std::isnan(ssim(narrow, narrow)));
  EXPECT_EQ(psnr(narrow, narrow), std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace filamorph::evaluation
