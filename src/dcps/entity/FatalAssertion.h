#pragma once

namespace vexa::dcps {

// A programming error of the calling layer or of generated code (a null sample, an index
// outside a table, a packed key of the wrong length): logs the condition that failed and
// aborts. Kept in release builds: going on would read or write memory that is not there.
[[noreturn]] void fatalAssertion(char const* module, char const* condition);

inline void fatalUnless(bool ok, char const* module, char const* condition) {
    if (!ok) {
        fatalAssertion(module, condition);
    }
}

}  // namespace vexa::dcps
