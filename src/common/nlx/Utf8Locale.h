#ifndef VEXA_NLX_UTF8LOCALE_H
#define VEXA_NLX_UTF8LOCALE_H

#include <locale>

namespace NLX {

// The locale that writes wide text as UTF-8: "ru_RU.UTF-8" where it is installed, otherwise
// "C.UTF-8", otherwise the classic locale. Never throws.
std::locale utf8Locale();

}  // namespace NLX

#endif
