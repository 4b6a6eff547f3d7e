#ifndef FILAMORPH_EVALUATION_SCRATCHFILE_H
#define FILAMORPH_EVALUATION_SCRATCHFILE_H
// A private file in the system's temporary folder, removed when it goes out of scope.

#include <string>

namespace filamorph::evaluation {

// The codec reads and writes files by name; a measurement's coded file and a
// converted input live in one of these. Throws std::runtime_error when no
// file can be made. The suffix stays at the end of the name (e.g. ".bmp").
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& suffix);
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_SCRATCHFILE_H
