// The compressed-file writer: chain codes, turn symbols, their prefix code and
// the three segments.

#include <cerrno>
#include <cstring>
#include <string>

#include "base/FileReplace.h"
#include "base/Messages.h"
#include "codecfile/BitFile.h"
#include "codecfile/CodedFileFormat.h"
#include "contours/ContourCoder.h"
#include "image/Compass.h"

namespace filamorph {
namespace {

// Rank r is r one-bits and a zero-bit; rank 7 is seven one-bits alone.
void writeRankCode(BitFile& file, int32_t rank) {
  if (rank > 0) file.writeBits((1u << rank) - 1u, rank);
  if (rank < 7) file.writeBits(0, 1);
}

void writeSizeSegment(BitFile& file, int32_t rows, int32_t cols, int bits) {
  file.writeBits(codedfile::kMarkerPrefix, 8);
  file.writeBits(codedfile::kSizeMarker, 8);
  file.writeBits(static_cast<uint32_t>(bits), 8);
  file.writeBits(static_cast<uint32_t>(rows), bits);
  file.writeBits(static_cast<uint32_t>(cols), bits);
}

// The start of every contour, its first step's code, then one rank code a
// turn symbol, ending with the end symbol's.
void writeContourSegment(BitFile& file, const std::vector<Contour>& contours,
                         const std::vector<ContourCoder::CodedContour>& plan, const std::array<int32_t, 8>& symbolRanks,
                         int bits) {
  file.writeBits(codedfile::kMarkerPrefix, 8);
  file.writeBits(codedfile::kContourMarker, 8);
  file.writeBits(static_cast<uint32_t>(plan.size()), 8);
  for (const int32_t rank : symbolRanks) file.writeBits(static_cast<uint32_t>(rank), 3);
  for (const ContourCoder::CodedContour& coded : plan) {
    const std::vector<ContourPoint>& points = contours[static_cast<size_t>(coded.index)].points;
    file.writeBits(static_cast<uint32_t>(points[0].row), bits);
    file.writeBits(static_cast<uint32_t>(points[0].col), bits);
    file.writeBits(static_cast<uint32_t>(points[1].chainCode), 3);
    for (size_t j = 2; j < static_cast<size_t>(coded.pointCount); ++j) {
      writeRankCode(file, symbolRanks[static_cast<size_t>(points[j].chainCode)]);
    }
    writeRankCode(file, symbolRanks[codedfile::kEndSymbol]);
  }
}

// Per contour: the extents of every point, then its weights and base level.
void writeAttributeSegment(BitFile& file, const std::vector<Contour>& contours,
                           const std::vector<ContourCoder::CodedContour>& plan) {
  file.writeBits(codedfile::kMarkerPrefix, 8);
  file.writeBits(codedfile::kAttributeMarker, 8);
  for (const ContourCoder::CodedContour& coded : plan) {
    const std::vector<ContourPoint>& points = contours[static_cast<size_t>(coded.index)].points;
    const auto count = static_cast<size_t>(coded.pointCount);
    file.writeBits(1, 8);  // one extent pair per point
    for (size_t j = 0; j < count; ++j) {
      file.writeBits(static_cast<uint32_t>(codedfile::clampExtent(points[j].leftExtent)), codedfile::kExtentBits);
      file.writeBits(static_cast<uint32_t>(codedfile::clampExtent(points[j].rightExtent)), codedfile::kExtentBits);
    }
    file.writeBits(1, 8);  // one weight triple per point
    for (size_t j = 0; j < count; ++j) {
      const auto level = [](int32_t value) { return static_cast<uint32_t>(value + codedfile::kLevelOffset); };
      file.writeBits(level(codedfile::quantizedWeight(points[j].weightLeft)), codedfile::kWeightBits);
      file.writeBits(level(codedfile::quantizedWeight(points[j].weightMiddle)), codedfile::kWeightBits);
      file.writeBits(level(codedfile::quantizedBaseLevel(points[j].baseLevel)), codedfile::kBaseBits);
    }
  }
}

}  // namespace

void ContourCoder::computeChainCodes() {
  computeChainCodes(planCodedContours());
}
void ContourCoder::computeTurnSymbols() {
  computeTurnSymbols(planCodedContours());
}
void ContourCoder::countSymbols() {
  countSymbols(planCodedContours());
}

void ContourCoder::computeChainCodes(const std::vector<CodedContour>& plan) {
  for (const CodedContour& coded : plan) {
    std::vector<ContourPoint>& points = contours[static_cast<size_t>(coded.index)].points;
    for (size_t j = 1; j < static_cast<size_t>(coded.pointCount); ++j) {
      points[j].chainCode =
          static_cast<int16_t>(stepCode(points[j].row - points[j - 1].row, points[j].col - points[j - 1].col));
    }
  }
}

void ContourCoder::computeTurnSymbols(const std::vector<CodedContour>& plan) {
  for (const CodedContour& coded : plan) {
    std::vector<ContourPoint>& points = contours[static_cast<size_t>(coded.index)].points;
    // From the end, so that point j - 1 still holds its chain code.
    for (size_t j = static_cast<size_t>(coded.pointCount) - 1; j >= 2; --j) {
      points[j].chainCode = static_cast<int16_t>(codedfile::turnSymbol(points[j - 1].chainCode, points[j].chainCode));
    }
  }
}

void ContourCoder::countSymbols(const std::vector<CodedContour>& plan) {
  symbolCounts.fill(0);
  for (const CodedContour& coded : plan) {
    const std::vector<ContourPoint>& points = contours[static_cast<size_t>(coded.index)].points;
    ++symbolCounts[codedfile::kEndSymbol];
    // Point 1 holds the first step's code; it is counted like a symbol.
    for (size_t j = 1; j < static_cast<size_t>(coded.pointCount); ++j)
      ++symbolCounts[static_cast<size_t>(points[j].chainCode)];
  }
}

void ContourCoder::computeSymbolRanks() {
  for (size_t s = 0; s < 8; ++s) {
    int32_t rank = 0;
    for (size_t t = 0; t < 8; ++t) {
      if (symbolCounts[t] > symbolCounts[s] || (symbolCounts[t] == symbolCounts[s] && t > s)) ++rank;
    }
    symbolRanks[s] = rank;
  }
}

Status ContourCoder::refuseUncodableSize(const std::string& fileName) const {
  if (width >= 0 && height >= 0 && width <= codedfile::kMaxSide && height <= codedfile::kMaxSide) {
    return Status::success();
  }
  return Status::failure(ErrorKind::InputOutput, "Cannot write " + fileName + ": the image is " +
                                                     std::to_string(width) + " x " + std::to_string(height) +
                                                     " pixels; a compressed file holds sides of at most " +
                                                     std::to_string(codedfile::kMaxSide) + ".");
}

Status ContourCoder::writeCodedStream(BitFile& file, const std::string& fileName, CodedFileSummary* summary) {
  if (Status codable = refuseUncodableSize(fileName); !codable) return codable;
  CodedFileSummary written;
  const std::vector<CodedContour> plan = planCodedContours(&written);
  computeChainCodes(plan);
  computeTurnSymbols(plan);
  countSymbols(plan);
  computeSymbolRanks();
  const int bits = codedfile::bitWidth(static_cast<uint32_t>(width > height ? width : height));
  writeSizeSegment(file, height, width, bits);
  writeContourSegment(file, contours, plan, symbolRanks, bits);
  writeAttributeSegment(file, contours, plan);
  if (summary != nullptr) *summary = written;
  return Status::success();
}

Status ContourCoder::writeCodedFile(const std::string& fileName, CodedFileSummary* summary) {
  if (Status codable = refuseUncodableSize(fileName); !codable) return codable;
  ReplacingFile target(fileName);
  BitFile file;
  if (target.temporaryPath().empty() || !file.openFile(target.temporaryPath(), "wb+")) {
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + fileName + ": " + std::strerror(errno));
  }
  CodedFileSummary written;
  if (Status streamed = writeCodedStream(file, fileName, &written); !streamed) return streamed;
  if (!file.closeFile()) {
    return Status::failure(ErrorKind::InputOutput, "Cannot write " + fileName + ": " + std::strerror(errno));
  }
  if (Status committed = target.commit(); !committed) return committed;

  if (written.contoursLeftOut > 0) {
    showMessage(std::to_string(written.contoursLeftOut) + " selected contours were left out of " + fileName +
                    ": a compressed file holds at most " + std::to_string(codedfile::kMaxContours) +
                    " contours, and those of best rank were kept.",
                MessageSeverity::Information);
  }
  if (written.contoursCut > 0) {
    showMessage(std::to_string(written.contoursCut) + " selected contours were cut short or left out of " + fileName +
                    ": their points stop forming a chain of 8-neighbours inside the image.",
                MessageSeverity::Information);
  }
  if (summary != nullptr) *summary = written;
  return Status::success();
}

}  // namespace filamorph
