#include "cli/DumpCommands.h"

#include <functional>
#include <memory>
#include <string>

#include "cli/CodecRun.h"
#include "cli/CsvWriters.h"
#include "cli/ExitCodes.h"
#include "cli/InputFile.h"
#include "cli/OutputFile.h"
#include "cli/SelectionOptions.h"

namespace filamorph::cli {
namespace {

struct DumpArguments {
  std::string in;
  std::string out;
  SelectionOptions selection;
};

using ByteMapping = uint8_t (*)(uint8_t);

uint8_t unchanged(uint8_t value) {
  return value;
}
// The edge-map view: any edge code shows white.
uint8_t edgeView(uint8_t code) {
  return code != 0 ? 255 : 0;
}
// The model view: (255 x depth) mod 256, so depth 1 shows as 255 and 255 as 1.
uint8_t depthView(uint8_t depth) {
  return static_cast<uint8_t>(255u * depth);
}

void writePlane(const std::string& out, const Plane<uint8_t>& plane, ByteMapping bitmapView) {
  if (!isBitmapOutput(out) || bitmapView == unchanged) {
    writeImageOutput(out, plane);
    return;
  }
  Plane<uint8_t> view;
  view.allocate(plane.rows(), plane.cols());
  const uint8_t* source = plane.data();
  uint8_t* target = view.data();
  for (std::size_t i = 0; i < plane.size(); ++i) target[i] = bitmapView(source[i]);
  writeImageOutput(out, view);
}

CLI::App& addDump(CLI::App& family, const std::string& name, const std::string& description,
                  std::shared_ptr<DumpArguments> arguments) {
  CLI::App& command = *family.add_subcommand(name, description);
  command.add_option("IN", arguments->in, "Input file, or - for standard input")->required();
  command.add_option("OUT", arguments->out, "Output file, or - for standard output")->required();
  return command;
}

// A plane of the analysis object after the bitmap has gone as far as stage.
void addAnalysisDump(CommandLine& line, CLI::App& family, const std::string& name, const std::string& description,
                     AnalysisStage stage, const Plane<uint8_t> ContourCoder::*plane, ByteMapping bitmapView) {
  auto arguments = std::make_shared<DumpArguments>();
  CLI::App& command = addDump(family, name, description + " (IN a bitmap; OUT .pgm or .bmp)", arguments);
  line.setAction(command, [arguments, name, stage, plane, bitmapView] {
    checkImageOutput(arguments->out);
    const InputFile in(arguments->in);
    in.requireBitmap("dump " + name);
    CodecRun run;
    run.analyseBitmap(in, stage);
    writePlane(arguments->out, run.analysis().*plane, bitmapView);
  });
}

// The model after Obtain Filamorph and an optional selection, or as read from a coded file.
void addModelDump(CommandLine& line, CLI::App& family, const std::string& name, const std::string& description,
                  bool writesImage, std::function<void(CodecRun&, const std::string& out)> write) {
  auto arguments = std::make_shared<DumpArguments>();
  CLI::App& command = addDump(family, name, description, arguments);
  arguments->selection.addTo(command, "all");
  line.setAction(command, [arguments, write = std::move(write), writesImage, &options = line.options()] {
    const ContourChoice selection = arguments->selection.parse();
    if (writesImage) {
      checkImageOutput(arguments->out);
    } else {
      checkFileOutput(arguments->out);
    }
    const InputFile in(arguments->in);
    CodecRun run;
    if (in.kind() == InputKind::CodedFile) {
      if (!selection.keepAll) {
        throw CommandError(ExitCode::Usage,
                           "--keep selects among traced contours: IN must be a bitmap, not a coded file");
      }
      run.openCodedImage(in, options.maxPixels);
    } else {
      run.analyseBitmap(in, AnalysisStage::ModelBuilt);
      run.selectContours(selection);
    }
    write(run, arguments->out);
  });
}

}  // namespace

void addDumpCommands(CommandLine& line) {
  CLI::App& family = *line.app().add_subcommand("dump", "Write an intermediate result of the codec");
  family.require_subcommand(1);

  addAnalysisDump(line, family, "gray", "The gray plane imported from the bitmap", AnalysisStage::Opened,
                  &ContourCoder::grayPlane, unchanged);
  addAnalysisDump(line, family, "edges",
                  "The edge map of Detect Contours (.pgm: its codes 0 and 250; .bmp: white edges on black)",
                  AnalysisStage::EdgesDetected, &ContourCoder::edgeMap, edgeView);
  addAnalysisDump(line, family, "smoothed", "The gray plane as Detect Contours leaves it, smoothed",
                  AnalysisStage::EdgesDetected, &ContourCoder::grayPlane, unchanged);

  const std::string fromModel = " (IN a bitmap, after Obtain Filamorph, or a coded file)";
  addModelDump(
      line, family, "contours", "The contour table as CSV" + fromModel, false,
      [](CodecRun& run, const std::string& out) { writeTextOutput(out, contoursCsv(run.analysis().contours)); });
  addModelDump(line, family, "points", "Every contour point with its profile as CSV" + fromModel, false,
               [](CodecRun& run, const std::string& out) { writeTextOutput(out, pointsCsv(run.analysis().contours)); });
  addModelDump(
      line, family, "depth",
      "The depth plane of the model (.pgm: its gray levels; .bmp: as the model view shows it)" + fromModel, true,
      [](CodecRun& run, const std::string& out) { writePlane(out, run.reconstruction().depthPlane, depthView); });
  addModelDump(
      line, family, "sparseness",
      "The sparseness plane of the model, 255 at every sample pixel (.pgm or .bmp)" + fromModel, true,
      [](CodecRun& run, const std::string& out) { writePlane(out, run.reconstruction().sparsenessPlane, unchanged); });
}

}  // namespace filamorph::cli
