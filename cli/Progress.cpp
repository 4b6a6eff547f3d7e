#include "cli/Progress.h"

#include <unistd.h>

#include <cstdio>

namespace filamorph::cli {
namespace {

constexpr std::chrono::milliseconds kUpdateInterval{100};

}  // namespace

SweepProgress::SweepProgress(bool enabled) : shown_(enabled && isatty(STDERR_FILENO) == 1) {}

SweepProgress::~SweepProgress() {
  // Carriage return and erase to the end of the line.
  if (lineWritten_) std::fputs("\r\033[K", stderr);
}

SweepObserver SweepProgress::observer() {
  if (!shown_) return {};
  return [this](int sweep, float meanChange) {
    show(sweep, meanChange);
    return true;
  };
}

void SweepProgress::show(int sweep, float meanChange) {
  const auto now = std::chrono::steady_clock::now();
  if (now < nextUpdate_) return;
  nextUpdate_ = now + kUpdateInterval;
  std::fprintf(stderr, "\rreconstructing: sweep %d, mean change %.6g\033[K", sweep, static_cast<double>(meanChange));
  std::fflush(stderr);
  lineWritten_ = true;
}

}  // namespace filamorph::cli
