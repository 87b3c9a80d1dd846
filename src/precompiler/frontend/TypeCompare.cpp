#include "precompiler/frontend/TypeCompare.h"

#include "precompiler/frontend/AnyType.h"
#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Map.h"
#include "precompiler/frontend/Sequence.h"

namespace NLX {

bool compare(AnyType* a, AnyType* b) {
    while (a != nullptr && b != nullptr) {
        a = a->getAnyTypePtrBase();
        b = b->getAnyTypePtrBase();
        if (a == nullptr || b == nullptr || a->m_Kind != b->m_Kind) {
            return false;
        }
        switch (a->m_Kind) {
            case STRING_TYPE:
                return a->m_cppTypeText == b->m_cppTypeText;
            case BITSET_TYPE:
            case UNION_TYPE:
            case STRUCTURE_TYPE:
                return a->m_qualifiedName == b->m_qualifiedName;
            case ALIAS_TYPE:
                return true;
            case ARRAY_TYPE: {
                auto* left = static_cast<Array*>(a);
                auto* right = static_cast<Array*>(b);
                if (left->m_dimensions != right->m_dimensions) {
                    return false;
                }
                a = left->m_elementType;
                b = right->m_elementType;
                break;
            }
            case SEQUENCE_TYPE:
                a = static_cast<Sequence*>(a)->m_elementType;
                b = static_cast<Sequence*>(b)->m_elementType;
                break;
            case MAP_TYPE: {
                auto* left = static_cast<Map*>(a);
                auto* right = static_cast<Map*>(b);
                if (left->m_keyType == nullptr || right->m_keyType == nullptr ||
                    left->m_valueType == nullptr || right->m_valueType == nullptr) {
                    return false;
                }
                AnyType* leftKey = left->m_keyType->getAnyTypePtrBase();
                AnyType* rightKey = right->m_keyType->getAnyTypePtrBase();
                if (leftKey == nullptr || rightKey == nullptr) {
                    return false;
                }
                if (leftKey->m_Kind == ENUMERATION_TYPE &&
                    leftKey->m_qualifiedName != rightKey->m_qualifiedName) {
                    return false;
                }
                return compare(leftKey, rightKey) &&
                       compare(left->m_valueType->getAnyTypePtrBase(),
                               right->m_valueType->getAnyTypePtrBase());
            }
            default:
                // Primitives of one kind, any two enumerations.
                return true;
        }
    }
    return false;
}

}  // namespace NLX
