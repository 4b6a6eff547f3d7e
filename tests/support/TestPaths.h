#ifndef FILAMORPH_TESTS_SUPPORT_TESTPATHS_H
#define FILAMORPH_TESTS_SUPPORT_TESTPATHS_H
// Where the tests find the project's photographs, conformance files and fixtures.

#include <filesystem>
#include <string>

namespace filamorph::testing {

inline std::filesystem::path sourceDir() { return FILAMORPH_SOURCE_DIR; }

// A file of the test image collection in tests/data/images (sources and
// licences in its README), e.g. testImage("a_camera_256x256_8gray.bmp") or
// testImage("bmpsuite/g/pal8.bmp"). A missing file is a failure of the test
// that reads it, never a skip.
inline std::filesystem::path testImage(const std::string& name) {
  return sourceDir() / "tests" / "data" / "images" / name;
}

// A coded file made for the tests in tests/data/coded (what each holds in its README).
inline std::filesystem::path testCodedFile(const std::string& name) {
  return sourceDir() / "tests" / "data" / "coded" / name;
}

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_SUPPORT_TESTPATHS_H
