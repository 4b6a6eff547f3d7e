#ifndef FILAMORPH_CODECFILE_BITFILE_H
#define FILAMORPH_CODECFILE_BITFILE_H
// Bit-level access to a file: fields of 1 to 16 bits, most significant bit first.

#include <cstdint>
#include <cstdio>
#include <string>

namespace filamorph {

// closeFile() must be called to write the pending byte of a stream opened for
// writing; destroying an open BitFile closes the stream without that byte.
class BitFile {
 public:
  BitFile() = default;
  BitFile(const BitFile&) = delete;
  BitFile& operator=(const BitFile&) = delete;
  ~BitFile();

  uint8_t readFailed = 0;
  uint8_t isOpen = 0;
  int8_t currentByte = 0;
  int16_t nextBit = 1;
  int16_t bitsFree = 8;
  int16_t bitsLeft = 0;
  std::FILE* stream = nullptr;

  bool openFile(const std::string& fileName, const char* mode);
  bool closeFile();
  bool writeBits(uint32_t value, int count);
  void putBits(uint32_t value, int count);
  void flushByte();
  uint32_t readBits(int count);
  uint32_t getBits(int count);
  int readUnary();

 private:
  bool writing_ = false;
};

}  // namespace filamorph

#endif  // FILAMORPH_CODECFILE_BITFILE_H
