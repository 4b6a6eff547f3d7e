#ifndef FILAMORPH_BASE_BUILDVERSION_H
#define FILAMORPH_BASE_BUILDVERSION_H
// The version and source commit a build was made from, so results gathered on many machines can be told apart.

#include <string>

namespace filamorph {

// The project version, e.g. "0.1".
const char* buildVersion();
// "git describe --always --dirty" of the source tree when the build was
// configured, e.g. "ec4d717-dirty"; "unknown" outside a git checkout.
const char* buildCommit();
// "0.1 (ec4d717-dirty)", as --version prints it after the program's name.
std::string versionText();

}  // namespace filamorph

#endif  // FILAMORPH_BASE_BUILDVERSION_H
