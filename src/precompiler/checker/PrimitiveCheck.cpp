// The declared-primitive check: a type of the main model may not use a primitive declared in
// the model file under a name of its own. The generators know only the built-in primitives;
// such a name would pass every other rule and then be refused as an undefined type.

#include "precompiler/checker/DiagnosticClass.h"

#include <QSet>

using namespace EditorInternalTypes;

namespace {

const int CODE_DECLARED_PRIMITIVE = 44;

}  // namespace

bool DiagnosticClass::CheckDeclaredPrimitives() {
    QSet<QString> declared;
    for (const QString& name : qAsConst(primitiveNames)) {
        // One named like a built-in primitive is that primitive to the generators.
        if (!basicNames.contains(name)) {
            declared.insert(name);
        }
    }
    if (declared.isEmpty()) {
        return false;
    }
    const auto refuses = [&](int kind, const QString& name, std::initializer_list<QString> uses) {
        for (const QString& use : uses) {
            if (declared.contains(use)) {
                record(kind, name, CODE_DECLARED_PRIMITIVE, {use});
                return true;
            }
        }
        return false;
    };
    for (const Alias& alias : mainModel->m_aliases) {
        if (refuses(KIND_ALIAS, alias.m_name, {alias.m_type})) {
            return true;
        }
    }
    for (const Array& array : mainModel->m_arrays) {
        if (refuses(KIND_ARRAY, array.m_name, {array.m_type})) {
            return true;
        }
    }
    for (const MapData& map : mainModel->m_maps) {
        if (refuses(KIND_MAP, map.m_name, {map.m_typeMapKey, map.m_typeElement})) {
            return true;
        }
    }
    for (const Sequence& sequence : mainModel->m_sequences) {
        if (refuses(KIND_SEQUENCE, sequence.m_name, {sequence.m_seqType})) {
            return true;
        }
    }
    for (const String& string : mainModel->m_strings) {
        if (refuses(KIND_STRING, string.m_name, {string.m_type})) {
            return true;
        }
    }
    for (const Union& unionType : mainModel->m_unions) {
        if (refuses(KIND_UNION, unionType.m_nameUnion, {unionType.m_typeDiscriminant})) {
            return true;
        }
        for (const UnionCase& unionCase : unionType.m_cases) {
            if (refuses(KIND_UNION, unionType.m_nameUnion, {unionCase.second.m_type})) {
                return true;
            }
        }
    }
    for (const StructureQ& structure : mainModel->m_structures) {
        for (const QMemberAgregate& member : structure.m_members) {
            if (refuses(KIND_STRUCTURE, structure.m_name, {member.m_type})) {
                return true;
            }
        }
    }
    return false;
}
