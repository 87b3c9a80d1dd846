#include "precompiler/frontend/Map.h"

#include "precompiler/frontend/ElementSpelling.h"

AnyType::TypeSet Map::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    SetGuard guard(*this);
    // Stored only after their set() has succeeded: a refused cycle leaves no loop of pointers.
    AnyType* value = getAnyTypeByString(m_valueTypeName);
    AnyType* key = getAnyTypeByString(m_keyTypeName);
    const TypeSet valueDependencies = value->set();
    m_dependencies.insert(valueDependencies.begin(), valueDependencies.end());
    const TypeSet keyDependencies = key->set();
    m_dependencies.insert(keyDependencies.begin(), keyDependencies.end());
    m_valueType = value;
    m_keyType = key;
    m_cppTypeText = "std::map<" + elementSpelling(*m_keyType, m_moduleName) + "," +
                    elementSpelling(*m_valueType, m_moduleName) + ">";
    m_dependencies.insert(m_keyType);
    m_dependencies.insert(m_valueType);
    guard.complete();
    m_isSet = true;
    m_size = 0;
    m_alignment = 4;
    m_fixedLength = false;
    return m_dependencies;
}
