#ifndef FILAMORPH_CONTOURS_CONTOURCODER_H
#define FILAMORPH_CONTOURS_CONTOURCODER_H
// The analysis object: edge detection plus contours, the Filamorph model and
// the compressed file.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "contours/Contour.h"
#include "edges/EdgeDetector.h"
#include "image/Status.h"

namespace filamorph {

class Reconstructor;

// Direction codes 0..7 as (row offset, column offset): east, then
// counter-clockwise; rows grow downwards and d + 4 is the opposite of d.
inline constexpr std::array<std::array<int32_t, 2>, 8> kNeighbourOffsets = {{
    {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}, {1, 1}}};

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
  std::array<std::array<int32_t, 2>, 8> neighbourOffsets = kNeighbourOffsets;
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
  int16_t leftProfileLength = 0;
  int16_t rightProfileLength = 0;
  uint8_t labelsReady = 0;
  uint8_t contoursReady = 0;

  // Releases edge planes, contour table and label plane; clears the counts
  // and flags. The gray plane, kernel, file name and parameters stay.
  void reset();
  void releaseContours();

  // Tracing (contours/).
  void traceContours();
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

  // Perceptual selection and its views (contours/).
  void selectContours(float lengthWeight, float curvatureWeight, float contrastWeight, int32_t numberToSelect);
  void showDescriptor(ImageControl& image) const;
  void showBoundingBoxes(ImageControl& image) const;

  // Model building (model/).
  void computeNormals();
  void buildModel();
  void measureSpans();
  void sampleProfile(int32_t contour, int32_t point);
  void fitProfile(int32_t contour, int32_t point);
  void solveLinear(int32_t size);
  // Lays the selected contours' profiles into the two model planes; the
  // first profile to reach a pixel owns it.
  void renderModel(Plane<uint8_t>& sparsenessPlane, Plane<uint8_t>& depthPlane) const;

  // Compressed file (codecfile/).
  void computeChainCodes();
  void computeTurnSymbols();
  void countSymbols();
  int32_t symbolOfRank(int32_t rank) const;
  Status writeCodedFile(const std::string& fileName);
  Status readCodedFile(const std::string& fileName);
};

}  // namespace filamorph

#endif  // FILAMORPH_CONTOURS_CONTOURCODER_H
