#include "evaluation/ScratchFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace filamorph::evaluation {

ScratchFile::ScratchFile(const std::string& suffix) {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = "/tmp";
  const std::string pattern = (folder / "filamorph-eval-XXXXXX").string() + suffix;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (descriptor < 0) {
    throw std::runtime_error(std::string("cannot create a temporary file: ") + std::strerror(errno));
  }
  close(descriptor);
  path_ = name.data();
}

ScratchFile::~ScratchFile() { std::remove(path_.c_str()); }

}  // namespace filamorph::evaluation
