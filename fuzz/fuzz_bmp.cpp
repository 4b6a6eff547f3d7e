// libFuzzer entry point: the BMP reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "image/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  filamorph::Bitmap bitmap;
  const bool ok = filamorph::decodeBmp({data, size}, bitmap).ok();
  // A decoded bitmap with pixels must hold exactly its scan lines.
  if (ok && bitmap.hasPixels() && bitmap.pixels.size() != bitmap.stride() * static_cast<std::size_t>(bitmap.height)) {
    __builtin_trap();
  }
  return 0;
}
