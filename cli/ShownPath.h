#ifndef FILAMORPH_CLI_SHOWNPATH_H
#define FILAMORPH_CLI_SHOWNPATH_H
// The codec's messages name the files it was handed; the user is shown the names the user gave.

#include <string>

namespace filamorph::cli {

// Every occurrence of handed (a spool or a hidden temporary file) in message
// becomes shown (the user's IN or OUT, or "standard input").
inline std::string withShownPath(std::string message, const std::string& handed, const std::string& shown) {
  if (handed.empty()) return message;
  for (std::size_t at = message.find(handed); at != std::string::npos; at = message.find(handed, at + shown.size())) {
    message.replace(at, handed.size(), shown);
  }
  return message;
}

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_SHOWNPATH_H
