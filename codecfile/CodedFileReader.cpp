// The compressed-file reader: segments into a model built aside, swapped into
// the analysis object only when the read succeeds.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/Messages.h"
#include "codecfile/BitFile.h"
#include "codecfile/CodedFileFormat.h"
#include "contours/ContourCoder.h"
#include "contours/ContourExtent.h"

namespace filamorph {
namespace {


struct DecodedModel {
  bool hasSize = false;
  bool hasContours = false;
  int bits = 0;  // width of the size and start-point fields
  int32_t rows = 0;
  int32_t cols = 0;
  std::array<int32_t, 8> ranks{};
  std::vector<Contour> contours;
};

// Bounding box and mean position, as tracing measures them.
void measureContour(Contour& contour) {
  ContourExtent extent;
  for (const ContourPoint& point : contour.points) extent.add(point.row, point.col);
  contour.pointCount = static_cast<int32_t>(contour.points.size());
  extent.describe(contour);
}

// Reads the segments of one file; every method returns a refusal naming the
// file, or success.
class SegmentReader {
 public:
  SegmentReader(BitFile& file, const DirectionTable& offsets, const std::string& fileName, int64_t maxPixels,
                DecodedModel& model)
      : file_(file), offsets_(offsets), fileName_(fileName), maxPixels_(maxPixels), model_(model) {}

  Status readSize() {
    if (model_.hasContours) return refuse("a size segment follows the contour segment");
    uint32_t bits = 0;
    uint32_t rows = 0;
    uint32_t cols = 0;
    if (!read(8, bits)) return endsInside("size");
    if (bits > 16) return refuse("the size fields are " + std::to_string(bits) + " bits wide, more than 16");
    if (!read(static_cast<int>(bits), rows) || !read(static_cast<int>(bits), cols)) return endsInside("size");
    const int64_t pixels = static_cast<int64_t>(rows) * static_cast<int64_t>(cols);
    if (pixels > maxPixels_) {
      return refuse("it declares a " + std::to_string(cols) + " x " + std::to_string(rows) + " image of " +
                    std::to_string(pixels) + " pixels, more than the limit of " + std::to_string(maxPixels_) +
                    " pixels");
    }
    model_.hasSize = true;
    model_.bits = static_cast<int>(bits);
    model_.rows = static_cast<int32_t>(rows);
    model_.cols = static_cast<int32_t>(cols);
    return Status::success();
  }

  Status readContours() {
    if (!model_.hasSize) return refuse("a contour segment comes before any size segment");
    uint32_t count = 0;
    if (!read(8, count)) return endsInside("contour");
    std::array<int32_t, 8> ranks{};
    for (int32_t& rank : ranks) {
      uint32_t value = 0;
      if (!read(3, value)) return endsInside("contour");
      rank = static_cast<int32_t>(value);
    }
    std::vector<Contour> contours(count);
    for (size_t i = 0; i < contours.size(); ++i) {
      if (Status status = readChain(ranks, i, contours[i]); !status) return status;
    }
    model_.ranks = ranks;
    model_.contours = std::move(contours);
    model_.hasContours = true;
    return Status::success();
  }

  Status readAttributes() {
    if (!model_.hasContours) return refuse("an attribute segment comes before any contour segment");
    for (Contour& contour : model_.contours) {
      uint32_t extentStep = 0;
      if (!read(8, extentStep) || !readExtents(contour.points, runLength(contour, extentStep))) {
        return endsInside("attribute");
      }
      uint32_t weightStep = 0;
      if (!read(8, weightStep)) return endsInside("attribute");
      const int baseBits = weightStep == 0 ? codedfile::kSharedBaseBits : codedfile::kBaseBits;
      if (!readWeights(contour.points, runLength(contour, weightStep), baseBits)) return endsInside("attribute");
    }
    return Status::success();
  }

 private:
  bool read(int bits, uint32_t& value) {
    value = bits > 0 ? file_.readBits(bits) : 0;
    return file_.readFailed == 0;
  }

  Status refuse(const std::string& reason) const {
    return Status::failure(ErrorKind::MalformedFile, "Cannot read " + fileName_ + ": " + reason + ".");
  }
  Status endsInside(const char* segment) const {
    return refuse(std::string("the file ends inside its ") + segment + " segment");
  }

  bool inside(int32_t row, int32_t col) const { return row >= 0 && row < model_.rows && col >= 0 && col < model_.cols; }
  Status outside(size_t index) const {
    return refuse("contour " + std::to_string(index + 1) + " leaves the " + std::to_string(model_.cols) + " x " +
                  std::to_string(model_.rows) + " image");
  }

