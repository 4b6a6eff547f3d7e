#ifndef FILAMORPH_EVALUATION_SHARD_H
#define FILAMORPH_EVALUATION_SHARD_H
// One of N independent parts of a corpus, so that N jobs measure every image exactly once.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace filamorph::evaluation {

struct Shard {
  unsigned index = 0;  // K, 0 <= K < count
  unsigned count = 1;  // N
};

// "K/N" with decimal whole numbers and 0 <= K < N; nothing for anything else.
std::optional<Shard> parseShard(const std::string& text);

// The indices into images of those whose position in the sorted list is K
// modulo N, rising. Sorting first makes every job see the same positions,
// whatever order its shell or scheduler listed the files in; the indices
// keep the order the user gave, which the merged table follows.
std::vector<std::size_t> shardPositions(const std::vector<std::string>& images, const Shard& shard);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_SHARD_H
