#ifndef TESSGEN_FRONTEND_PRIMITIVETYPES_H
#define TESSGEN_FRONTEND_PRIMITIVETYPES_H

#include "precompiler/frontend/BasePrimitives.h"
#include "precompiler/frontend/String.h"

#include <vector>

// The base types of one module: the 13 primitives and the two unbounded base strings. None
// belongs to a module; all are registered under their bare names.
class PrimitiveTypes {
public:
    // Boolean, Byte, Char8, Char32, Int16, UInt16, Int32, UInt32, Int64, UInt64, Float32,
    // Float64, Float128; then "String8" and "String32".
    PrimitiveTypes();
    // Out of line: the vector of BasePrimitives, a class with virtual functions, a non-virtual
    // destructor and subclasses, is destroyed only in one place.
    PrimitiveTypes(const PrimitiveTypes& other);
    PrimitiveTypes(PrimitiveTypes&& other) noexcept;
    PrimitiveTypes& operator=(const PrimitiveTypes& other);
    PrimitiveTypes& operator=(PrimitiveTypes&& other) noexcept;
    ~PrimitiveTypes();

    // The 13 primitives, then the two base strings: what the generator driver registers.
    std::vector<AnyType*> getAll();

    std::vector<BasePrimitives> m_primitives;
    std::vector<String> m_baseStrings;
};

#endif
