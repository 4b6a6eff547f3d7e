#ifndef FILAMORPH_CONTOURS_CONTOURCODER_H
#define FILAMORPH_CONTOURS_CONTOURCODER_H
// The analysis object: edge detection plus contours, the Filamorph model and
// the compressed file.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/Status.h"
#include "contours/Contour.h"
#include "contours/SmallestIndexSet.h"
#include "edges/EdgeDetector.h"
#include "image/BmpFile.h"
#include "image/Compass.h"

namespace filamorph {

class BitFile;
class Reconstructor;

// How a coded file is read.
struct CodedFileReading {
  // A size segment declaring more than this many pixels is refused as soon as
  // it is read, so that a few hostile bytes cannot make the program lay huge
  // planes.
  int64_t maxPixels = kMaxBitmapPixels;
  // At a segment marker it does not know, the window shows "End of the file"
  // and keeps what came before; a caller without a user to read that message
  // refuses the file as malformed.
  bool unknownSegmentIsMalformed = false;
};

class ContourCoder : public EdgeDetector {
 public:
  ContourCoder();
  ~ContourCoder();

  Plane<int32_t> labelPlane;
  int32_t maxContourLength = 0;
  int32_t maxMeanContrast = 0;
  float maxMeanCurvature = 0.0f;
  int32_t contourCount = 0;
  int32_t edgePixelCount = 0;
  std::vector<Contour> contours;
  float profileLambda = 0.0f;
  DirectionTable neighbourOffsets = kNeighbourOffsets;
  // Model-building scratch: one profile, one model evaluation, the 4 x 4
  // system with its right-hand side, the solution and the knot-pair errors.
  std::vector<float> profile;
  std::vector<float> modelValues;
  std::array<std::array<float, 4>, 4> system{};
  std::array<float, 4> rightHandSide{};
  std::array<float, 4> solution{};
  std::vector<float> pairErrors;
  std::array<uint32_t, 8> symbolCounts{};
  std::array<int32_t, 8> symbolRanks{};
  // The side lengths the last fit worked with: a side without samples
  // counts as one stand-in sample at the contour pixel's level.
  int16_t leftProfileLength = 0;
  int16_t rightProfileLength = 0;
  uint8_t labelsReady = 0;
  uint8_t contoursReady = 0;

  // Releases edge planes, contour table and label plane; clears the counts
  // and flags. The gray plane, kernel, file name and parameters stay.
  void reset();
  void releaseContours();

  // Tracing (contours/).
  // Labels the edge map into chains unless a label plane of the image's size
  // exists (a retrace keeps the pixels the previous walks reached), then
  // builds the contour table. Does nothing while no edge planes exist.
  void traceContours();
  // The steps of traceContours. The finders return (-1, -1) when nothing is
  // found; findContourEnd and findContourPixel answer from the count pass of
  // the running tracing.
  void labelChains();
  std::pair<int32_t, int32_t> findChainEnd();
  std::pair<int32_t, int32_t> findUnlabelled();
  void walkChain(int32_t row, int32_t col, int32_t direction);
  void orderContour(int32_t label);
  std::pair<int32_t, int32_t> findContourEnd(int32_t label);
  std::pair<int32_t, int32_t> findContourPixel(int32_t label);
  void walkContour(int32_t label, int32_t row, int32_t col, int32_t direction);
  // Contour view: selected contours in their colours, hint "BlobColor[][]";
  // the companion is placed beside the image.
  void showContours(ImageControl& image, ImageControl& companion) const;

 private:
  // Each label's first pixel and first end pixel (one neighbour of the same
  // label) in raster order.
  struct LabelStarts {
    std::pair<int32_t, int32_t> firstPixel{-1, -1};
    std::pair<int32_t, int32_t> firstEnd{-1, -1};
  };
  bool tracingPlanesFit() const;
  void countContourPixels();
  void orderContours();
  void finishLabels();
  // Raster indices of pixels that were chain ends when found, kept as a
  // min-heap and checked again when taken; and where the search for
  // unlabelled pixels resumes.
  SmallestIndexSet chainEndCandidates_;
  int64_t unlabelledScanFrom_ = 0;
  std::vector<LabelStarts> labelStarts_;

