#ifndef TESSGEN_FRONTEND_ENUMERATION_H
#define TESSGEN_FRONTEND_ENUMERATION_H

#include "precompiler/frontend/AnyType.h"

#include <cstdint>
#include <string>
#include <vector>

struct Enumerator {
    std::string m_name;
    std::int64_t m_value = 0;
    std::string m_definition;
};

// An enumeration over one of the integer kinds Int16..UInt64.
class Enumeration final : public AnyType {
public:
    using AnyType::AnyType;

    // Appends " : " and the underlying C++ type to the C++ type text; size and alignment
    // become the underlying integer's.
    TypeSet set() override;

    TypeKind m_TypeOfEnum = INT_32_TYPE;
    std::vector<Enumerator> m_enumerators;
};

#endif
