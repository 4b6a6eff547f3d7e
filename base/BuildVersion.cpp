#include "base/BuildVersion.h"

// The build system defines both; a compile outside it still says where it stands.
#ifndef FILAMORPH_VERSION
#define FILAMORPH_VERSION "unknown"
#endif
#ifndef FILAMORPH_COMMIT
#define FILAMORPH_COMMIT "unknown"
#endif

namespace filamorph {

const char* buildVersion() {
  return FILAMORPH_VERSION;
}

const char* buildCommit() {
  return FILAMORPH_COMMIT;
}

std::string versionText() {
  return std::string(buildVersion()) + " (" + buildCommit() + ")";
}

}  // namespace filamorph
