#include "cli/CodecCommands.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "base/TextFormat.h"
#include "cli/CodecRun.h"
#include "cli/CodedFileInfo.h"
#include "cli/InputFile.h"
#include "cli/OutputFile.h"
#include "cli/Progress.h"
#include "cli/SelectionOptions.h"
#include "commands/CommandParameters.h"

namespace filamorph::cli {
namespace {

struct CodecArguments {
  std::string in;
  std::string out;
  SelectionOptions selection;
  std::string solver = "exact";
};

constexpr const char* kConvergedSolver = "converged";

void addSolverOption(CLI::App& command, CodecArguments& arguments) {
  command
      .add_option("--solver", arguments.solver,
                  "exact: the sweeps of the window's Reconstruct, stopped by their tolerance; converged: the "
                  "fill-in those sweeps tend to, solved to convergence in a fraction of the time")
      ->check(CLI::IsMember({"exact", kConvergedSolver}))
      ->capture_default_str();
}

CLI::App& addCommand(CLI::App& app, const std::string& name, const std::string& description, CodecArguments& arguments,
                     const std::string& inHelp, const std::string& outHelp) {
  CLI::App& command = *app.add_subcommand(name, description);
  command.add_option("IN", arguments.in, inHelp + ", or - for standard input")->required();
  if (!outHelp.empty()) command.add_option("OUT", arguments.out, outHelp + ", or - for standard output")->required();
  return command;
}

// Reconstruct with progress, then the two statistics of the solve; or the
// converged fill-in and its own statistics.
void reconstructAndReport(CodecRun& run, const GlobalOptions& options, const std::string& solver) {
  if (solver == kConvergedSolver) {
    options.statistic(convergedSolveStatistic(run.reconstructConverged()));
    return;
  }
  {
    SweepProgress progress(progressLinesFor(options.quiet, options.progress), kReconstructParameters.tolerance);
    run.reconstruct(progress.observer());
  }
  options.statistic(format("%d sweeps, final mean change %.9g", run.reconstruction().sweepCount,
                           static_cast<double>(run.reconstruction().meanChange)));
}

void analyseAndSelect(CodecRun& run, const InputFile& in, const ContourChoice& selection) {
  run.analyseBitmap(in, AnalysisStage::ModelBuilt);
  run.selectContours(selection);
}

void addEncode(CommandLine& line) {
  auto arguments = std::make_shared<CodecArguments>();
  CLI::App& command = addCommand(line.app(), "encode",
                                 "Code a bitmap into a Filamorph file: Open Image, Detect Contours, Trace Contours, "
                                 "Obtain Filamorph, the contour selection and Compress to File",
                                 *arguments, "Bitmap", "Coded file (.flm)");
  arguments->selection.addTo(command, std::to_string(kFileContourLimit));
  line.setAction(command, [arguments, &options = line.options()] {
    const ContourChoice selection = arguments->selection.parse();
    checkFileOutput(arguments->out);
    const InputFile in(arguments->in);
    in.requireBitmap("encode");
    CodecRun run;
    // The file is written from the contours: nothing here reads the model planes.
    run.skipModelPlanes();
    analyseAndSelect(run, in, selection);
    CodedFileInfo summary;
    // The statistic counts what the file holds, read back; --quiet needs no count.
    writeFileOutput(arguments->out, [&](const std::string& path) {
      Status written = run.compressToFile(path);
      if (written && !options.quiet) summary = readCodedFileInfo(InputFile(path));
      return written;
    });
    options.statistic(sizeText(summary) + ", " + std::to_string(summary.contours) + " contours, " +
                      std::to_string(summary.points) + " points");
  });
}

void addDecode(CommandLine& line) {
  auto arguments = std::make_shared<CodecArguments>();
  CLI::App& command =
      addCommand(line.app(), "decode", "Rebuild the image of a Filamorph file: Open Coded Image and Reconstruct",
                 *arguments, "Coded file (.flm)", "Reconstructed image (.pgm or .bmp)");
  addSolverOption(command, *arguments);
  line.setAction(command, [arguments, &options = line.options()] {
    checkImageOutput(arguments->out);
    const InputFile in(arguments->in);
    in.requireCodedFile("decode");
    CodecRun run;
    run.openCodedImage(in, options.maxPixels, true);
    reconstructAndReport(run, options, arguments->solver);
    writeImageOutput(arguments->out, run.reconstruction().grayPlane);
  });
}

void addReconstruct(CommandLine& line) {
  auto arguments = std::make_shared<CodecArguments>();
  CLI::App& command = addCommand(line.app(), "reconstruct",
                                 "Rebuild a bitmap from its own model, without a file: Open Image, Detect Contours, "
                                 "Trace Contours, Obtain Filamorph and Reconstruct",
                                 *arguments, "Bitmap", "Reconstructed image (.pgm or .bmp)");
  arguments->selection.addTo(command, "all");
  addSolverOption(command, *arguments);
  line.setAction(command, [arguments, &options = line.options()] {
    const ContourChoice selection = arguments->selection.parse();
    checkImageOutput(arguments->out);
    const InputFile in(arguments->in);
    in.requireBitmap("reconstruct");
    CodecRun run;
    analyseAndSelect(run, in, selection);
    reconstructAndReport(run, options, arguments->solver);
    writeImageOutput(arguments->out, run.reconstruction().grayPlane);
  });
}

void addInfo(CommandLine& line) {
  auto arguments = std::make_shared<CodecArguments>();
  CLI::App& command = addCommand(line.app(), "info",
                                 "Print the image size, contours, points, file size and bits per pixel of a "
                                 "Filamorph file on stdout, without reconstructing",
                                 *arguments, "Coded file (.flm)", "");
  line.setAction(command, [arguments, &options = line.options()] {
    const InputFile in(arguments->in);
    in.requireCodedFile("info");
    const CodedFileInfo summary = readCodedFileInfo(in, options.maxPixels);
    std::printf("width: %" PRId32 "\nheight: %" PRId32 "\ncontours: %" PRId64 "\npoints: %" PRId64
                "\nbytes: %ju\nbits per pixel: %.3f\n",
                summary.width, summary.height, summary.contours, summary.points,
                static_cast<std::uintmax_t>(summary.bytes), summary.bitsPerPixel());
  });
}

}  // namespace

std::string convergedSolveStatistic(const ConvergedSolveReport& report) {
  const char* const outcome = !report.settled            ? "stopped unsettled at the pass limit after"
                              : !report.reachedTolerance ? "stopped short of the tolerance after"
                                                         : "converged in";
  return format("%s %d conjugate-gradient steps (%d passes), %" PRId64 " pixels at 0 or 255, relative residual %.3g",
                outcome, report.iterations, report.passes, report.boundPixels, report.relativeResidual);
}

void addCodecCommands(CommandLine& line) {
  addEncode(line);
  addDecode(line);
  addReconstruct(line);
  addInfo(line);
}

}  // namespace filamorph::cli
