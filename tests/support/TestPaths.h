#ifndef FILAMORPH_TESTS_SUPPORT_TESTPATHS_H
#define FILAMORPH_TESTS_SUPPORT_TESTPATHS_H
// Where the tests find the shared photographs and the project's fixtures.

#include <filesystem>
#include <string>

namespace filamorph::testing {

inline std::filesystem::path sourceDir() { return FILAMORPH_SOURCE_DIR; }

// A file of the shared image collection beside the project, e.g.
// sharedImage("a_camera_256x256_8gray.bmp") or sharedImage("bmpsuite/g/pal8.bmp").
inline std::filesystem::path sharedImage(const std::string& name) {
  return sourceDir() / ".." / "shared" / "images" / name;
}

}  // namespace filamorph::testing

// Skips the current test when the shared image collection is not beside the project.
#define FILAMORPH_REQUIRE_SHARED_IMAGES()                                                  \
  do {                                                                                     \
    if (!std::filesystem::exists(::filamorph::testing::sharedImage("README.md")))          \
      GTEST_SKIP() << "shared image collection not found next to the project";             \
  } while (0)

#endif  // FILAMORPH_TESTS_SUPPORT_TESTPATHS_H
