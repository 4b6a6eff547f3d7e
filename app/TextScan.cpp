#include "app/TextScan.h"

#include <clocale>
#include <cstdio>
#include <locale.h>

namespace filamorph {
namespace {

// Switches the calling thread to the "C" locale for its lifetime: the
// desktop toolkit sets the user's locale, whose decimal comma would change
// what "%f" accepts.
class CLocaleScope {
 public:
  CLocaleScope() : cLocale_(newlocale(LC_ALL_MASK, "C", locale_t{})) {
    if (cLocale_ != locale_t{}) previous_ = uselocale(cLocale_);
  }
  ~CLocaleScope() {
    if (cLocale_ == locale_t{}) return;
    uselocale(previous_);
    freelocale(cLocale_);
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t cLocale_;
  locale_t previous_ = locale_t{};
};

}  // namespace

std::optional<float> scanFloat(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  CLocaleScope cLocale;
  float value = 0.0f;
  if (std::sscanf(bytes.constData(), "%f", &value) != 1) return std::nullopt;
  return value;
}

std::optional<int32_t> scanInt(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  CLocaleScope cLocale;
  int value = 0;
  if (std::sscanf(bytes.constData(), "%d", &value) != 1) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace filamorph
