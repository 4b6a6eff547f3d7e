#ifndef FILAMORPH_CONTOURS_SMALLESTINDEXSET_H
#define FILAMORPH_CONTOURS_SMALLESTINDEXSET_H
// A set of pixel indices that gives up its smallest member first.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace filamorph {

// One bit per pixel, and one summary bit per 64-bit word that is not zero, so
// that an insertion is a bit set and the smallest member is found a word at a
// time. The search starts from a bound below every member, which only an
// insertion below it moves back: labelling takes chain ends in raster order
// and adds new ones mostly close ahead.
class SmallestIndexSet {
 public:
  // Empties the set and makes room for the indices below size.
  void reset(std::size_t size);
  void insert(std::size_t index);
  // Removes and returns the smallest member; -1 when the set is empty.
  int64_t takeSmallest();
  // Gives the storage back.
  void release();

 private:
  std::vector<uint64_t> words_;
  std::vector<uint64_t> summary_;
  std::size_t firstSummary_ = 0;  // no summary word before it is non-zero
};

}  // namespace filamorph

#endif  // FILAMORPH_CONTOURS_SMALLESTINDEXSET_H
