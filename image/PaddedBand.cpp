#include "image/PaddedBand.h"

#include <algorithm>
#include <cstring>

namespace filamorph {

PaddedBand::PaddedBand(const Plane<uint8_t>& gray, int32_t rowHalf, int32_t padding, std::vector<float>& storage)
    : gray_(gray),
      rowHalf_(rowHalf),
      stride_(static_cast<std::size_t>(gray.cols()) + static_cast<std::size_t>(padding)) {
  const auto bandRows = static_cast<std::size_t>(std::min<int64_t>(kOutputRows + 2 * int64_t{rowHalf}, gray.rows()));
  if (storage.size() < bandRows * stride_) storage.resize(bandRows * stride_);
  levels_ = storage.data();
}

void PaddedBand::advanceTo(int32_t first, int32_t last) {
  const int32_t from = first - rowHalf_;
  const int32_t to = last + rowHalf_;
  int32_t next = from;
  if (from >= firstInput_ && from <= lastInput_) {
    const auto kept = static_cast<std::size_t>(lastInput_ - from + 1);
    std::memmove(levels_, row(from), kept * stride_ * sizeof(float));
    next = lastInput_ + 1;
  }
  firstInput_ = from;
  lastInput_ = to;
  for (int32_t r = next; r <= to; ++r) convertRow(r);
}

void PaddedBand::convertRow(int32_t r) {
  const uint8_t* in = gray_[r];
  float* out = levels_ + stride_ * static_cast<std::size_t>(r - firstInput_);
  const int32_t cols = gray_.cols();
  for (int32_t c = 0; c < cols; ++c) out[c] = static_cast<float>(in[c]);
  std::fill(out + cols, out + stride_, 0.0f);
}

}  // namespace filamorph
