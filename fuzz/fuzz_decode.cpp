// libFuzzer target for the whole decode path, in memory: read a coded file,
// lay the model planes, draw every view, build both CSV tables and solve by
// the sweeps and by the converged fill-in.
// Inputs declaring more than 64 x 64 pixels are refused by the reader's own
// limit, so every run stays short. Planes must have the declared size, and a
// cancelled solve must leave the reconstruction object and the generator as
// they were.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <bit>
#include <string>
#include <vector>

#include "cli/CsvWriters.h"
#include "codecfile/BitFile.h"
#include "commands/CommandSession.h"
#include "base/Messages.h"

namespace {

using filamorph::BitFile;
using filamorph::CommandSession;
using filamorph::ContourCoder;
using filamorph::DitherGenerator;
using filamorph::Plane;
using filamorph::Reconstructor;

constexpr int64_t kMaxFuzzPixels = 64 * 64;
constexpr float kFuzzTolerance = 0.5f;
constexpr int kMaxSweeps = 100;

void require(bool condition) {
  if (!condition) __builtin_trap();
}

template <typename T>
bool hasSize(const Plane<T>& plane, int32_t rows, int32_t cols) {
  return plane.exists() && plane.rows() == rows && plane.cols() == cols;
}

// Floats are compared by their bits, so that a NaN compares equal to itself.
uint32_t bitsOf(float value) { return std::bit_cast<uint32_t>(value); }

std::vector<uint32_t> bitsOf(const Plane<float>& plane) {
  std::vector<uint32_t> bits;
  for (std::size_t i = 0; i < plane.size(); ++i) bits.push_back(bitsOf(plane.data()[i]));
  return bits;
}

std::vector<uint8_t> bytesOf(const Plane<uint8_t>& plane) {
  return plane.exists() ? std::vector<uint8_t>(plane.data(), plane.data() + plane.size()) : std::vector<uint8_t>();
}

// Everything a solve may change, to compare before and after a cancelled one.
struct SolverState {
  std::vector<uint8_t> gray;
  std::vector<uint32_t> work;
  std::vector<uint8_t> sparseness;
  std::vector<uint8_t> depth;
  std::vector<uint32_t> values;  // parameters, results and the last visit
  std::vector<int64_t> counts;   // sweeps, flags and the generator

  SolverState(const Reconstructor& r, const DitherGenerator& g)
      : gray(bytesOf(r.grayPlane)),
        work(bitsOf(r.workPlane)),
        sparseness(bytesOf(r.sparsenessPlane)),
        depth(bytesOf(r.depthPlane)),
        values{bitsOf(r.smoothWeight), bitsOf(r.plateWeight), bitsOf(r.relaxation), bitsOf(r.tolerance),
               bitsOf(r.meanChange), bitsOf(r.lastChange), bitsOf(r.pixelDiagonal), bitsOf(r.previousValue)},
        counts{r.sweepCount, r.dither, r.grayPlaneAllocated, r.ownsWorkPlane, g.state} {}

  bool operator==(const SolverState&) const = default;
};

std::size_t lineCount(const std::string& text) {
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  return lines;
}

void checkViewsAndTables(CommandSession& session) {
  const ContourCoder& analysis = session.analysis;
  require(session.showDescriptor() == session.hasContours());
  require(session.showContours() == session.hasContours());
  require(session.showBoundingBoxes() == session.hasContours());
  require(session.showModel());
  const filamorph::Bitmap& view = session.image2.picture;
  require(view.width == analysis.width && view.height == analysis.height);

  std::size_t points = 0;
  for (const auto& contour : analysis.contours) points += contour.points.size();
  require(lineCount(filamorph::cli::contoursCsv(analysis.contours)) == analysis.contours.size() + 1);
  require(lineCount(filamorph::cli::pointsCsv(analysis.contours)) == points + 1);
}

void checkSolves(CommandSession& session) {
  Reconstructor& reconstruction = session.reconstruction;
  DitherGenerator generator;
  generator.state = 12345;

  const SolverState before(reconstruction, generator);
  // A plane under 4 x 4 gets no sweep, so there is nothing to cancel.
  if (reconstruction.rows >= 4 && reconstruction.cols >= 4) {
    require(!session.reconstruct(generator, [](int, float) { return false; }));
    require(SolverState(reconstruction, generator) == before);
  }

  // The window's parameters but a loose tolerance, and a cap on the sweeps
  // (a solve cut off is a cancelled one), so that a run stays short.
  reconstruction.setSolverParameters(64.0f, 0.5f, 1.1f, kFuzzTolerance, 1);
  const SolverState parametersSet(reconstruction, generator);
  bool cutOff = false;
  const bool solved = reconstruction.solve(generator, [&cutOff](int sweep, float) {
    cutOff = sweep >= kMaxSweeps;
    return !cutOff;
  });
  if (!solved) {
    require(cutOff && SolverState(reconstruction, generator) == parametersSet);
    return;
  }
  const int32_t rows = reconstruction.rows;
  const int32_t cols = reconstruction.cols;
  require(hasSize(reconstruction.grayPlane, rows, cols) && hasSize(reconstruction.workPlane, rows, cols));
  require(session.showReconstructed());
}

// The converged fill-in of any model fills both planes with levels in 0..255.
void checkConvergedSolve(Reconstructor& reconstruction) {
  DitherGenerator generator;
  reconstruction.solveConverged(generator);
  const int32_t rows = reconstruction.rows;
  const int32_t cols = reconstruction.cols;
  require(hasSize(reconstruction.grayPlane, rows, cols) && hasSize(reconstruction.workPlane, rows, cols));
  const Plane<float>& work = reconstruction.workPlane;
  for (std::size_t i = 0; i < work.size(); ++i) require(work.data()[i] >= 0.0f && work.data()[i] <= 255.0f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const bool quiet = (filamorph::setMessageHandler([](const std::string&, filamorph::MessageSeverity) {}), true);
  (void)quiet;
  if (size == 0) return 0;
  std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (stream == nullptr) return 0;
  BitFile file;
  require(file.openStream(stream, false));

  ContourCoder analysis;
  Reconstructor reconstruction;
  CommandSession session(analysis, reconstruction);
  const bool read = session.readCodedImage(file, "fuzz input", filamorph::CodedFileReading{kMaxFuzzPixels, false}).ok();
  file.closeFile();
  if (!read) {
    require(analysis.contours.empty() && analysis.width == 0 && analysis.height == 0);
    return 0;
  }
  require(static_cast<int64_t>(analysis.width) * analysis.height <= kMaxFuzzPixels);

  require(session.layCodedImage());
  require(hasSize(reconstruction.sparsenessPlane, analysis.height, analysis.width));
  require(hasSize(reconstruction.depthPlane, analysis.height, analysis.width));
  require(reconstruction.rows == analysis.height && reconstruction.cols == analysis.width);

  checkViewsAndTables(session);
  checkSolves(session);
  checkConvergedSolve(reconstruction);
  return 0;
}
