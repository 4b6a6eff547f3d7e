#include "evaluation/Shard.h"

#include <algorithm>
#include <charconv>

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

std::vector<std::string> shardImages(std::vector<std::string> images, const Shard& shard) {
  std::sort(images.begin(), images.end());
  std::vector<std::string> part;
  for (std::size_t position = shard.index; position < images.size(); position += shard.count) {
    part.push_back(std::move(images[position]));
  }
  return part;
}

}  // namespace filamorph::evaluation
