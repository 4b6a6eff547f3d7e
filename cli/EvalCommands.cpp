#include "cli/EvalCommands.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/ExitCodes.h"
#include "cli/OutputFile.h"
#include "cli/SelectionOptions.h"
#include "evaluation/EvaluationBatch.h"
#include "evaluation/Report.h"
#include "evaluation/ResultFiles.h"
#include "evaluation/ResultTable.h"
#include "evaluation/Shard.h"

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
  std::string shard;
  std::string out;
};

struct ReportArguments {
  std::vector<std::string> folders;
  std::string csv;
  std::string report;
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

void makeFolder(const std::string& folder, const std::string& what) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) {
    throw CommandError(ExitCode::InputOutput, "cannot make the " + what + " folder " + folder);
  }
}

// The table on stdout, the CSV and the report page as asked, then the exit
// status of the first image that could not be measured.
void present(const std::vector<evaluation::ImageEvaluation>& results, const evaluation::EvaluationSettings& settings,
             const std::string& csv, const std::string& report, const GlobalOptions& options) {
  // With the CSV on standard output the table goes to stderr, as statistics do.
  const std::string table = evaluation::formatTable(results);
  if (csv == "-") {
    options.statistic(table);
  } else {
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
  }
  if (!csv.empty()) writeTextOutput(csv, evaluation::formatCsv(results));
  if (!report.empty()) {
    const std::string page = (std::filesystem::path(report) / "report.html").string();
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

void run(const EvalArguments& arguments, const GlobalOptions& options) {
  const ContourChoice selection = arguments.selection.parse();
  if (arguments.jobs == 0) throw CommandError(ExitCode::Usage, "--jobs: give at least 1 worker");
  // Positions in the list as given: the result files carry them, so merged shards keep the list's order.
  std::vector<std::size_t> positions(arguments.images.size());
  std::iota(positions.begin(), positions.end(), std::size_t{0});
  if (!arguments.shard.empty()) {
    const std::optional<evaluation::Shard> shard = evaluation::parseShard(arguments.shard);
    if (!shard) {
      throw CommandError(ExitCode::Usage, "--shard: \"" + arguments.shard + "\" is not K/N with 0 <= K < N");
    }
    positions = evaluation::shardPositions(arguments.images, *shard);
  }
  std::vector<std::string> images;
  for (std::size_t position : positions) images.push_back(arguments.images[position]);
  if (!arguments.csv.empty()) checkFileOutput(arguments.csv);
  if (!arguments.report.empty()) makeFolder(arguments.report, "report");
  if (!arguments.out.empty()) makeFolder(arguments.out, "results");

  evaluation::EvaluationSettings settings;
  settings.choice = selection;
  settings.exactSolver = arguments.solver != "converged";
  settings.convergedSolver = arguments.solver != "exact";
  // The result files carry everything the report shows, so that report can build it later.
  settings.withReport = !arguments.report.empty() || !arguments.out.empty();
  if (settings.withReport) settings.rateChoices = evaluation::standardRateChoices(settings.choice);

  std::vector<evaluation::ImageEvaluation> results;
  {
    BatchProgressBar bar(!options.quiet, images.size());
    results = evaluation::evaluateImages(images, settings, arguments.jobs, bar.callback());
  }
  if (!arguments.out.empty()) {
    for (std::size_t i = 0; i < results.size(); ++i) {
      const Status written = evaluation::writeResultFiles(arguments.out, results[i], positions[i], settings);
      if (!written) throw CommandError(written);
    }
  }
  present(results, settings, arguments.csv, arguments.report, options);
}

void runReport(const ReportArguments& arguments, const GlobalOptions& options) {
  if (!arguments.csv.empty()) checkFileOutput(arguments.csv);
  if (!arguments.report.empty()) makeFolder(arguments.report, "report");
  evaluation::ResultCollection collection;
  if (const Status read = evaluation::readResultFolders(arguments.folders, collection); !read) {
    throw CommandError(read);
  }
  present(collection.results, collection.settings, arguments.csv, arguments.report, options);
}

void addReportCommand(CommandLine& line) {
  auto arguments = std::make_shared<ReportArguments>();
  CLI::App& command = *line.app().add_subcommand(
      "report",
      "Build the table, CSV and HTML report from the result folders of eval --out, e.g. of many shards: "
      "the same as one eval over all their images, timings aside");
  command.add_option("DIR", arguments->folders, "Folders written by eval --out")->required();
  command.add_option("--csv", arguments->csv, "Write one CSV line per image, with a header, to OUT (- for stdout)")
      ->type_name("OUT");
  command.add_option("--report", arguments->report, "Write DIR/report.html")->type_name("DIR");
  line.setAction(command, [arguments, &options = line.options()] { runReport(*arguments, options); });
}

}  // namespace

void addEvalCommand(CommandLine& line) {
  auto arguments = std::make_shared<EvalArguments>();
  CLI::App& command = *line.app().add_subcommand(
      "eval",
      "Measure images through the codec (encode and decode as the menu commands do): file size, bits per "
      "pixel, contours, points, PSNR, SSIM, solver sweeps and the time of each stage, beside the baseline gray "
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
  command
      .add_option("--shard", arguments->shard,
                  "Measure only the images whose position in the sorted list is K modulo N, so that N jobs "
                  "cover the list once")
      ->type_name("K/N");
  command
      .add_option("--out", arguments->out,
                  "Also write each image's results into DIR, one file set per image written whole, for "
                  "filamorph report; jobs may share DIR. Measures the report's pictures and rate curves")
      ->type_name("DIR");
  line.setAction(command, [arguments, &options = line.options()] { run(*arguments, options); });
  addReportCommand(line);
}

}  // namespace filamorph::cli
