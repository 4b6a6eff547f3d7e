#ifndef FILAMORPH_TESTS_IMAGE_MD5_H
#define FILAMORPH_TESTS_IMAGE_MD5_H
// The MD5 of a gray plane in hexadecimal, for comparison with reference digests.

#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/Plane.h"

namespace filamorph::testing {

inline std::string md5Hex(const uint8_t* data, std::size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) != 1) return "digest failed";
  std::string hex;
  char byte[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", digest[i]);
    hex += byte;
  }
  return hex;
}

inline std::string md5Hex(const Plane<uint8_t>& plane) { return md5Hex(plane.data(), plane.size()); }

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_IMAGE_MD5_H
