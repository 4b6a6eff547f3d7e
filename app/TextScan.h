#ifndef FILAMORPH_APP_TEXTSCAN_H
#define FILAMORPH_APP_TEXTSCAN_H
// Reading numbers from edit fields with the C library's scanning rules.

#include <QString>
#include <cstdint>
#include <optional>

namespace filamorph {

// Like sscanf with "%f" and "%d" in the "C" locale, whatever the user's
// locale: leading blanks skipped, the longest numeric prefix converted, the
// rest ignored. No value when the text does not start with a number.
std::optional<float> scanFloat(const QString& text);
std::optional<int32_t> scanInt(const QString& text);

}  // namespace filamorph

#endif  // FILAMORPH_APP_TEXTSCAN_H
