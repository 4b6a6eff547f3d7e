#ifndef FILAMORPH_CLI_INPUTFILE_H
#define FILAMORPH_CLI_INPUTFILE_H
// The IN argument of a subcommand: a file name, or "-" for standard input.

#include <memory>
#include <string>

#include "base/TemporaryFile.h"

namespace filamorph::cli {

enum class InputKind {
  Bitmap,     // anything that is not a coded file; the bitmap reader judges it
  CodedFile,  // starts with the size segment's markers FF D0
};

// Standard input is spooled into a temporary file first, because the codec
// reads files by name (and Detect Contours reads the bitmap a second time).
// Construction throws CommandError (input/output) when the file cannot be read.
class InputFile {
 public:
  explicit InputFile(const std::string& argument);

  const std::string& path() const { return path_; }
  // For messages: the name given, or "standard input".
  const std::string& displayName() const { return displayName_; }
  InputKind kind() const { return kind_; }

  // Throw an input error naming the subcommand when the input is of another kind.
  void requireBitmap(const std::string& command) const;
  void requireCodedFile(const std::string& command) const;

 private:
  std::unique_ptr<TemporaryFile> spool_;
  std::string path_;
  std::string displayName_;
  InputKind kind_ = InputKind::Bitmap;
};

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_INPUTFILE_H
