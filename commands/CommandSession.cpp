#include "commands/CommandSession.h"

#include <utility>

#include "commands/CommandParameters.h"

namespace filamorph {
namespace {

constexpr Color kBlack = 0x000000;

}  // namespace

bool CommandSession::hasImage() const {
  return analysis.grayPlaneAllocated == 1 && matchesAnalysisSize(analysis.grayPlane);
}

bool CommandSession::hasEdges() const {
  return analysis.edgePlanesAllocated == 1 && matchesAnalysisSize(analysis.edgeMap);
}

bool CommandSession::hasTracedContours() const {
  return analysis.contoursReady == 1 && matchesAnalysisSize(analysis.labelPlane);
}

bool CommandSession::hasReconstruction() const {
  const Reconstructor& r = reconstruction;
  return r.grayPlaneAllocated == 1 && r.grayPlane.exists() && r.grayPlane.rows() == r.rows &&
         r.grayPlane.cols() == r.cols;
}

Status CommandSession::loadPictureIntoImage2(const std::string& fileName) {
  // The control takes the bitmap's own size and keeps it; zooming later
  // stretches the picture to the control.
  image2.autoSize = true;
  image2.stretch = false;
  Status loaded = image2.loadFromFile(fileName);
  if (!loaded) return loaded;
  image2.autoSize = false;
  image2.stretch = true;
  return loaded;
}

Status CommandSession::openImage(const std::string& fileName) {
  lastPictureFile = fileName;
  analysis.releasePlanes();
  analysis.reset();
  analysis.storeFileName(fileName);
  modelReady_ = false;
  Status loaded = loadPictureIntoImage2(fileName);
  if (!loaded) return loaded;
  return analysis.importBitmap(image2);
}

Status CommandSession::detectContours() {
  if (lastPictureFile.empty())
    return Status::failure(ErrorKind::CodecStep, "No bitmap has been opened yet: open an image first.");
  Status loaded = loadPictureIntoImage2(lastPictureFile);
  if (!loaded) return loaded;
  if (Status imported = analysis.importBitmap(image2); !imported) return imported;
  modelReady_ = false;
  setDetectContoursParameters(analysis);
  analysis.detectEdgesThenSmooth();
  if (drawsViews) analysis.showEdgeMap(image2);
  return Status::success();
}

bool CommandSession::traceContours() {
  if (!hasEdges()) return false;
  modelReady_ = false;
  analysis.traceContours();
  if (drawsViews) analysis.showContours(image2, image3);
  return true;
}

bool CommandSession::obtainFilamorph() {
  // Profiles are sampled from the gray plane across traced contours: both
  // must belong to the current image.
  if (!hasTracedContours() || !hasImage()) return false;
  analysis.computeNormals();
  analysis.profileLambda = kProfileLambda;
  analysis.buildModel();
  modelReady_ = true;
  return layModel();
}

bool CommandSession::layModel() {
  if (!modelReady_) return false;
  reconstruction.width = analysis.width;
  reconstruction.cols = analysis.width;
  reconstruction.height = analysis.height;
  reconstruction.rows = analysis.height;
  if (!laysModelPlanes) {
    reconstruction.sparsenessPlane.release();
    reconstruction.depthPlane.release();
    return true;
  }
  reconstruction.allocateModelPlanes();
  analysis.renderModel(reconstruction.sparsenessPlane, reconstruction.depthPlane);
  if (drawsViews) reconstruction.showModel(image2, image3);
  return true;
}

bool CommandSession::selectContours(float lengthWeight, float curvatureWeight, float contrastWeight,
                                    int32_t numberToSelect) {
  if (analysis.contoursReady != 1) return false;
  if (drawsViews) {
    image2.brushSolid = true;
    image2.brushColor = kBlack;
    image2.fillRect(0, 0, analysis.width, analysis.height);
  }
  analysis.selectContours(lengthWeight, curvatureWeight, contrastWeight, numberToSelect);
  if (drawsViews) analysis.showDescriptor(image2);
  return true;
}

bool CommandSession::rethreshold(int32_t low, int32_t high) {
  if (!hasEdges()) return false;
  analysis.setThresholds(low, high);
  analysis.rethreshold();
  if (drawsViews) analysis.showEdgeMap(image2);
  return true;
}

Status CommandSession::compressToFile(const std::string& fileName, ContourCoder::CodedFileSummary* summary) {
  if (!modelReady_) {
    return Status::failure(ErrorKind::CodecStep,
                           "There is no model to compress yet: obtain the Filamorph model of an image first.");
  }
  return analysis.writeCodedFile(fileName, summary);
}

Status CommandSession::openCodedImage(const std::string& fileName, const CodedFileReading& reading) {
  Status read = readCodedImage(fileName, reading);
  if (!read) return read;
  layCodedImage();
  return Status::success();
}

Status CommandSession::readCodedImage(const std::string& fileName, const CodedFileReading& reading) {
  Status read = analysis.readCodedFile(fileName, reading);
  if (read) modelReady_ = true;
  return read;
}

Status CommandSession::readCodedImage(BitFile& file, const std::string& name, const CodedFileReading& reading) {
  Status read = analysis.readCodedStream(file, name, reading);
  if (read) modelReady_ = true;
  return read;
}

bool CommandSession::layCodedImage() {
  if (!modelReady_) return false;
  if (drawsViews) analysis.showDescriptor(image2);
  analysis.computeNormals();
  return layModel();
}

bool CommandSession::reconstruct(DitherGenerator& generator, const SweepObserver& observer) {
  if (!hasModelPlanes()) return false;
  Reconstructor& r = reconstruction;
  const float smoothWeight = r.smoothWeight;
  const float plateWeight = r.plateWeight;
  const float relaxation = r.relaxation;
  const float tolerance = r.tolerance;
  const uint8_t dither = r.dither;
  setReconstructParameters(r);
  if (!r.solve(generator, observer)) {
    // A cancelled command leaves the solver as it found it, parameters included.
    r.setSolverParameters(smoothWeight, plateWeight, relaxation, tolerance, dither);
    return false;
  }
  if (drawsViews) reconstruction.showGray(image2);
  return true;
}

bool CommandSession::reconstructConverged(DitherGenerator& generator, ConvergedSolveReport& report) {
  if (!hasModelPlanes()) return false;
  setReconstructParameters(reconstruction);
  report = reconstruction.solveConverged(generator);
  if (drawsViews) reconstruction.showGray(image2);
  return true;
}

bool CommandSession::invert() {
  if (!hasImage()) return false;
  analysis.invert();
  if (drawsViews) analysis.showGray(image2);
  return true;
}

Status CommandSession::pasteBitmap(Bitmap bitmap) {
  image2.assign(std::move(bitmap));
  return analysis.importBitmap(image2);
}

bool CommandSession::showGrayLevel() {
  if (!hasImage()) return false;
  analysis.showGray(image2);
  return true;
}

bool CommandSession::showEdges() {
  if (!hasEdges()) return false;
  analysis.showEdgeMap(image2);
  return true;
}

bool CommandSession::showContours() {
  if (!hasContours()) return false;
  analysis.showContours(image2, image3);
  return true;
}

bool CommandSession::showDescriptor() {
  if (!hasContours()) return false;
  analysis.showDescriptor(image2);
  return true;
}

bool CommandSession::showBoundingBoxes() {
  if (!hasContours()) return false;
  analysis.showBoundingBoxes(image2);
  return true;
}

bool CommandSession::showModel() {
  if (!hasModelPlanes()) return false;
  reconstruction.showModel(image2, image3);
  return true;
}

bool CommandSession::showReconstructed() {
  if (!hasReconstruction()) return false;
  reconstruction.showGray(image2);
  return true;
}

void CommandSession::zoom(int32_t numerator, int32_t denominator) {
  const int32_t w = (numerator * analysis.width) / denominator;
  const int32_t h = (numerator * analysis.height) / denominator;
  image2.width = w;
  image2.height = h;
  image3.left = w + 20;
  image3.width = w;
  image3.height = h;
  image2.repaint();
}

}  // namespace filamorph
