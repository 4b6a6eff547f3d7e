#include "cli/Progress.h"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

namespace filamorph::cli {
namespace {

constexpr std::chrono::milliseconds kTerminalInterval{100};
constexpr std::chrono::milliseconds kLogInterval{1000};

}  // namespace

ProgressLines progressLinesFor(bool quiet, bool progress) {
  if (progress) return ProgressLines::Always;
  return quiet ? ProgressLines::Off : ProgressLines::OnTerminal;
}

SweepProgress::SweepProgress(ProgressLines lines, float tolerance)
    : progress_(tolerance), start_(std::chrono::steady_clock::now()) {
  const bool terminal = isatty(STDERR_FILENO) == 1;
  shown_ = lines == ProgressLines::Always || (lines == ProgressLines::OnTerminal && terminal);
  rewrites_ = shown_ && terminal;
}

SweepProgress::~SweepProgress() {
  if (rewrites_) {
    // Carriage return and erase to the end of the line.
    if (lineWritten_) std::fputs("\r\033[K", stderr);
  } else if (lastSweep_ > shownSweep_) {
    show(lastSweep_, lastChange_, true);
  }
}

SweepObserver SweepProgress::observer() {
  if (!shown_) return {};
  return [this](int sweep, float meanChange) {
    lastSweep_ = sweep;
    lastChange_ = meanChange;
    // Every sweep counts toward the estimate, even those not shown.
    const auto now = std::chrono::steady_clock::now();
    progress_.addSweep(sweep, meanChange, std::chrono::duration<double>(now - start_).count());
    show(sweep, meanChange, false);
    return true;
  };
}

void SweepProgress::show(int sweep, float meanChange, bool last) {
  const auto now = std::chrono::steady_clock::now();
  if (!last && now < nextUpdate_) return;
  nextUpdate_ = now + (rewrites_ ? kTerminalInterval : kLogInterval);
  const std::optional<double> remaining = progress_.remainingSeconds();
  const std::string left = remaining ? ", about " + describeDuration(*remaining) + " left" : std::string();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "%sreconstructing: sweep %d, mean change %.6g (tolerance %.6g), %3.0f%%, %s elapsed%s%s",
               rewrites_ ? "\r" : "", sweep, static_cast<double>(meanChange),
               static_cast<double>(progress_.tolerance()), 100.0 * progress_.fraction(),
               describeDuration(elapsed).c_str(), left.c_str(), rewrites_ ? "\033[K" : "\n");
  std::fflush(stderr);
  lineWritten_ = true;
  shownSweep_ = sweep;
}

}  // namespace filamorph::cli
