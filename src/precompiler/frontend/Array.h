#ifndef TESSGEN_FRONTEND_ARRAY_H
#define TESSGEN_FRONTEND_ARRAY_H

#include "precompiler/frontend/AnyType.h"

#include <cstdint>
#include <string>
#include <vector>

class Array final : public AnyType {
public:
    using AnyType::AnyType;

    // Resolves the element; builds the nested "std::array <...,n >" text, the element count,
    // size and alignment. Throws NLX::ZetException when the array has no dimension or its
    // element count or size does not fit in 64 bits.
    TypeSet set() override;

    AnyType* m_elementType = nullptr;
    std::string m_elementTypeName;
    std::vector<std::uint64_t> m_dimensions;  // outermost first
    std::uint64_t m_elementCount = 0;         // product of the dimensions
};

#endif
