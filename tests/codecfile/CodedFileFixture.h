#ifndef FILAMORPH_TESTS_CODECFILE_CODEDFILEFIXTURE_H
#define FILAMORPH_TESTS_CODECFILE_CODEDFILEFIXTURE_H
// Temporary folders, byte files, hand-built contour models and a message
// recorder for the compressed-file tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/Messages.h"
#include "codecfile/BitFile.h"
#include "contours/ContourCoder.h"
#include "support/ScratchFolder.h"

namespace filamorph::testing {

using Bytes = std::vector<uint8_t>;
using CodedFileSummary = ContourCoder::CodedFileSummary;

inline Bytes readBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Writes a file field by field through a BitFile, closing it as the writer does.
inline void writeFields(const std::filesystem::path& path, const std::function<void(BitFile&)>& fields) {
  BitFile file;
  ASSERT_TRUE(file.openFile(path.string(), "wb+"));
  fields(file);
  ASSERT_TRUE(file.closeFile());
}

inline Contour makeContour(const std::vector<std::pair<int32_t, int32_t>>& rowCols, uint8_t selected = 1) {
  Contour contour;
  contour.selected = selected;
  for (const auto& [row, col] : rowCols) {
    ContourPoint point;
    point.row = row;
    point.col = col;
    contour.points.push_back(point);
  }
  contour.pointCount = static_cast<int32_t>(contour.points.size());
  return contour;
}

inline void setSize(ContourCoder& coder, int32_t width, int32_t height) {
  coder.width = width;
  coder.cols = width;
  coder.height = height;
  coder.rows = height;
}

inline void setContours(ContourCoder& coder, std::vector<Contour> contours) {
  coder.contours = std::move(contours);
  coder.contourCount = static_cast<int32_t>(coder.contours.size());
}

// A fresh temporary folder per test, with every message shown recorded.
class CodedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_.emplace("filamorph_codecfile");
    folder = scratch_->folder();
    previousHandler = setMessageHandler([this](const std::string& text, MessageSeverity) { messages.push_back(text); });
  }
  void TearDown() override {
    setMessageHandler(previousHandler);
    scratch_.reset();
  }
  std::string path(const std::string& name) const { return scratch_->path(name); }

  std::filesystem::path folder;
  std::vector<std::string> messages;
  MessageHandler previousHandler;

 private:
  std::optional<ScratchFolder> scratch_;
};

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_CODECFILE_CODEDFILEFIXTURE_H
