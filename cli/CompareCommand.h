#ifndef FILAMORPH_CLI_COMPARECOMMAND_H
#define FILAMORPH_CLI_COMPARECOMMAND_H
// compare: PSNR and SSIM of two gray images.

#include "cli/CommandLine.h"

namespace filamorph::cli {

void addCompareCommand(CommandLine& line);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_COMPARECOMMAND_H
