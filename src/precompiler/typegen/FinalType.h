#ifndef TESSGEN_TYPEGEN_FINALTYPE_H
#define TESSGEN_TYPEGEN_FINALTYPE_H

#include "precompiler/frontend/AnyType.h"

#include <cstdint>

namespace NLX {

// What an alias chain ends in (the type itself when it is no alias); null for a chain not
// completed. set() bounds the chains; a longer one ends the walk with null too.
inline AnyType* finalType(AnyType* type) {
    for (std::uint32_t step = 0; type != nullptr && type->m_Kind == ALIAS_TYPE; ++step) {
        if (step > AnyType::MAX_NESTING) {
            return nullptr;
        }
        type = type->getAnyTypePtrBase();
    }
    return type;
}

}  // namespace NLX

#endif
