#ifndef TESSGEN_FRONTEND_MAP_H
#define TESSGEN_FRONTEND_MAP_H

#include "precompiler/frontend/AnyType.h"

#include <cstdint>
#include <string>

class Map final : public AnyType {
public:
    using AnyType::AnyType;

    // Resolves key and value; the C++ type text becomes "std::map<key,value>".
    TypeSet set() override;

    AnyType* m_valueType = nullptr;
    AnyType* m_keyType = nullptr;
    std::string m_valueTypeName;
    std::string m_keyTypeName;
    std::int64_t m_maxLength = 0;  // the model's maximum element count
};

#endif
