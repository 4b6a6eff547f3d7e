#ifndef FILAMORPH_TESTS_EVALUATION_TOOLRUN_H
#define FILAMORPH_TESTS_EVALUATION_TOOLRUN_H
// The command-line tool run in-process with its exit status and captured streams.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/Application.h"

namespace filamorph::testing {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline ToolRun runTool(const std::vector<std::string>& arguments) {
  std::vector<const char*> argv{"filamorph"};
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  ToolRun run;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  run.status = cli::runFilamorph(static_cast<int>(argv.size()), argv.data());
  run.err = ::testing::internal::GetCapturedStderr();
  run.out = ::testing::internal::GetCapturedStdout();
  return run;
}

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_EVALUATION_TOOLRUN_H
