#include "common/nlx/Utf8Locale.h"

#include <stdexcept>

namespace NLX {

std::locale utf8Locale() {
    for (const char* name : {"ru_RU.UTF-8", "C.UTF-8"}) {
        try {
            return std::locale(name);
        } catch (const std::runtime_error&) {
            // not installed here: try the next one
        }
    }
    return std::locale::classic();
}

}  // namespace NLX
