#ifndef TESSGEN_FRONTEND_STRINGLESS_H
#define TESSGEN_FRONTEND_STRINGLESS_H

class AnyType;

namespace NLX {

// Orders types by qualified name with letter case ignored (each byte through toupper), so
// that a set keeps only the first of two types whose names differ only in case.
struct stringLess {
    bool operator()(const AnyType* a, const AnyType* b) const;
};

}  // namespace NLX

#endif
