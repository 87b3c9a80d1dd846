#ifndef TESSGEN_FRONTEND_CONSTANT_H
#define TESSGEN_FRONTEND_CONSTANT_H

#include "precompiler/frontend/AnyType.h"

#include <string>

// A named constant of a module; keeps every AnyType operation.
class Constant final : public AnyType {
public:
    using AnyType::AnyType;

    std::string m_text;
};

#endif