 public:
  // Perceptual selection and its views (contours/).
  void selectContours(float lengthWeight, float curvatureWeight, float contrastWeight, int32_t numberToSelect);
  void showDescriptor(ImageControl& image) const;
  void showBoundingBoxes(ImageControl& image) const;

  // Model building (model/).
  // Sets the normal (0, 2, 4 or 6) of every point from the points' positions
  // alone, so it also serves a table read from a file; a lone point gets 0.
  void computeNormals();
  // Fills the profile fields of every point of every contour, selected or
  // not. Needs the normals, and gray and label planes of the image's size;
  // does nothing without contours or without those planes.
  void buildModel();
  // The steps of buildModel. sampleProfile takes its limits from the lengths
  // that measureSpans left and stores the numbers of samples taken;
  // fitProfile fits the profile that sampleProfile just took for that point.
  void measureSpans();
  void sampleProfile(int32_t contour, int32_t point);
  void fitProfile(int32_t contour, int32_t point);
  // Gaussian elimination without pivoting on the first size (at most 4) rows
  // of system and rightHandSide, result in solution.
  void solveLinear(int32_t size);
  // Lays the selected contours' profiles into the two model planes; the
  // first profile to reach a pixel owns it.
  void renderModel(Plane<uint8_t>& sparsenessPlane, Plane<uint8_t>& depthPlane) const;

  // Compressed file (codecfile/).
  // A contour that the next compressed file holds: its index in the table
  // and how many of its leading points the chain carries.
  struct CodedContour {
    int32_t index = 0;
    int32_t pointCount = 0;
  };
  // What one writeCodedFile wrote, and what it could not.
  struct CodedFileSummary {
    int32_t contoursWritten = 0;
    int64_t pointsWritten = 0;
    // Selected contours beyond the 255 of smallest rank that a file holds.
    int32_t contoursLeftOut = 0;
    // Selected contours written only up to a point that a chain cannot reach
    // (outside the image, not an 8-neighbour of the one before, a step
    // straight back), or not at all when that leaves fewer than 2 points.
    int32_t contoursCut = 0;
  };
  // The contours the next file holds, in table order: selected ones with at
  // least 2 chain-codable points, at most 255 of them.
  std::vector<CodedContour> planCodedContours(CodedFileSummary* summary = nullptr) const;
  // The writer's steps over the planned contours; the argument-free forms
  // plan afresh.
  void computeChainCodes();
  void computeTurnSymbols();
  void countSymbols();
  void computeChainCodes(const std::vector<CodedContour>& plan);
  void computeTurnSymbols(const std::vector<CodedContour>& plan);
  void countSymbols(const std::vector<CodedContour>& plan);
  // Ranks of the symbols by symbolCounts: most frequent first, ties to the
  // higher symbol.
  void computeSymbolRanks();
  int32_t symbolOfRank(int32_t rank) const;
  // A failure naming fileName when a side is negative or above what the size fields carry.
  Status refuseUncodableSize(const std::string& fileName) const;
  // Writes through a temporary file that replaces fileName only when
  // complete. Refuses an image side above 65535 or an unwritable file.
  Status writeCodedFile(const std::string& fileName, CodedFileSummary* summary = nullptr);
  // The writer on a BitFile already open for writing, mirroring
  // readCodedStream; fileName only names it in messages. Does not close the
  // file and shows no message.
  Status writeCodedStream(BitFile& file, const std::string& fileName, CodedFileSummary* summary = nullptr);
  // On any refusal the model stays as it was before the call.
  Status readCodedFile(const std::string& fileName, const CodedFileReading& reading = {});
  // The reader on a BitFile already open for reading; fileName only names it
  // in messages. Does not close the file.
  Status readCodedStream(BitFile& file, const std::string& fileName, const CodedFileReading& reading = {});
};

}  // namespace filamorph

#endif  // FILAMORPH_CONTOURS_CONTOURCODER_H