  // Start point, first step and turn symbols up to the end code. Point 1
  // keeps the first step's code and later points their turn symbols, as the
  // writer leaves them.
  Status readChain(const std::array<int32_t, 8>& ranks, size_t index, Contour& contour) {
    uint32_t row = 0;
    uint32_t col = 0;
    uint32_t code = 0;
    if (!read(model_.bits, row) || !read(model_.bits, col) || !read(3, code)) return endsInside("contour");
    contour.selected = 1;
    std::vector<ContourPoint>& points = contour.points;
    ContourPoint point;
    point.row = static_cast<int32_t>(row);
    point.col = static_cast<int32_t>(col);
    if (!inside(point.row, point.col)) return outside(index);
    points.push_back(point);
    auto direction = static_cast<int32_t>(code);
    int32_t symbol = direction;
    const int64_t maxPoints = codedfile::maxChainPoints(model_.rows, model_.cols);
    for (;;) {
      if (static_cast<int64_t>(points.size()) >= maxPoints) {
        return refuse("contour " + std::to_string(index + 1) + " is longer than " + std::to_string(maxPoints) +
                      " points");
      }
      point.row += offsets_[static_cast<size_t>(direction)][0];
      point.col += offsets_[static_cast<size_t>(direction)][1];
      point.chainCode = static_cast<int16_t>(symbol);
      if (!inside(point.row, point.col)) return outside(index);
      points.push_back(point);
      const int32_t rank = file_.readUnary();
      if (file_.readFailed != 0) return endsInside("contour");
      if (rank == ranks[codedfile::kEndSymbol]) break;
      symbol = codedfile::symbolOfRank(ranks, rank);
      direction = codedfile::turnedCode(direction, symbol);
    }
    measureContour(contour);
    return Status::success();
  }

  // A step covers that many consecutive points; step 0 covers them all.
  static size_t runLength(const Contour& contour, uint32_t step) { return step == 0 ? contour.points.size() : step; }

  bool readExtents(std::vector<ContourPoint>& points, size_t run) {
    for (size_t first = 0; first < points.size(); first += run) {
      uint32_t left = 0;
      uint32_t right = 0;
      if (!read(codedfile::kExtentBits, left) || !read(codedfile::kExtentBits, right)) return false;
      for (size_t j = first; j < std::min(points.size(), first + run); ++j) {
        points[j].leftExtent = static_cast<int16_t>(left);
        points[j].rightExtent = static_cast<int16_t>(right);
      }
    }
    return true;
  }

  bool readWeights(std::vector<ContourPoint>& points, size_t run, int baseBits) {
    const auto level = [](uint32_t stored) {
      return static_cast<float>(static_cast<int32_t>(stored) - codedfile::kLevelOffset);
    };
    for (size_t first = 0; first < points.size(); first += run) {
      uint32_t left = 0;
      uint32_t middle = 0;
      uint32_t base = 0;
      if (!read(codedfile::kWeightBits, left) || !read(codedfile::kWeightBits, middle) || !read(baseBits, base)) {
        return false;
      }
      for (size_t j = first; j < std::min(points.size(), first + run); ++j) {
        points[j].weightLeft = level(left);
        points[j].weightMiddle = level(middle);
        points[j].weightRight = -(points[j].weightLeft + points[j].weightMiddle);
        points[j].baseLevel = level(base);
      }
    }
    return true;
  }

  BitFile& file_;
  const DirectionTable& offsets_;
  const std::string& fileName_;
  int64_t maxPixels_;
  DecodedModel& model_;
};

}  // namespace

int32_t ContourCoder::symbolOfRank(int32_t rank) const {
  return codedfile::symbolOfRank(symbolRanks, rank);
}

Status ContourCoder::readCodedFile(const std::string& fileName, const CodedFileReading& reading) {
  BitFile file;
  if (!file.openFile(fileName, "rb")) {
    return Status::failure(ErrorKind::InputOutput, "Cannot open " + fileName + ": " + std::strerror(errno) + ".");
  }
  Status status = readCodedStream(file, fileName, reading);
  file.closeFile();
  return status;
}

Status ContourCoder::readCodedStream(BitFile& file, const std::string& fileName, const CodedFileReading& reading) {
  DecodedModel model;
  SegmentReader reader(file, neighbourOffsets, fileName, reading.maxPixels, model);
  for (;;) {
    const uint32_t prefix = file.readBits(8);
    if (file.readFailed != 0 || prefix != codedfile::kMarkerPrefix) break;
    const uint32_t marker = file.readBits(8);
    if (file.readFailed != 0)
      return Status::failure(ErrorKind::MalformedFile, "Cannot read " + fileName + ": the file ends inside a marker.");
    Status status;
    if (marker == codedfile::kSizeMarker) {
      status = reader.readSize();
    } else if (marker == codedfile::kContourMarker) {
      status = reader.readContours();
    } else if (marker == codedfile::kAttributeMarker) {
      status = reader.readAttributes();
    } else {
      showMessage(kEndOfFile, MessageSeverity::Warning);
      if (reading.unknownSegmentIsMalformed) {
        return Status::failure(ErrorKind::MalformedFile,
                               "Cannot read " + fileName + ": it holds an unknown segment marker.");
      }
      break;
    }
    if (!status) return status;
  }
  if (!model.hasSize)
    return Status::failure(ErrorKind::MalformedFile, "Cannot read " + fileName + ": it holds no compressed image.");

  // A file without a contour segment holds an image without contours.
  width = model.cols;
  cols = model.cols;
  height = model.rows;
  rows = model.rows;
  contours = std::move(model.contours);
  contourCount = static_cast<int32_t>(contours.size());
  if (model.hasContours) symbolRanks = model.ranks;
  contoursReady = 0;
  return Status::success();
}

}  // namespace filamorph
