#include "evaluation/Shard.h"

#include <algorithm>
#include <charconv>
#include <numeric>

namespace filamorph::evaluation {
namespace {

bool parseWhole(const std::string& text, unsigned& value) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

std::optional<Shard> parseShard(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  Shard shard;
  if (!parseWhole(text.substr(0, slash), shard.index) || !parseWhole(text.substr(slash + 1), shard.count) ||
      shard.index >= shard.count) {
    return std::nullopt;
  }
  return shard;
}

std::vector<std::size_t> shardPositions(const std::vector<std::string>& images, const Shard& shard) {
  std::vector<std::size_t> sorted(images.size());
  std::iota(sorted.begin(), sorted.end(), std::size_t{0});
  std::stable_sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) { return images[a] < images[b]; });
  std::vector<std::size_t> part;
  for (std::size_t rank = shard.index; rank < sorted.size(); rank += shard.count) part.push_back(sorted[rank]);
  std::sort(part.begin(), part.end());
  return part;
}

}  // namespace filamorph::evaluation
