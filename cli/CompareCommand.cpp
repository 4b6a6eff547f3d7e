#include "cli/CompareCommand.h"

#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/ExitCodes.h"
#include "evaluation/GrayInput.h"
#include "evaluation/Metrics.h"

namespace filamorph::cli {
namespace {

struct CompareArguments {
  std::string first;
  std::string second;
};

evaluation::GrayInput requireGray(const std::string& path) {
  evaluation::GrayInput input = evaluation::readGrayInput(path);
  if (!input.status) throw CommandError(input.status);
  return input;
}

}  // namespace

void addCompareCommand(CommandLine& line) {
  auto arguments = std::make_shared<CompareArguments>();
  CLI::App& command = *line.app().add_subcommand(
      "compare",
      "Print PSNR and SSIM of image B against image A (BMP, PNG or PGM/PPM), both as Open Image imports them");
  command.add_option("A", arguments->first, "Reference image")->required();
  command.add_option("B", arguments->second, "Image to measure")->required();
  line.setAction(command, [arguments] {
    const evaluation::GrayInput first = requireGray(arguments->first);
    const evaluation::GrayInput second = requireGray(arguments->second);
    const Plane<uint8_t>& a = first.plane;
    const Plane<uint8_t>& b = second.plane;
    if (a.rows() != b.rows() || a.cols() != b.cols() || a.size() == 0) {
      throw CommandError(ExitCode::InputOutput, "cannot compare " + arguments->first + " (" + std::to_string(a.cols()) +
                                                    "x" + std::to_string(a.rows()) + ") with " + arguments->second +
                                                    " (" + std::to_string(b.cols()) + "x" + std::to_string(b.rows()) +
                                                    "): the sizes differ");
    }
    std::printf("PSNR %.2f dB, SSIM %.4f\n", evaluation::psnr(a, b), evaluation::ssim(a, b));
    std::fflush(stdout);
  });
}

}  // namespace filamorph::cli
