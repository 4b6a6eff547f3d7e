#include "cli/Progress.h"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

namespace filamorph::cli {
namespace {

constexpr std::chrono::milliseconds kUpdateInterval{100};

}  // namespace

SweepProgress::SweepProgress(bool enabled, float tolerance)
    : shown_(enabled && isatty(STDERR_FILENO) == 1), progress_(tolerance), start_(std::chrono::steady_clock::now()) {}

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
  // Every sweep counts toward the estimate, even those not shown.
  progress_.addSweep(sweep, meanChange, std::chrono::duration<double>(now - start_).count());
  if (now < nextUpdate_) return;
  nextUpdate_ = now + kUpdateInterval;
  const std::optional<double> remaining = progress_.remainingSeconds();
  const std::string left = remaining ? ", about " + describeDuration(*remaining) + " left" : std::string();
  std::fprintf(stderr, "\rreconstructing: sweep %d, mean change %.6g (tolerance %g), %3.0f%%, %s elapsed%s\033[K",
               sweep, static_cast<double>(meanChange), static_cast<double>(progress_.tolerance()),
               100.0 * progress_.fraction(), describeDuration(progress_.elapsedSeconds()).c_str(), left.c_str());
  std::fflush(stderr);
  lineWritten_ = true;
}

}  // namespace filamorph::cli
