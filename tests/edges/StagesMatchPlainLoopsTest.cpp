// The vector blocks of suppression and hysteresis and the pending-pixel scans
// of thinning against plain pixel-by-pixel loops, on photographs, on sizes
// that leave block remainders, and on gradients with extreme values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "EdgeTestSupport.h"
#include "base/WorkThreads.h"
#include "edges/EdgeDetector.h"
#include "image/BmpFile.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

using testing::contents;
using testing::setDefaultParameters;
using testing::setGray;

float truncated(float v) {
  return std::fabs(v) < 8388608.0f ? static_cast<float>(static_cast<int32_t>(v)) : v;
}

// Magnitude and candidates one pixel at a time, the direction cases as nested branches.
void plainSuppression(const EdgeDetector& d, Plane<float>& magnitude, Plane<uint8_t>& candidates) {
  const int32_t rows = d.gradientX.rows();
  const int32_t cols = d.gradientX.cols();
  magnitude.allocate(rows, cols);
  candidates.allocate(rows, cols, /*zeroFill=*/true);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c)
      magnitude[r][c] = std::sqrt(d.gradientX[r][c] * d.gradientX[r][c] + d.gradientY[r][c] * d.gradientY[r][c]);
  for (int32_t r = 1; r < rows - 1; ++r) {
    for (int32_t c = 1; c < cols - 1; ++c) {
      const float m0 = magnitude[r][c];
      if (m0 < 1.0f) continue;
      const float gx = d.gradientX[r][c];
      const float gy = d.gradientY[r][c];
      const float xp = -gx / m0;
      const float yp = gy / m0;
      const float ix = truncated(gx);
      const float iy = truncated(gy);
      auto M = [&](int32_t dr, int32_t dc) { return magnitude[r + dr][c + dc]; };
      float x1, y1, x2, y2;
      if (ix >= 0 && iy >= 0 && ix >= iy) {
        x1 = m0 - M(0, -1), y1 = M(-1, -1) - M(0, -1), x2 = m0 - M(0, 1), y2 = M(1, 1) - M(0, 1);
      } else if (ix >= 0 && iy >= 0) {
        x1 = M(-1, 0) - M(-1, -1), y1 = M(-1, 0) - m0, x2 = M(1, 0) - M(1, 1), y2 = M(1, 0) - m0;
      } else if (ix >= 0 && ix >= -iy) {
        x1 = m0 - M(0, -1), y1 = M(0, -1) - M(1, -1), x2 = m0 - M(0, 1), y2 = M(0, 1) - M(-1, 1);
      } else if (ix >= 0) {
        x1 = M(1, 0) - M(1, -1), y1 = m0 - M(1, 0), x2 = M(-1, 0) - M(-1, 1), y2 = m0 - M(-1, 0);
      } else if (iy >= 0 && -ix >= iy) {
        x1 = M(0, 1) - m0, y1 = M(-1, 1) - M(0, 1), x2 = M(0, -1) - m0, y2 = M(1, -1) - M(0, -1);
      } else if (iy >= 0) {
        x1 = M(-1, 1) - M(-1, 0), y1 = M(-1, 0) - m0, x2 = M(1, -1) - M(1, 0), y2 = M(1, 0) - m0;
      } else if (-ix > -iy) {
        x1 = M(0, 1) - m0, y1 = M(0, 1) - M(1, 1), x2 = M(0, -1) - m0, y2 = M(0, -1) - M(-1, -1);
      } else {
        x1 = M(1, 1) - M(1, 0), y1 = m0 - M(1, 0), x2 = M(-1, -1) - M(-1, 0), y2 = m0 - M(-1, 0);
      }
      const float mag1 = x1 * xp + y1 * yp;
      const float mag2 = x2 * xp + y2 * yp;
      if (mag1 <= -1.0f && mag2 < 1.0f) candidates[r][c] = 128;
    }
  }
}

