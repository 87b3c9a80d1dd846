#include "common/os/OsErrorText.h"

#include <cstdio>
#include <cstring>

namespace vexa {

void osWriteError(char* buf, size_t len, const char* prefix, int err) {
    if (buf == nullptr || len == 0) {
        return;
    }
    char reason[256];
    // GNU strerror_r: returns the text, which may or may not live in `reason`.
    const char* text = strerror_r(err, reason, sizeof(reason));
    std::snprintf(buf, len, "%s%s", prefix, text);
}

void osWriteText(char* buf, size_t len, const char* text) {
    if (buf == nullptr || len == 0) {
        return;
    }
    std::snprintf(buf, len, "%s", text);
}

}  // namespace vexa
