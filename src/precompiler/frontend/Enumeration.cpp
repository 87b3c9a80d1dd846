#include "precompiler/frontend/Enumeration.h"

AnyType::TypeSet Enumeration::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    AnyType* underlying = getAnyTypeByString(m_TypeRep.getDDS(m_TypeOfEnum));
    m_cppTypeText += " : " + underlying->m_cppName;
    m_dependencies.insert(underlying);
    switch (m_TypeOfEnum) {
        case INT_16_TYPE:
        case UINT_16_TYPE:
            m_size = 2;
            break;
        case INT_32_TYPE:
        case UINT_32_TYPE:
            m_size = 4;
            break;
        case INT_64_TYPE:
        case UINT_64_TYPE:
            m_size = 8;
            break;
        default:
            // The conversion stores only the six integer kinds.
            m_size = underlying->m_size;
            break;
    }
    m_alignment = static_cast<std::uint32_t>(m_size);
    m_isSet = true;
    return m_dependencies;
}
