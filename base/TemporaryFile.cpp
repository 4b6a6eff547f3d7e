#include "base/TemporaryFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace filamorph {

TemporaryFile::TemporaryFile(const std::string& suffix) {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) folder = "/tmp";
  const std::string pattern = (folder / "filamorph-XXXXXX").string() + suffix;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (descriptor < 0) {
    status_ =
        Status::failure(ErrorKind::InputOutput, std::string("cannot create a temporary file: ") + std::strerror(errno));
    return;
  }
  close(descriptor);
  path_ = name.data();
}

TemporaryFile::~TemporaryFile() {
  if (!path_.empty()) std::remove(path_.c_str());
}

}  // namespace filamorph
