#include "precompiler/frontend/EditorInternalTypes.h"

namespace EditorInternalTypes {

namespace {

template <typename Container>
void appendNames(QStringList& names, const Container& records) {
    for (const auto& record : records) {
        names.append(record.m_name);
    }
}

template <typename Container>
QStringList namesOf(const Container& records) {
    QStringList names;
    appendNames(names, records);
    return names;
}

}  // namespace

QStringList VEXA_Types::getNamesEnumTypes() const {
    return namesOf(m_enumerations);
}

QStringList VEXA_Types::getNamesMapTypes() const {
    return namesOf(m_maps);
}

QStringList VEXA_Types::getNamesArrayTypes() const {
    return namesOf(m_arrays);
}

QStringList VEXA_Types::getNamesStringTypes() const {
    return namesOf(m_strings);
}

QStringList VEXA_Types::getNamesBitSetTypes() const {
    return namesOf(m_bitSets);
}

QStringList VEXA_Types::getNamesUnionTypes() const {
    QStringList names;
    for (const Union& u : m_unions) {
        names.append(u.m_nameUnion);
    }
    return names;
}

QStringList VEXA_Types::getNamesStructTypes() const {
    return namesOf(m_structures);
}

QStringList VEXA_Types::getAllTypesNames() const {
    QStringList names;
    appendNames(names, m_primitives);
    appendNames(names, m_enumerations);
    appendNames(names, m_maps);
    appendNames(names, m_sequences);
    appendNames(names, m_arrays);
    appendNames(names, m_editorStrings);
    appendNames(names, m_strings);
    appendNames(names, m_bitSets);
    appendNames(names, m_aliases);
    names.append(getNamesUnionTypes());
    appendNames(names, m_structures);
    return names;
}

}  // namespace EditorInternalTypes