// Float histogram counted one by one, seeds in raster order, marking by flood.
std::vector<uint8_t> plainHysteresis(const EdgeDetector& d) {
  const Plane<float>& m = d.gradientMagnitude;
  const int32_t rows = m.rows();
  const int32_t cols = m.cols();
  float min = 255.0f, max = 0.0f;
  for (std::size_t p = 0; p < m.size(); ++p) {
    if (m.data()[p] < min) min = m.data()[p];
    if (m.data()[p] > max) max = m.data()[p];
  }
  std::vector<float> histogram(257, 0.0f);
  for (std::size_t p = 0; p < m.size(); ++p) {
    const float scaled = ((m.data()[p] - min) * 256.0f) / (max - min + 1.0f);
    histogram[scaled >= 256.0f ? 256 : scaled > 0.0f ? static_cast<int32_t>(scaled) : 0] += 1.0f;
  }
  for (float& entry : histogram) entry /= static_cast<float>(m.size());
  for (std::size_t k = 1; k < histogram.size(); ++k) histogram[k] += histogram[k - 1];
  auto threshold = [&](int32_t share) {
    int32_t k = 0;
    while (k < 256 && !(histogram[k] >= static_cast<float>(share * 0.01))) ++k;
    return min + ((max - min + 1.0f) * (static_cast<float>(k) - min + 1.0f)) / 256.0f;
  };
  const float high = threshold(d.tHigh);
  const float low = std::trunc(threshold(d.tLow));
  std::vector<uint8_t> map(d.candidateMap.data(), d.candidateMap.data() + d.candidateMap.size());
  std::vector<std::pair<int32_t, int32_t>> stack;
  for (int32_t r = 1; r < rows - 1; ++r) {
    for (int32_t c = 1; c < cols - 1; ++c) {
      if (map[r * cols + c] != 128 || !(m[r][c] >= high)) continue;
      map[r * cols + c] = 250;
      stack.push_back({r, c});
      while (!stack.empty()) {
        const auto [pr, pc] = stack.back();
        stack.pop_back();
        for (int32_t nr = pr - 1; nr <= pr + 1; ++nr)
          for (int32_t nc = pc - 1; nc <= pc + 1; ++nc)
            if (nr >= 0 && nr < rows && nc >= 0 && nc < cols && map[nr * cols + nc] == 128 && m[nr][nc] >= low) {
              map[nr * cols + nc] = 250;
              stack.push_back({nr, nc});
            }
      }
    }
  }
  for (uint8_t& v : map) v = v == 250 ? 250 : 0;
  return map;
}

// Full raster scans of both passes until each deletes nothing.
std::vector<uint8_t> plainThinning(std::vector<uint8_t> map, int32_t rows, int32_t cols) {
  const int32_t ring[8][2] = {{0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}};
  for (int32_t pass = 1; pass <= 2; ++pass) {
    for (bool deleted = true; deleted;) {
      deleted = false;
      for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < cols; ++c) {
          if (map[r * cols + c] == 0) continue;
          bool set[9];
          for (int32_t k = 0; k < 8; ++k) {
            const int32_t nr = r + ring[k][0], nc = c + ring[k][1];
            set[k] = nr >= 0 && nr < rows && nc >= 0 && nc < cols && map[nr * cols + nc] != 0;
          }
          set[8] = set[0];
          int32_t n = 0, t = 0, last = -1;
          for (int32_t k = 0; k < 8; ++k) {
            n += set[k];
            t += set[k] != set[k + 1];
            if (set[k]) last = k;
          }
          bool remove;
          if (pass == 1) {
            remove = t == 2 && n >= 3 && n <= 5;
          } else {
            remove = false;
            if (n >= 2 && n <= 6 && !(n == 2 && t < 4) && !(n == 3 && t > 4)) {
              bool inGap = false;
              int32_t gaps = 0;
              for (int32_t step = 1; step <= 7; ++step) {
                const int32_t k = (last + step) % 8;
                if (inGap && set[k])
                  inGap = false;
                else if (!inGap && !set[k] && k % 2 == 0)
                  inGap = true, ++gaps;
              }
              remove = gaps == 1;
            }
          }
          if (remove) {
            map[r * cols + c] = 0;
            deleted = true;
          }
        }
      }
    }
  }
  return map;
}

