#ifndef FILAMORPH_BASE_TEXTFORMAT_H
#define FILAMORPH_BASE_TEXTFORMAT_H
// printf-style formatting into a std::string, for tables, pages and plots.

#include <string>

namespace filamorph {

// The whole text, however long.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace filamorph

#endif  // FILAMORPH_BASE_TEXTFORMAT_H
