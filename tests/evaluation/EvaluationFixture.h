#ifndef FILAMORPH_TESTS_EVALUATION_EVALUATIONFIXTURE_H
#define FILAMORPH_TESTS_EVALUATION_EVALUATIONFIXTURE_H
// A scratch folder per test and small pictures written into it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "image/Bitmap.h"
#include "image/BmpFile.h"
#include "support/TestPaths.h"

namespace filamorph::testing {

class EvaluationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = std::filesystem::temp_directory_path() /
             ("filamorph_eval_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  std::string file(const std::string& name) const { return (folder / name).string(); }

  void writeBytes(const std::string& path, const std::string& bytes) const {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  // A 24-bit crop of the sample photograph, small enough for quick reconstructions.
  std::string sampleCrop(const std::string& name, int32_t left, int32_t top, int32_t width, int32_t height) const {
    Bitmap sample;
    EXPECT_TRUE(readBmpFile((sourceDir() / "samples" / "coffee.bmp").string(), sample));
    Bitmap crop = Bitmap::make24(width, height);
    for (int32_t r = 0; r < height; ++r) {
      const uint8_t* from = sample.scanLine(top + r) + 3 * left;
      std::copy(from, from + 3 * width, crop.scanLine(r));
    }
    const std::string path = file(name);
    EXPECT_TRUE(writeBmpFile(path, crop));
    return path;
  }

  std::filesystem::path folder;
};

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_EVALUATION_EVALUATIONFIXTURE_H
