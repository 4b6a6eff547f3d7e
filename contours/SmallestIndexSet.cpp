#include "contours/SmallestIndexSet.h"

#include <algorithm>
#include <bit>

namespace filamorph {

void SmallestIndexSet::reset(std::size_t size) {
  const std::size_t words = (size + 63) / 64;
  words_.assign(words, 0);
  summary_.assign((words + 63) / 64, 0);
  firstSummary_ = summary_.size();
}

void SmallestIndexSet::insert(std::size_t index) {
  const std::size_t word = index / 64;
  words_[word] |= uint64_t{1} << (index % 64);
  summary_[word / 64] |= uint64_t{1} << (word % 64);
  firstSummary_ = std::min(firstSummary_, word / 64);
}

int64_t SmallestIndexSet::takeSmallest() {
  while (firstSummary_ < summary_.size() && summary_[firstSummary_] == 0) ++firstSummary_;
  if (firstSummary_ == summary_.size()) return -1;
  const std::size_t word = firstSummary_ * 64 + static_cast<std::size_t>(std::countr_zero(summary_[firstSummary_]));
  const auto bit = static_cast<std::size_t>(std::countr_zero(words_[word]));
  words_[word] &= words_[word] - 1;
  if (words_[word] == 0) summary_[firstSummary_] &= summary_[firstSummary_] - 1;
  return static_cast<int64_t>(word * 64 + bit);
}

void SmallestIndexSet::release() {
  words_.clear();
  words_.shrink_to_fit();
  summary_.clear();
  summary_.shrink_to_fit();
  firstSummary_ = 0;
}

}  // namespace filamorph
