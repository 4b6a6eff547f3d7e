#ifndef FILAMORPH_CLI_EVALFAILURES_H
#define FILAMORPH_CLI_EVALFAILURES_H
// The exit status of a failed measurement.

#include "cli/ExitCodes.h"
#include "evaluation/Evaluation.h"

namespace filamorph::cli {

inline ExitCode exitCodeOf(evaluation::Failure failure) {
  switch (failure) {
    case evaluation::Failure::None:
      return ExitCode::Success;
    case evaluation::Failure::InputOutput:
      return ExitCode::InputOutput;
    case evaluation::Failure::UnsupportedPixelFormat:
      return ExitCode::UnsupportedPixelFormat;
    case evaluation::Failure::Codec:
      break;
  }
  return ExitCode::CodecFailure;
}

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_EVALFAILURES_H
