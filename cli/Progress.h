#ifndef FILAMORPH_CLI_PROGRESS_H
#define FILAMORPH_CLI_PROGRESS_H
// The solver's progress on stderr: a line that rewrites itself on a terminal, or plain lines for a log.

#include <chrono>

#include "commands/ConvergenceProgress.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph::cli {

enum class ProgressLines {
  Off,
  OnTerminal,  // only while stderr is a terminal (never in a pipe or a log)
  Always,      // --progress: also into a pipe or a log
};

// --progress asks for the lines even with --quiet, which otherwise silences them.
ProgressLines progressLinesFor(bool quiet, bool progress);

// Shows the sweep count, the mean change against the tolerance, the share of
// the way done, the time since the solve began and, once the pace is steady,
// the time left. On a terminal one line rewrites itself at most ten times a
// second and is erased when the object goes; elsewhere a plain line is
// written at most once a second, and the last sweep's line at the end, so
// that a log shows where the solve stopped.
class SweepProgress {
 public:
  SweepProgress(ProgressLines lines, float tolerance);
  SweepProgress(const SweepProgress&) = delete;
  SweepProgress& operator=(const SweepProgress&) = delete;
  ~SweepProgress();

  // An observer that shows each sweep and never cancels; empty when not shown.
  SweepObserver observer();

 private:
  void show(int sweep, float meanChange, bool last);

  bool shown_ = false;
  bool rewrites_ = false;  // on a terminal: one line, rewritten
  bool lineWritten_ = false;
  int lastSweep_ = 0;
  float lastChange_ = 0.0f;
  int shownSweep_ = 0;
  ConvergenceProgress progress_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point nextUpdate_{};
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_PROGRESS_H
