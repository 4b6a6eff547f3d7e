#include "cli/EvalCommands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/ExitCodes.h"
#include "cli/OutputFile.h"
#include "cli/SelectionOptions.h"
#include "evaluation/EvaluationBatch.h"
#include "evaluation/Report.h"
#include "evaluation/ResultTable.h"

namespace filamorph::cli {
namespace {

constexpr int kBarWidth = 30;

struct EvalArguments {
  std::vector<std::string> images;
  SelectionOptions selection;
  unsigned jobs = 0;
  std::string csv;
  std::string report;
  std::string solver = "both";
};

// A bar of finished images on stderr, only when stderr is a terminal; erased at the end.
class BatchProgressBar {
 public:
  BatchProgressBar(bool enabled, std::size_t total) : shown_(enabled && isatty(STDERR_FILENO) == 1) {
    if (shown_) show(0, total);
  }
  BatchProgressBar(const BatchProgressBar&) = delete;
  BatchProgressBar& operator=(const BatchProgressBar&) = delete;
  ~BatchProgressBar() {
    if (shown_) std::fputs("\r\033[K", stderr);
  }

  evaluation::BatchProgress callback() {
    if (!shown_) return {};
    return [](std::size_t done, std::size_t total) { show(done, total); };
  }

 private:
  static void show(std::size_t done, std::size_t total) {
    const int filled = total == 0 ? kBarWidth : static_cast<int>(done * kBarWidth / total);
    std::fprintf(stderr, "\r[%s%*s] %zu/%zu images\033[K", std::string(filled, '#').c_str(), kBarWidth - filled, "",
                 done, total);
    std::fflush(stderr);
  }

  bool shown_;
};

void checkReportFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    throw CommandError(ExitCode::InputOutput, "cannot make the report folder " + folder);
  }
}

void run(const EvalArguments& arguments, const GlobalOptions& options) {
  const ContourChoice selection = arguments.selection.parse();
  if (arguments.jobs == 0) throw CommandError(ExitCode::Usage, "--jobs: give at least 1 worker");
  if (!arguments.csv.empty()) checkFileOutput(arguments.csv);
  if (!arguments.report.empty()) checkReportFolder(arguments.report);

  evaluation::EvaluationSettings settings;
  settings.choice = selection;
  settings.withReport = !arguments.report.empty();
  settings.exactSolver = arguments.solver != "converged";
  settings.convergedSolver = arguments.solver != "exact";
  if (settings.withReport) settings.rateChoices = evaluation::standardRateChoices(settings.choice);

  std::vector<evaluation::ImageEvaluation> results;
  {
    BatchProgressBar bar(!options.quiet, arguments.images.size());
    results = evaluation::evaluateImages(arguments.images, settings, arguments.jobs, bar.callback());
  }

  // With the CSV on standard output the table goes to stderr, as statistics do.
  const std::string table = evaluation::formatTable(results);
  if (arguments.csv == "-") {
    options.statistic(table);
  } else {
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
  }
  if (!arguments.csv.empty()) writeTextOutput(arguments.csv, evaluation::formatCsv(results));
  if (settings.withReport) {
    const std::string page = (std::filesystem::path(arguments.report) / "report.html").string();
    const Status written = evaluation::writeReport(page, results, settings);
    if (!written) throw CommandError(ExitCode::InputOutput, written.message());
    options.statistic("report: " + page);
  }

  std::size_t failed = 0;
  const evaluation::ImageEvaluation* first = nullptr;
  for (const evaluation::ImageEvaluation& result : results) {
    if (result.ok()) continue;
    ++failed;
    if (!first) first = &result;
  }
  if (first) {
    throw CommandError(exitCodeOf(first->failure), std::to_string(failed) + " of " + std::to_string(results.size()) +
                                                       " images could not be measured; first: " + first->name + ": " +
                                                       first->error);
  }
}

}  // namespace

void addEvalCommand(CommandLine& line) {
  auto arguments = std::make_shared<EvalArguments>();
  CLI::App& command = *line.app().add_subcommand(
      "eval",
      "Measure images through the codec (encode and decode as the menu commands do): file size, bits per "
      "pixel, contours, points, PSNR, SSIM, solver sweeps and the time of each stage (the converged fill-in "
      "beside the sweeps), beside the baseline gray "
      "JPEG of the closest file size");
  command.add_option("IMAGE", arguments->images, "Images: BMP (8 or 24 bits), PNG or PGM/PPM")->required();
  arguments->selection.addTo(command, std::to_string(kFileContourLimit));
  arguments->jobs = std::max(1u, std::thread::hardware_concurrency());
  command.add_option("-j,--jobs", arguments->jobs, "Images measured at once, each on its own worker thread")
      ->capture_default_str();
  command
      .add_option("--csv", arguments->csv, "Also write one CSV line per image, with a header, to OUT (- for stdout)")
      ->type_name("OUT");
  command
      .add_option("--report", arguments->report,
                  "Write DIR/report.html: the pictures of every stage, the JPEG of matched size and "
                  "rate-distortion curves over --keep 8 to all")
      ->type_name("DIR");
  command
      .add_option("--solver", arguments->solver,
                  "Reconstruct each file by the window's sweeps (exact), by the converged fill-in (converged, "
                  "much quicker), or by both, each measured in its own columns")
      ->check(CLI::IsMember({"both", "exact", "converged"}))
      ->capture_default_str();
  line.setAction(command, [arguments, &options = line.options()] { run(*arguments, options); });
}

}  // namespace filamorph::cli
