#ifndef TESSGEN_FRONTEND_STRING_H
#define TESSGEN_FRONTEND_STRING_H

#include "precompiler/frontend/AnyType.h"

#include <cstdint>
#include <limits>
#include <string>

// A string type: the base strings "String8" and "String32", or a string of the model over
// Char8, Char32 or an alias of one of them.
class String final : public AnyType {
public:
    static constexpr std::uint64_t UNBOUNDED = std::numeric_limits<std::uint64_t>::max();

    using AnyType::AnyType;

    // C++ type text "std::string" or "std::wstring", with "<bound>" for a bounded string.
    // Throws NLX::INVALID_BASE_TYPE2 for an element alias of anything but Char8 or Char32.
    TypeSet set() override;

    std::string m_elementTypeName;  // "Char8", "Char32" or an alias of one of them
    std::uint64_t m_maxLength = UNBOUNDED;
};

#endif
