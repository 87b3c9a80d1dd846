#ifndef TESSGEN_FRONTEND_SEQUENCE_H
#define TESSGEN_FRONTEND_SEQUENCE_H

#include "precompiler/frontend/AnyType.h"

#include <cstdint>
#include <string>

class Sequence final : public AnyType {
public:
    using AnyType::AnyType;

    // Resolves the element; the C++ type text becomes "std::vector<element>".
    TypeSet set() override;

    AnyType* m_elementType = nullptr;
    std::int64_t m_maxLength = 0;  // the model's maximum element count
    std::string m_elementTypeName;
};

#endif