// Runs detection stage by stage, each against its plain loop on the same input.
void expectStagesMatch(EdgeDetector& detector) {
  detector.detectEdges();
  Plane<float> magnitude;
  Plane<uint8_t> candidates;
  plainSuppression(detector, magnitude, candidates);
  detector.suppressNonMaxima();
  ASSERT_EQ(std::memcmp(detector.gradientMagnitude.data(), magnitude.data(), magnitude.size() * sizeof(float)), 0);
  ASSERT_EQ(contents(detector.candidateMap), contents(candidates));
  const std::vector<uint8_t> accepted = plainHysteresis(detector);
  detector.applyHysteresis();
  ASSERT_EQ(contents(detector.edgeMap), accepted);
  detector.clearEdgeBorder();
  const std::vector<uint8_t> thin = plainThinning(contents(detector.edgeMap), detector.rows, detector.cols);
  detector.thinEdges();
  EXPECT_EQ(contents(detector.edgeMap), thin);
}

// On the calling thread alone and shared with a helper.
TEST(StagesMatchPlainLoops, OnPhotographs) {
  const WorkThreads twoThreads(2);
  for (const WorkThreads* threads : {static_cast<const WorkThreads*>(nullptr), &twoThreads}) {
    for (const char* name : {"a_camera_256x256_8gray.bmp", "a_coffee_130x128_24.bmp", "a_rocket_639x427_24.bmp"}) {
      SCOPED_TRACE(::testing::Message() << name << (threads != nullptr ? ", shared" : ""));
      ImageControl image;
      ASSERT_TRUE(readBmpFile(testing::testImage(name).string(), image.picture).ok());
      EdgeDetector detector;
      detector.workThreads = threads;
      ASSERT_TRUE(detector.importBitmap(image).ok());
      for (const auto& [low, high] : {std::pair{70, 80}, std::pair{0, 30}, std::pair{90, 100}}) {
        setDefaultParameters(detector, low, high);
        expectStagesMatch(detector);
      }
    }
  }
}

TEST(StagesMatchPlainLoops, OnOddSizes) {
  struct Size {
    int32_t rows, cols;
  };
  std::mt19937 random(7);
  const WorkThreads twoThreads(2);
  for (const Size size :
       {Size{1, 40}, Size{2, 50}, Size{3, 3}, Size{40, 1}, Size{13, 18}, Size{17, 300}, Size{300, 17}, Size{37, 53}}) {
    SCOPED_TRACE(::testing::Message() << size.rows << " x " << size.cols);
    EdgeDetector detector;
    detector.workThreads = &twoThreads;
    // Smooth blobs with noise: edges in every direction.
    setGray(detector, size.rows, size.cols, [&](int32_t r, int32_t c) {
      return static_cast<uint8_t>(128 + 90 * std::sin(r * 0.4) * std::cos(c * 0.3) + (random() % 20));
    });
    setDefaultParameters(detector);
    detector.setFilterLength(2);
    expectStagesMatch(detector);
  }
}

// Gradients set directly: components between -1 and 1, exact ties between the
// truncated components, huge values, infinities and NaN.
TEST(StagesMatchPlainLoops, SuppressionOnExtremeGradients) {
  const float specials[] = {0.0f,
                            -0.0f,
                            0.5f,
                            -0.5f,
                            1.0f,
                            -1.0f,
                            3.0f,
                            -3.0f,
                            3.7f,
                            -3.7f,
                            1e9f,
                            -1e9f,
                            1e30f,
                            -1e30f,
                            std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
  std::mt19937 random(11);
  EdgeDetector detector;
  setGray(detector, 29, 45, [](int32_t, int32_t) { return uint8_t{0}; });
  setDefaultParameters(detector);
  detector.detectEdges();
  for (int32_t r = 0; r < 29; ++r) {
    for (int32_t c = 0; c < 45; ++c) {
      const bool special = random() % 4 == 0;
      detector.gradientX[r][c] = special ? specials[random() % 16] : static_cast<float>(random() % 2001) / 10 - 100;
      detector.gradientY[r][c] = special ? specials[random() % 16] : static_cast<float>(random() % 2001) / 10 - 100;
    }
  }
  Plane<float> magnitude;
  Plane<uint8_t> candidates;
  detector.suppressNonMaxima();
  plainSuppression(detector, magnitude, candidates);
  EXPECT_EQ(std::memcmp(detector.gradientMagnitude.data(), magnitude.data(), magnitude.size() * sizeof(float)), 0);
  EXPECT_EQ(contents(detector.candidateMap), contents(candidates));
}

}  // namespace
}  // namespace filamorph
