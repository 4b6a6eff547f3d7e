#ifndef FILAMORPH_CODECFILE_BITFILE_H
#define FILAMORPH_CODECFILE_BITFILE_H
// Bit-level access to a file: fields of 1 to 16 bits, most significant bit first.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace filamorph {

// Packs fields into bytes most significant bit first, running on across byte
// boundaries, one byte at a time through a buffered stream.
//
// closeFile() must be called to write the pending byte of a stream opened for
// writing (it always writes it, even with no bit pending); destroying an open
// BitFile closes the stream without that byte. Counts outside 1..16 (1..8 for
// putBits and getBits) are ignored and read as 0; a value wider than its count
// is cut to its count low bits. After a read that obtained no byte, readFailed
// is set and the value read is not meaningful.
class BitFile {
 public:
  BitFile() = default;
  BitFile(const BitFile&) = delete;
  BitFile& operator=(const BitFile&) = delete;
  ~BitFile();

  uint8_t readFailed = 0;
  uint8_t isOpen = 0;
  int8_t currentByte = 0;
  int16_t nextBit = 1;   // writing: 1 + bits already placed in currentByte
  int16_t bitsFree = 8;  // writing: bits still free in currentByte
  int16_t bitsLeft = 0;  // reading: bits of currentByte not yet taken
  std::FILE* stream = nullptr;

  // Opens with the standard library's mode strings ("wb+", "rb"); false when
  // the file cannot be opened or a stream is already open.
  bool openFile(const std::string& fileName, const char* mode);
  // Takes over a stream opened elsewhere (e.g. by fmemopen); closeFile()
  // closes it. False when stream is null or a stream is already open.
  bool openStream(std::FILE* opened, bool forWriting);
  // Writes the pending byte when writing, closes, and returns every field to
  // its starting value. False when no stream was open, or when writing and a
  // byte could not be written or the stream could not be closed.
  bool closeFile();

  bool writeBits(uint32_t value, int count);
  void putBits(uint32_t value, int count);
  void flushByte();
  uint32_t readBits(int count);
  uint32_t getBits(int count);
  // Counts one-bits up to the first zero bit or the seventh one-bit; after
  // seven one-bits no further bit is taken.
  int readUnary();

 private:
  void loadByte();

  bool writing_ = false;
  bool writeFailed_ = false;
  // The buffer of a stream openFile opened, released once the stream is closed.
  std::unique_ptr<char[]> streamBuffer_;
};

}  // namespace filamorph

#endif  // FILAMORPH_CODECFILE_BITFILE_H
