#include <gtest/gtest.h>

#include <random>

#include "CodedFileFixture.h"
#include "codecfile/BitFile.h"

namespace filamorph::testing {
namespace {

using BitFileTest = CodedFileTest;

TEST_F(BitFileTest, FieldsArePackedMostSignificantBitFirstAndClosingPadsWithZeros) {
  writeFields(path("a.bin"), [](BitFile& file) {
    file.writeBits(0xFF, 8);
    file.writeBits(0x90, 8);
    file.writeBits(5, 3);
  });
  EXPECT_EQ(readBytes(path("a.bin")), (Bytes{0xFF, 0x90, 0xA0}));
}

TEST_F(BitFileTest, ClosingOnAByteBoundaryStillWritesTheEmptyPendingByte) {
  writeFields(path("a.bin"), [](BitFile& file) { file.writeBits(0xABCD, 16); });
  EXPECT_EQ(readBytes(path("a.bin")), (Bytes{0xAB, 0xCD, 0x00}));
}

TEST_F(BitFileTest, NineBitFieldRunsOnIntoTheNextByte) {
  writeFields(path("a.bin"), [](BitFile& file) {
    file.writeBits(0b10101, 5);  // 3 bits stay free
    file.writeBits(0x1A5, 9);    // 110 | 100101
  });
  EXPECT_EQ(readBytes(path("a.bin")), (Bytes{0b10101110, 0b10010100}));

  BitFile file;
  ASSERT_TRUE(file.openFile(path("a.bin"), "rb"));
  EXPECT_EQ(file.readBits(5), 0b10101u);
  EXPECT_EQ(file.readBits(9), 0x1A5u);
  EXPECT_EQ(file.readFailed, 0);
  EXPECT_TRUE(file.closeFile());
}

TEST_F(BitFileTest, ReadUnaryStopsAtTheFirstZeroOrAfterSevenOnes) {
  writeBytes(path("a.bin"), Bytes{0b11101010, 0xFF, 0x00});
  BitFile file;
  ASSERT_TRUE(file.openFile(path("a.bin"), "rb"));
  EXPECT_EQ(file.readUnary(), 3);
  EXPECT_EQ(file.readBits(4), 0b1010u);  // the zero bit was consumed, nothing more
  EXPECT_EQ(file.readUnary(), 7);
  EXPECT_EQ(file.readBits(1), 1u);  // the eighth one-bit is still unread
  EXPECT_EQ(file.readUnary(), 0);
  EXPECT_EQ(file.readFailed, 0);
  EXPECT_TRUE(file.closeFile());
}

TEST_F(BitFileTest, ReadingPastTheLastByteSetsReadFailed) {
  writeBytes(path("a.bin"), Bytes{0x5A});
  BitFile file;
  ASSERT_TRUE(file.openFile(path("a.bin"), "rb"));
  EXPECT_EQ(file.readBits(4), 0x5u);
  EXPECT_EQ(file.readBits(4), 0xAu);
  EXPECT_EQ(file.readFailed, 0);
  file.readBits(1);
  EXPECT_EQ(file.readFailed, 1);
  EXPECT_TRUE(file.closeFile());
  EXPECT_EQ(readBytes(path("a.bin")), Bytes{0x5A});  // a read stream gets no pad byte
}

TEST_F(BitFileTest, CloseWithoutOpenReturnsFalseAndOpenOfAMissingFolderFails) {
  BitFile file;
  EXPECT_FALSE(file.closeFile());
  EXPECT_FALSE(file.openFile(path("missing/a.bin"), "wb+"));
  EXPECT_FALSE(file.openFile(path("absent.bin"), "rb"));
  EXPECT_EQ(file.isOpen, 0);
}

TEST_F(BitFileTest, CloseResetsEveryFieldForTheNextFile) {
  BitFile file;
  ASSERT_TRUE(file.openFile(path("a.bin"), "wb+"));
  file.writeBits(3, 2);
  ASSERT_TRUE(file.closeFile());
  EXPECT_EQ(file.readFailed, 0);
  EXPECT_EQ(file.isOpen, 0);
  EXPECT_EQ(file.currentByte, 0);
  EXPECT_EQ(file.nextBit, 1);
  EXPECT_EQ(file.bitsFree, 8);
  EXPECT_EQ(file.bitsLeft, 0);
  EXPECT_EQ(file.stream, nullptr);
}

TEST_F(BitFileTest, FieldsOfEveryWidthReadBackAtEveryBitPosition) {
  std::mt19937 random(1234);
  std::vector<std::pair<uint32_t, int>> fields;
  for (int i = 0; i < 2000; ++i) {
    const int count = 1 + static_cast<int>(random() % 16);
    fields.emplace_back(random() & ((1u << count) - 1u), count);
  }
  writeFields(path("a.bin"), [&](BitFile& file) {
    for (const auto& [value, count] : fields) file.writeBits(value, count);
  });
  BitFile file;
  ASSERT_TRUE(file.openFile(path("a.bin"), "rb"));
  for (const auto& [value, count] : fields) ASSERT_EQ(file.readBits(count), value) << count << " bits";
  EXPECT_EQ(file.readFailed, 0);
  EXPECT_TRUE(file.closeFile());
}

TEST_F(BitFileTest, ValueWiderThanItsCountKeepsOnlyItsLowBits) {
  writeFields(path("a.bin"), [](BitFile& file) {
    file.writeBits(0xFFF, 3);
    file.writeBits(0, 5);
  });
  EXPECT_EQ(readBytes(path("a.bin")), (Bytes{0xE0, 0x00}));
}

}  // namespace
}  // namespace filamorph::testing
