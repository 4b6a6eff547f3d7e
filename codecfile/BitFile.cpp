#include "codecfile/BitFile.h"

#include <cstddef>

namespace filamorph {
namespace {

// A coded file of a photograph takes tens of kilobytes: with a buffer this
// large it passes in one or two system calls instead of one per 4 KiB.
constexpr std::size_t kStreamBuffer = std::size_t{64} << 10;

uint32_t lowBits(uint32_t value, int count) {
  return value & ((1u << count) - 1u);
}

}  // namespace

BitFile::~BitFile() {
  if (stream != nullptr) std::fclose(stream);
}

bool BitFile::openFile(const std::string& fileName, const char* mode) {
  if (isOpen) return false;
  std::FILE* opened = std::fopen(fileName.c_str(), mode);
  if (opened == nullptr) return false;
  // The C library takes the size of a buffer only with the buffer itself.
  streamBuffer_ = std::make_unique_for_overwrite<char[]>(kStreamBuffer);
  std::setvbuf(opened, streamBuffer_.get(), _IOFBF, kStreamBuffer);  // refused, the default buffer serves
  const bool forWriting = mode[0] == 'w' || mode[0] == 'a';
  return openStream(opened, forWriting);
}

bool BitFile::openStream(std::FILE* opened, bool forWriting) {
  if (isOpen || opened == nullptr) return false;
  stream = opened;
  isOpen = 1;
  writing_ = forWriting;
  writeFailed_ = false;
  return true;
}

bool BitFile::closeFile() {
  if (!isOpen) return false;
  if (writing_) flushByte();
  bool closedCleanly = !(writing_ && (writeFailed_ || std::ferror(stream) != 0));
  if (std::fclose(stream) != 0 && writing_) closedCleanly = false;
  streamBuffer_.reset();
  readFailed = 0;
  isOpen = 0;
  currentByte = 0;
  nextBit = 1;
  bitsFree = 8;
  bitsLeft = 0;
  stream = nullptr;
  writing_ = false;
  writeFailed_ = false;
  return closedCleanly;
}

bool BitFile::writeBits(uint32_t value, int count) {
  if (count < 1 || count > 16) return true;
  if (count > 8) {
    putBits(lowBits(value, count) >> 8, count - 8);
    putBits(value & 0xFFu, 8);
  } else {
    putBits(value, count);
  }
  return true;
}

void BitFile::putBits(uint32_t value, int count) {
  if (count < 1 || count > 8) return;
  value = lowBits(value, count);
  const int free = bitsFree;
  const uint32_t pending = static_cast<uint8_t>(currentByte);
  if (count <= free) {
    currentByte = static_cast<int8_t>(pending | (value << (free - count)));
    nextBit = static_cast<int16_t>(nextBit + count);
    bitsFree = static_cast<int16_t>(bitsFree - count);
    if (nextBit > 8) flushByte();
    return;
  }
  const int spill = count - free;
  currentByte = static_cast<int8_t>(pending | (value >> spill));
  flushByte();
  currentByte = static_cast<int8_t>(lowBits(value, spill) << (8 - spill));
  nextBit = static_cast<int16_t>(nextBit + spill);
  bitsFree = static_cast<int16_t>(8 - spill);
}

// The stream belongs to the one thread that codes it, so bytes pass without
// the stream's lock, here and in loadByte: a lock per byte cost more than the
// coding itself.
void BitFile::flushByte() {
  if (stream == nullptr || putc_unlocked(static_cast<uint8_t>(currentByte), stream) == EOF) writeFailed_ = true;
  currentByte = 0;
  nextBit = 1;
  bitsFree = 8;
}

uint32_t BitFile::readBits(int count) {
  if (count < 1 || count > 16) return 0;
  if (count > 8) {
    const uint32_t high = getBits(count - 8);
    const uint32_t low = getBits(8);
    return high * 256u + low;
  }
  return getBits(count);
}

uint32_t BitFile::getBits(int count) {
  if (count < 1 || count > 8) return 0;
  if (bitsLeft == 0) {
    loadByte();
    bitsLeft = 8;
  }
  const int available = bitsLeft;
  const uint32_t byte = static_cast<uint8_t>(currentByte);
  if (count <= available) {
    bitsLeft = static_cast<int16_t>(available - count);
    return lowBits(byte >> (available - count), count);
  }
  const int lowCount = count - available;
  const uint32_t high = lowBits(byte, available);
  loadByte();
  const uint32_t low = static_cast<uint32_t>(static_cast<uint8_t>(currentByte)) >> (8 - lowCount);
  bitsLeft = static_cast<int16_t>(available + 8 - count);
  return (high << lowCount) | low;
}

int BitFile::readUnary() {
  int ones = 0;
  while (ones < 7 && readBits(1) == 1u) ++ones;
  return ones;
}

// A byte that could not be read is taken as zero bits, so that a reader that
// checks readFailed late still sees bounded, harmless values.
void BitFile::loadByte() {
  const int byte = stream != nullptr ? getc_unlocked(stream) : EOF;
  readFailed = byte == EOF ? 1 : 0;
  currentByte = static_cast<int8_t>(byte == EOF ? 0 : byte);
}

}  // namespace filamorph
