// Writing gray planes as PGM or gray BMP files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/BmpFile.h"
#include "image/GrayImageFile.h"

namespace filamorph {
namespace {

class GrayImageFile : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::path(::testing::TempDir()) /
              ("gray-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  static std::string contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder_), {}));
  }

  std::filesystem::path folder_;
  // Two rows of three levels, top row first.
  const std::vector<uint8_t> gray_ = {0, 128, 255, 7, 8, 9};
};

TEST_F(GrayImageFile, PgmIsBinaryWithMaxval255) {
  ASSERT_TRUE(writeGrayImageFile(path("plane.pgm"), gray_, 2, 3).ok());
  EXPECT_EQ(contents(path("plane.pgm")), std::string("P5\n3 2\n255\n") + std::string(gray_.begin(), gray_.end()));
  ASSERT_TRUE(writeGrayImageFile(path("upper.PGM"), gray_, 2, 3).ok());
  EXPECT_EQ(contents(path("upper.PGM")), contents(path("plane.pgm")));
}

TEST_F(GrayImageFile, BmpHoldsEqualColourBytesTopRowFirst) {
  Plane<uint8_t> plane;
  plane.allocate(2, 3);
  std::copy(gray_.begin(), gray_.end(), plane.data());
  ASSERT_TRUE(writeGrayImageFile(path("plane.bmp"), plane).ok());
  Bitmap back;
  ASSERT_TRUE(readBmpFile(path("plane.bmp"), back).ok());
  ASSERT_EQ(back.format, PixelFormat::Bits24);
  ASSERT_EQ(back.width, 3);
  ASSERT_EQ(back.height, 2);
  for (std::size_t i = 0; i < gray_.size(); ++i) {
    EXPECT_EQ(back.pixel(static_cast<int32_t>(i % 3), static_cast<int32_t>(i / 3)), gray_[i] * 0x010101u) << i;
  }
}

TEST_F(GrayImageFile, ReplacesAnExistingFileWhole) {
  { std::ofstream(path("old.pgm")) << std::string(1000, 'x'); }
  ASSERT_TRUE(writeGrayImageFile(path("old.pgm"), gray_, 2, 3).ok());
  EXPECT_EQ(contents(path("old.pgm")).size(), 11u + gray_.size());
  EXPECT_EQ(entries(), 1u);
}

TEST_F(GrayImageFile, RefusalsNameTheProblemAndLeaveNothingBehind) {
  struct Refusal {
    std::string path;
    int32_t rows;
    int32_t cols;
    const char* message;
  };
  const Refusal refusals[] = {
      {path("plane.png"), 2, 3, "unknown image type \".png\""},
      {path("plane"), 2, 3, "unknown image type"},
      {path("plane.pgm"), 0, 3, "empty"},
      {path("plane.bmp"), 2, -1, "empty"},
      {path("plane.pgm"), 3, 3, "fewer gray levels"},
      {path("no-such-folder/plane.pgm"), 2, 3, "no-such-folder"},
  };
  for (const Refusal& r : refusals) {
    const Status status = writeGrayImageFile(r.path, gray_, r.rows, r.cols);
    ASSERT_FALSE(status.ok()) << r.path;
    EXPECT_NE(status.message().find(r.message), std::string::npos) << status.message();
  }
  EXPECT_EQ(entries(), 0u);
}

TEST_F(GrayImageFile, DashWritesPgmToStandardOutput) {
  ::testing::internal::CaptureStdout();
  const Status status = writeGrayImageFile("-", gray_, 2, 3);
  const std::string written = ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(written, std::string("P5\n3 2\n255\n") + std::string(gray_.begin(), gray_.end()));
  EXPECT_EQ(entries(), 0u);
}

}  // namespace
}  // namespace filamorph
