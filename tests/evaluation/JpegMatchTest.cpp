// The JPEG comparison: the closest size wins, ties go to the higher quality,
// and the files are baseline gray JPEGs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "evaluation/JpegMatch.h"

namespace filamorph::evaluation {
namespace {

std::array<uint64_t, kJpegQualities> risingSizes() {
  std::array<uint64_t, kJpegQualities> sizes{};
  for (int q = 1; q <= kJpegQualities; ++q) sizes[q - 1] = 1000 + 10 * static_cast<uint64_t>(q);
  return sizes;
}

TEST(JpegMatch, ClosestQualityPicksTheNearestSizeAndTiesToTheHigherQuality) {
  std::array<uint64_t, kJpegQualities> sizes = risingSizes();
  EXPECT_EQ(closestQuality(sizes, 1500), 50);  // exact
  EXPECT_EQ(closestQuality(sizes, 1504), 50);
  EXPECT_EQ(closestQuality(sizes, 1505), 51);  // halfway: the higher quality
  EXPECT_EQ(closestQuality(sizes, 0), 1);      // below every size
  EXPECT_EQ(closestQuality(sizes, 99999), 100);
  // Sizes are not monotonic in the quality: the search does not assume it.
  sizes[79] = 1301;  // quality 80
  EXPECT_EQ(closestQuality(sizes, 1301), 80);
  sizes[29] = 1301;  // quality 30 ties with 80
  EXPECT_EQ(closestQuality(sizes, 1301), 80);
}

TEST(JpegMatch, MatchesTheClosestRealFileAndWritesBaselineGray) {
  Plane<uint8_t> gray;
  gray.allocate(40, 56);
  for (int r = 0; r < gray.rows(); ++r) {
    for (int c = 0; c < gray.cols(); ++c) gray[r][c] = static_cast<uint8_t>((r * 5 + c * 3 + (r * c) % 23) & 0xFF);
  }
  const std::array<uint64_t, kJpegQualities> sizes = jpegSizes(gray);
  const uint64_t target = sizes[39] + 3;  // a little above quality 40
  const JpegCoding coding = matchJpegSize(gray, target);
  const auto distance = [target](uint64_t size) { return size > target ? size - target : target - size; };
  for (int q = 1; q <= kJpegQualities; ++q) {
    ASSERT_GE(distance(sizes[q - 1]), distance(coding.file.size())) << "quality " << q;
    if (q > coding.quality) {
      ASSERT_GT(distance(sizes[q - 1]), distance(coding.file.size())) << "quality " << q;
    }
  }
  EXPECT_EQ(coding.file.size(), sizes[coding.quality - 1]);
  EXPECT_EQ(coding.decoded.rows(), 40);
  EXPECT_EQ(coding.decoded.cols(), 56);

  // Start of frame: baseline (FF C0) with one component; never progressive (FF C2).
  const std::vector<uint8_t>& file = coding.file;
  bool baseline = false;
  for (std::size_t i = 0; i + 9 < file.size(); ++i) {
    ASSERT_FALSE(file[i] == 0xFF && file[i + 1] == 0xC2);
    if (file[i] == 0xFF && file[i + 1] == 0xC0) {
      baseline = true;
      EXPECT_EQ(file[i + 9], 1) << "components";
      break;
    }
  }
  EXPECT_TRUE(baseline);
}

}  // namespace
}  // namespace filamorph::evaluation
