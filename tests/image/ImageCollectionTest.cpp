// Every photograph and conformance file of the test image collection, read and
// imported as the Open Image command does, against its reference gray plane.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "Md5.h"
#include "MessageRecorder.h"
#include "base/Messages.h"
#include "image/GrayImage.h"
#include "image/ImageControl.h"
#include "support/TestPaths.h"

namespace filamorph {
namespace {

enum class Outcome {
  Accept,        // imported; the plane has the reference digest
  RefuseFormat,  // read, then refused by import with the pixel-format message
  FileError,     // refused by the reader with a message of its own
};

struct Case {
  const char* file;
  Outcome outcome;
  int32_t cols = 0;
  int32_t rows = 0;
  const char* md5 = "";
};

constexpr const char* kPal8Indices = "214f99a0c5caeda815a9027491399599";
constexpr const char* kRgb24Gray = "8c5f09a5a86d459ab048e465d8c86be2";

Case accept(const char* file, int32_t cols, int32_t rows, const char* md5) {
  return {file, Outcome::Accept, cols, rows, md5};
}
Case format(const char* file) {
  return {file, Outcome::RefuseFormat};
}
Case fileError(const char* file) {
  return {file, Outcome::FileError};
}

const Case kCases[] = {
    accept("a_astronaut_512x512_24.bmp", 512, 512, "f420fb3e06132e4902c1e014f4d5c692"),
    accept("a_rocket_639x427_24.bmp", 639, 427, "f208bcc44286d9f5809bdbd10035aa24"),
    accept("a_coffee_130x128_24.bmp", 130, 128, "c8adc738848ba6fa8ba4d2f2f5e6d4ee"),
    accept("a_camera_256x256_8gray.bmp", 256, 256, "5b48588f2b68b740c0e71d848714ff44"),

    fileError("bmpsuite/b/badbitcount.bmp"),
    format("bmpsuite/b/badbitssize.bmp"),
    format("bmpsuite/b/baddens1.bmp"),
    format("bmpsuite/b/baddens2.bmp"),
    format("bmpsuite/b/badfilesize.bmp"),
    fileError("bmpsuite/b/badheadersize.bmp"),
    accept("bmpsuite/b/badpalettesize.bmp", 127, 64, kPal8Indices),
    fileError("bmpsuite/b/badplanes.bmp"),
    format("bmpsuite/b/badrle.bmp"),
    format("bmpsuite/b/badrle4.bmp"),
    format("bmpsuite/b/badrle4bis.bmp"),
    format("bmpsuite/b/badrle4ter.bmp"),
    format("bmpsuite/b/badrlebis.bmp"),
    format("bmpsuite/b/badrleter.bmp"),
    fileError("bmpsuite/b/badwidth.bmp"),
    accept("bmpsuite/b/pal8badindex.bmp", 127, 64, "3c5fb645cba2c17519803b789da713d0"),
    fileError("bmpsuite/b/reallybig.bmp"),
    format("bmpsuite/b/rgb16-880.bmp"),
    format("bmpsuite/b/rletopdown.bmp"),
    fileError("bmpsuite/b/shortfile.bmp"),

    format("bmpsuite/g/pal1.bmp"),
    format("bmpsuite/g/pal1bg.bmp"),
    format("bmpsuite/g/pal1wb.bmp"),
    format("bmpsuite/g/pal4.bmp"),
    format("bmpsuite/g/pal4gs.bmp"),
    format("bmpsuite/g/pal4rle.bmp"),
    accept("bmpsuite/g/pal8-0.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/g/pal8.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/g/pal8gs.bmp", 127, 64, "f7593dd1a4922c2f6b945f05f61740f7"),
    accept("bmpsuite/g/pal8nonsquare.bmp", 127, 32, "83e9b236670c4f16c41a6816775684d1"),
    accept("bmpsuite/g/pal8os2.bmp", 127, 64, kPal8Indices),
    format("bmpsuite/g/pal8rle.bmp"),
    accept("bmpsuite/g/pal8topdown.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/g/pal8v4.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/g/pal8v5.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/g/pal8w124.bmp", 124, 61, "1925060ff2c765ed5ddec2808013b7d2"),
    accept("bmpsuite/g/pal8w125.bmp", 125, 62, "a18b5faf98f532ddd3fd4295d24ea245"),
    accept("bmpsuite/g/pal8w126.bmp", 126, 63, "fe66b2de88ce86e43f702bce12cdce09"),
    format("bmpsuite/g/rgb16-565.bmp"),
    format("bmpsuite/g/rgb16-565pal.bmp"),
    format("bmpsuite/g/rgb16.bmp"),
    format("bmpsuite/g/rgb16bfdef.bmp"),
    accept("bmpsuite/g/rgb24.bmp", 127, 64, kRgb24Gray),
    accept("bmpsuite/g/rgb24pal.bmp", 127, 64, kRgb24Gray),
    format("bmpsuite/g/rgb32.bmp"),
    format("bmpsuite/g/rgb32bf.bmp"),
    format("bmpsuite/g/rgb32bfdef.bmp"),

    format("bmpsuite/q/pal1huffmsb.bmp"),
    format("bmpsuite/q/pal1p1.bmp"),
    format("bmpsuite/q/pal2.bmp"),
    format("bmpsuite/q/pal2color.bmp"),
    format("bmpsuite/q/pal4rlecut.bmp"),
    format("bmpsuite/q/pal4rletrns.bmp"),
    accept("bmpsuite/q/pal8offs.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8os2-hs.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8os2-sz.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8os2sp.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8os2v2-16.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8os2v2-40sz.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8os2v2-sz.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8os2v2.bmp", 127, 64, kPal8Indices),
    accept("bmpsuite/q/pal8oversizepal.bmp", 127, 64, kPal8Indices),
    format("bmpsuite/q/pal8rlecut.bmp"),
    format("bmpsuite/q/pal8rletrns.bmp"),
    format("bmpsuite/q/rgb16-231.bmp"),
    format("bmpsuite/q/rgb16-3103.bmp"),
    format("bmpsuite/q/rgb16faketrns.bmp"),
    format("bmpsuite/q/rgb24jpeg.bmp"),
    accept("bmpsuite/q/rgb24largepal.bmp", 127, 64, kRgb24Gray),
    accept("bmpsuite/q/rgb24lprof.bmp", 127, 64, kRgb24Gray),
    format("bmpsuite/q/rgb24png.bmp"),
    accept("bmpsuite/q/rgb24prof.bmp", 127, 64, kRgb24Gray),
    accept("bmpsuite/q/rgb24prof2.bmp", 127, 64, "a4203bedbc77ca805ebaafd8d895af1d"),
    format("bmpsuite/q/rgb24rle24.bmp"),
    format("bmpsuite/q/rgb32-111110.bmp"),
    format("bmpsuite/q/rgb32-7187.bmp"),
    format("bmpsuite/q/rgb32-xbgr.bmp"),
    format("bmpsuite/q/rgb32fakealpha.bmp"),
    format("bmpsuite/q/rgb32h52.bmp"),
    format("bmpsuite/q/rgba16-1924.bmp"),
    format("bmpsuite/q/rgba16-4444.bmp"),
    format("bmpsuite/q/rgba16-5551.bmp"),
    format("bmpsuite/q/rgba32-1.bmp"),
    format("bmpsuite/q/rgba32-1010102.bmp"),
    format("bmpsuite/q/rgba32-2.bmp"),
    format("bmpsuite/q/rgba32-61754.bmp"),
    format("bmpsuite/q/rgba32-81284.bmp"),
    format("bmpsuite/q/rgba32abf.bmp"),
    format("bmpsuite/q/rgba32h56.bmp"),
    format("bmpsuite/q/rgba64.bmp"),

    fileError("bmpsuite/x/ba-bm.bmp"),
};

class ImageCollection : public ::testing::TestWithParam<Case> {};

// Open Image: release, store the name, load into the control, import.
TEST_P(ImageCollection, ImportGivesReferencePlaneOrRefuses) {
  const Case& c = GetParam();
  const std::string path = testing::testImage(c.file).string();
  testing::MessageRecorder messages;
  ImageControl control;
  control.autoSize = true;
  GrayImage image;
  image.storeFileName(path);

  const Status loaded = control.loadFromFile(path);
  if (c.outcome == Outcome::FileError) {
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.message().find(path), std::string::npos) << loaded.message();
    EXPECT_TRUE(control.picture.empty());
    return;
  }
  ASSERT_TRUE(loaded.ok()) << loaded.message();
  const Status imported = image.importBitmap(control);
  EXPECT_EQ(control.hint, path);
  EXPECT_EQ(imported.kind(), c.outcome == Outcome::RefuseFormat ? ErrorKind::UnsupportedPixelFormat : ErrorKind::None);

