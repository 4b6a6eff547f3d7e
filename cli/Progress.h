#ifndef FILAMORPH_CLI_PROGRESS_H
#define FILAMORPH_CLI_PROGRESS_H
// The solver's progress on stderr, for a person watching a terminal.

#include <chrono>

#include "commands/ConvergenceProgress.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph::cli {

// Shows the sweep count, the mean change against the tolerance, the share of
// the way done and, once the pace is steady, the time left, on one line that
// rewrites itself, only while enabled and stderr is a terminal (never in a
// pipe or a log), at most ten times a second; the line is erased when the
// object goes.
class SweepProgress {
 public:
  SweepProgress(bool enabled, float tolerance);
  SweepProgress(const SweepProgress&) = delete;
  SweepProgress& operator=(const SweepProgress&) = delete;
  ~SweepProgress();

  // Never cancels the solve. Empty when progress is not shown.
  SweepObserver observer();

 private:
  void show(int sweep, float meanChange);

  bool shown_ = false;
  bool lineWritten_ = false;
  ConvergenceProgress progress_;
  std::chrono::steady_clock::time_point start_{};
  std::chrono::steady_clock::time_point nextUpdate_{};
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_PROGRESS_H
