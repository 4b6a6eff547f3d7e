#include "evaluation/JpegMatch.h"

#include <turbojpeg.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace filamorph::evaluation {
namespace {

struct HandleCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFree {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

Handle makeHandle(tjhandle handle) {
  if (!handle) throw std::runtime_error(std::string("libjpeg-turbo: ") + tjGetErrorStr2(nullptr));
  return Handle(handle);
}

[[noreturn]] void fail(tjhandle handle) {
  throw std::runtime_error(std::string("libjpeg-turbo: ") + tjGetErrorStr2(handle));
}

std::vector<uint8_t> encodeWith(tjhandle handle, const Plane<uint8_t>& gray, int quality) {
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  // Neither progressive nor arithmetic coding: the baseline JPEG every
  // decoder reads.
  const int result = tjCompress2(handle, gray.data(), gray.cols(), 0, gray.rows(), TJPF_GRAY, &buffer, &size,
                                 TJSAMP_GRAY, quality, TJFLAG_ACCURATEDCT);
  const std::unique_ptr<unsigned char, BufferFree> owned(buffer);
  if (result != 0) fail(handle);
  return std::vector<uint8_t>(buffer, buffer + size);
}

}  // namespace

std::vector<uint8_t> encodeGrayJpeg(const Plane<uint8_t>& gray, int quality) {
  const Handle handle = makeHandle(tjInitCompress());
  return encodeWith(handle.get(), gray, quality);
}

Plane<uint8_t> decodeGrayJpeg(const std::vector<uint8_t>& file) {
  const Handle handle = makeHandle(tjInitDecompress());
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colourspace = 0;
  if (tjDecompressHeader3(handle.get(), file.data(), file.size(), &width, &height, &subsampling, &colourspace) != 0) {
    fail(handle.get());
  }
  Plane<uint8_t> decoded;
  decoded.allocate(height, width);
  if (tjDecompress2(handle.get(), file.data(), file.size(), decoded.data(), width, 0, height, TJPF_GRAY,
                    TJFLAG_ACCURATEDCT) != 0) {
    fail(handle.get());
  }
  return decoded;
}

std::array<uint64_t, kJpegQualities> jpegSizes(const Plane<uint8_t>& gray) {
  const Handle handle = makeHandle(tjInitCompress());
  std::array<uint64_t, kJpegQualities> sizes{};
  for (int quality = 1; quality <= kJpegQualities; ++quality) {
    sizes[quality - 1] = encodeWith(handle.get(), gray, quality).size();
  }
  return sizes;
}

int closestQuality(const std::array<uint64_t, kJpegQualities>& sizes, uint64_t targetBytes) {
  auto distance = [targetBytes](uint64_t size) { return size > targetBytes ? size - targetBytes : targetBytes - size; };
  int best = kJpegQualities;
  // From the highest quality down, so that a tie keeps the higher one.
  for (int quality = kJpegQualities - 1; quality >= 1; --quality) {
    if (distance(sizes[quality - 1]) < distance(sizes[best - 1])) best = quality;
  }
  return best;
}

JpegCoding matchJpegSize(const Plane<uint8_t>& gray, uint64_t targetBytes) {
  // JPEG sizes are not strictly monotonic in the quality, so every quality
  // is tried rather than searched by bisection.
  JpegCoding coding;
  coding.quality = closestQuality(jpegSizes(gray), targetBytes);
  coding.file = encodeGrayJpeg(gray, coding.quality);
  coding.decoded = decodeGrayJpeg(coding.file);
  return coding;
}

}  // namespace filamorph::evaluation
