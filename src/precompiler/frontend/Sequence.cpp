#include "precompiler/frontend/Sequence.h"

#include "precompiler/frontend/ElementSpelling.h"

AnyType::TypeSet Sequence::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    SetGuard guard(*this);
    // Stored only after its set() has succeeded: a refused cycle leaves no loop of pointers.
    AnyType* element = getAnyTypeByString(m_elementTypeName);
    const TypeSet elementDependencies = element->set();
    m_elementType = element;
    m_cppTypeText = "std::vector<" + elementSpelling(*m_elementType, m_moduleName) + ">";
    m_cppName = m_shortName;
    m_dependencies.insert(m_elementType);
    m_dependencies.insert(elementDependencies.begin(), elementDependencies.end());
    guard.complete();
    m_isSet = true;
    m_size = 0;
    m_alignment = 4;
    // The runtime's sequence functions serve primitives, strings and enumerations.
    const AnyType* base = m_elementType->getAnyTypePtrBase();
    const bool runtimeServes =
        base != nullptr && (NLX::isPrimitive(base->m_Kind) || base->m_Kind == STRING_TYPE ||
                            base->m_Kind == ENUMERATION_TYPE);
    m_packBuild = runtimeServes ? BUILD_NOT_NEEDED : BUILD_PENDING;
    m_unPackBuild = m_packBuild;
    return m_dependencies;
}
