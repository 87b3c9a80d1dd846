#pragma once

#include <cstdint>

namespace vexa {

// A new 12-byte GUID prefix as three words: bytes 0xAA 0xAA, a 32-bit hash of the calling
// thread's system-wide id, then the low 48 bits of the microsecond clock (little-endian).
// Never the same twice in a process; the thread id (not the process-local thread handle,
// which a forked child shares with its parent) keeps two processes apart.
void OsNewGuidPrefix(uint32_t (&out)[3]);

}  // namespace vexa
