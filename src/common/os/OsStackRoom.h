#pragma once

#include <cstddef>

namespace vexa {

// Bytes of the calling thread's stack below the caller's frame, down to the stack's lowest
// address; 0 when the stack cannot be read. The C library keeps thread-local storage (and
// tools keep their own records) inside the stack block, so this can be well below the size
// the thread was started with.
size_t osStackRoom();

}  // namespace vexa
