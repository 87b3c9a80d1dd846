#ifndef TESSGEN_FRONTEND_ELEMENTSPELLING_H
#define TESSGEN_FRONTEND_ELEMENTSPELLING_H

#include "precompiler/frontend/AnyType.h"

#include <string>

// How a container of the given module spells its element type: the element's C++ name when
// the element belongs to no module or to the same one, its qualified name otherwise.
inline std::string elementSpelling(const AnyType& element, const std::string& module) {
    if (element.m_moduleName.empty() || element.m_moduleName == module) {
        return element.m_cppName;
    }
    return element.m_qualifiedName;
}

#endif
