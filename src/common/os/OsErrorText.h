#pragma once

#include <cstddef>

namespace vexa {

// Writes prefix + the system's text for err into buf (when buf is not null and len > 0),
// truncated to len bytes including the terminator.
void osWriteError(char* buf, size_t len, const char* prefix, int err);

// Writes text alone, under the same rules.
void osWriteText(char* buf, size_t len, const char* text);

}  // namespace vexa
