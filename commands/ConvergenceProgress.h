#ifndef FILAMORPH_COMMANDS_CONVERGENCEPROGRESS_H
#define FILAMORPH_COMMANDS_CONVERGENCEPROGRESS_H
// How far an iterative solve has come toward its tolerance, and how long it still needs.

#include <optional>
#include <string>
#include <vector>

namespace filamorph {

// Fed with each finished sweep's mean change. The solver's mean change falls
// roughly geometrically, so progress is measured on a logarithmic scale: from
// the first sweep's mean change (0) to the tolerance (1). The window and the
// command line show the same fraction and the same estimate.
class ConvergenceProgress {
 public:
  explicit ConvergenceProgress(float tolerance) : tolerance_(tolerance) {}

  // A finished sweep (1-based), its mean change and the seconds since the
  // solve began.
  void addSweep(int sweep, float meanChange, double elapsedSeconds);

  int sweep() const { return sweep_; }
  float meanChange() const { return meanChange_; }
  float tolerance() const { return tolerance_; }
  double elapsedSeconds() const { return elapsedSeconds_; }

  // 0 before the first sweep, 1 once a mean change reaches the tolerance; it
  // never moves back, even when a sweep changes more than the one before.
  double fraction() const { return fraction_; }

  // The seconds still needed at the recent pace, once that pace is steady:
  // empty while too few sweeps have run or the pace still changes a lot.
  std::optional<double> remainingSeconds() const;

 private:
  struct Sample {
    double seconds;
    double fraction;
  };
  // Fraction gained per second between two samples; empty when no time passed.
  static std::optional<double> pace(const Sample& from, const Sample& to);

  float tolerance_;
  int sweep_ = 0;
  float meanChange_ = 0.0f;
  double elapsedSeconds_ = 0.0;
  double fraction_ = 0.0;
  std::optional<double> firstLogChange_;
  std::vector<Sample> samples_;
};

// A duration for people: "7 s", "2 min 05 s", "1 h 10 min".
std::string describeDuration(double seconds);

}  // namespace filamorph

#endif  // FILAMORPH_COMMANDS_CONVERGENCEPROGRESS_H
