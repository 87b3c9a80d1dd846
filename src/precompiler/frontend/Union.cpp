#include "precompiler/frontend/Union.h"

AnyType::TypeSet Union::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    SetGuard guard(*this);
    m_discriminatorType = getAnyTypeByString(m_discriminatorTypeName);
    m_dependencies.insert(m_discriminatorType);
    const TypeSet discriminatorDependencies = m_discriminatorType->set();
    m_dependencies.insert(discriminatorDependencies.begin(), discriminatorDependencies.end());
    for (const auto& entry : m_cases) {
        AnyType* type = getAnyTypeByString(entry.second.m_typeName);
        m_caseTypes.push_back(type);
        // Only what a case type depends on is added, not the case type itself.
        const TypeSet caseDependencies = type->set();
        m_dependencies.insert(caseDependencies.begin(), caseDependencies.end());
    }
    guard.complete(m_caseTypes);
    m_isSet = true;
    return m_dependencies;
}
