#include "precompiler/frontend/Alias.h"

bool Alias::isComlexType() const {
    if (m_targetType == nullptr) {
        return false;
    }
    const TypeKind kind = m_targetType->m_Kind;
    return (kind >= MAP_TYPE && kind <= BITSET_TYPE) || kind == UNION_TYPE ||
           kind == STRUCTURE_TYPE;
}

bool Alias::isPrimitiveBase() const {
    return m_targetType != nullptr && NLX::isPrimitive(m_targetType->m_Kind);
}

bool Alias::isStringBase() const {
    return m_targetType != nullptr && m_targetType->m_Kind == STRING_TYPE;
}

bool Alias::isLenghthAsSimple() const {
    return m_targetType != nullptr && m_targetType->isLenghthAsSimple();
}

AnyType::TypeSet Alias::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    SetGuard guard(*this);
    // The target is stored only once its own set() has succeeded, so that a refused cycle
    // leaves no loop of pointers behind for the queries to run around.
    AnyType* target = getAnyTypeByString(m_targetTypeName);
    const TypeSet targetDependencies = target->set();
    m_targetType = target;
    m_fixedLength = m_targetType->isFixedLength();
    m_size = m_targetType->m_size;
    m_alignment = m_targetType->m_alignment;
    m_cppName = m_shortName;
    m_packBuild = m_targetType->m_packBuild;
    m_unPackBuild = m_targetType->m_unPackBuild;
    m_lenPackedBuild = m_targetType->m_lenPackedBuild;
    m_dependencies.insert(m_targetType);
    m_dependencies.insert(targetDependencies.begin(), targetDependencies.end());
    guard.complete();
    m_isSet = true;
    return m_dependencies;
}

AnyType* Alias::getAnyTypePtrBase() {
    return m_targetType;
}

bool Alias::isContainerBase() const {
    return m_targetType != nullptr && m_targetType->isContainer();
}