  if (c.outcome == Outcome::RefuseFormat) {
    EXPECT_EQ(messages.texts, std::vector<std::string>{kUnsupportedPixelFormat});
    EXPECT_EQ(image.grayPlaneAllocated, 0);
    EXPECT_FALSE(image.grayPlane.exists());
    EXPECT_FALSE(image.fileName.has_value());
    EXPECT_EQ(image.cols, control.picture.width);
    EXPECT_EQ(image.rows, control.picture.height);
    return;
  }
  EXPECT_TRUE(messages.texts.empty());
  ASSERT_EQ(image.grayPlaneAllocated, 1);
  EXPECT_EQ(image.cols, c.cols);
  EXPECT_EQ(image.width, c.cols);
  EXPECT_EQ(image.rows, c.rows);
  EXPECT_EQ(image.height, c.rows);
  EXPECT_EQ(control.width, c.cols);
  EXPECT_EQ(control.height, c.rows);
  EXPECT_EQ(testing::md5Hex(image.grayPlane), c.md5);
}

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name = info.param.file;
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Collection, ImageCollection, ::testing::ValuesIn(kCases), caseName);

// A file added to the collection must be added to the table above.
TEST(ImageCollectionTable, CoversEveryConformanceFile) {
  std::set<std::string> listed;
  for (const Case& c : kCases) listed.insert(c.file);
  const std::filesystem::path root = testing::testImage("bmpsuite");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = "bmpsuite/" + std::filesystem::relative(entry.path(), root).generic_string();
    EXPECT_TRUE(listed.count(relative)) << relative << " has no expected outcome";
  }
}

}  // namespace
}  // namespace filamorph
