#ifndef TESSGEN_FRONTEND_ALIAS_H
#define TESSGEN_FRONTEND_ALIAS_H

#include "precompiler/frontend/AnyType.h"

#include <string>

// Another name of a type. The queries look through one level only, except
// isLenghthAsSimple(), which each alias of a chain asks its own target.
class Alias final : public AnyType {
public:
    using AnyType::AnyType;

    bool isComlexType() const override;
    bool isPrimitiveBase() const override;
    bool isStringBase() const override;
    bool isLenghthAsSimple() const override;
    // Resolves the target and copies its size, alignment, fixed length and pack flags.
    TypeSet set() override;
    // The target; null until set() has resolved it.
    AnyType* getAnyTypePtrBase() override;
    // The target is a map, sequence or array.
    virtual bool isContainerBase() const;

    std::string m_targetTypeName;
    AnyType* m_targetType = nullptr;
};

#endif
