#ifndef FILAMORPH_CLI_TEMPORARYFILE_H
#define FILAMORPH_CLI_TEMPORARYFILE_H
// A private file in the system's temporary folder, removed when it goes out of scope.

#include <string>

namespace filamorph::cli {

// The codec reads and writes files by name; standard input and output reach
// it through one of these. Throws CommandError (input/output) when no file
// can be made.
class TemporaryFile {
 public:
  // suffix is kept at the end of the name, e.g. ".pgm", so that writers that
  // choose a format by extension see it.
  explicit TemporaryFile(const std::string& suffix = "");
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Copies all of standard input into file; throws CommandError on a read or write failure.
void copyStandardInputTo(const TemporaryFile& file);
// Copies the whole file to standard output; throws CommandError on failure.
void copyFileToStandardOutput(const std::string& path);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_TEMPORARYFILE_H
