// The self-reference check: no type of the main model may contain itself through containers,
// aliases, structure members or union cases. Map keys are not followed, and types of included
// modules are not expanded.

#include "precompiler/checker/DiagnosticClass.h"

#include <QSet>

using namespace EditorInternalTypes;

// The walk expands every name at most once per tested type: that ends it on cycles that do not
// pass through the tested type, and keeps models whose structures share sub-structures linear.
// The reach list doubles as the queue of names still to expand.
bool DiagnosticClass::reachesTestedName(const QString& reference) {
    followedReference = reference;
    if (leafTypeNames.contains(reference)) {
        return false;
    }
    QStringList reach{reference};
    QSet<QString> expanded;
    for (int next = 0; next < reach.size(); ++next) {
        const QString name = reach[next];
        if (name == testedTypeName) {
            return true;
        }
        if (expanded.contains(name)) {
            continue;
        }
        expanded.insert(name);
        const TypePlace place = walkIndex.value(name, TypePlace{0, -1});
        if (place.first == KIND_UNION) {
            recursiveUnion(name, &reach);
        } else if (place.first == KIND_STRUCTURE) {
            recursiveStruct(name, &reach);
        } else {
            recursiveAddTypes(name, &reach);
        }
    }
    return false;
}

void DiagnosticClass::recursiveAddTypes(const QString& name, QStringList* reach) const {
    const TypePlace place = walkIndex.value(name, TypePlace{0, -1});
    QString reference;
    switch (place.first) {
        case KIND_MAP:
            reference = mainModel->m_maps[place.second].m_typeElement;
            break;
        case KIND_SEQUENCE:
            reference = mainModel->m_sequences[place.second].m_seqType;
            break;
        case KIND_ARRAY:
            reference = mainModel->m_arrays[place.second].m_type;
            break;
        case KIND_ALIAS:
            reference = mainModel->m_aliases[place.second].m_type;
            break;
        default:
            return;
    }
    if (!leafTypeNames.contains(reference)) {
        reach->append(reference);
    }
}

void DiagnosticClass::recursiveStruct(const QString& name, QStringList* reach) const {
    for (const QMemberAgregate& member :
         mainModel->m_structures[walkIndex.value(name).second].m_members) {
        if (!leafTypeNames.contains(member.m_type)) {
            reach->append(member.m_type);
        }
    }
}

void DiagnosticClass::recursiveUnion(const QString& name, QStringList* reach) const {
    for (const UnionCase& unionCase : mainModel->m_unions[walkIndex.value(name).second].m_cases) {
        if (!leafTypeNames.contains(unionCase.second.m_type)) {
            reach->append(unionCase.second.m_type);
        }
    }
}

bool DiagnosticClass::TestItselfReference() {
    // A name in several lists counts as the first of map, sequence, array, alias, union,
    // structure; within a list its first record counts.
    walkIndex.clear();
    const QPair<int, const QStringList*> lists[] = {
        {KIND_STRUCTURE, &structNames}, {KIND_UNION, &unionNames},       {KIND_ALIAS, &aliasNames},
        {KIND_ARRAY, &arrayNames},      {KIND_SEQUENCE, &sequenceNames}, {KIND_MAP, &mapNames}};
    for (const auto& list : lists) {
        for (int i = list.second->size() - 1; i >= 0; --i) {
            walkIndex.insert((*list.second)[i], TypePlace{list.first, i});
        }
    }

    const auto test = [this](int kind, const QString& name, const QString& reference) {
        testedTypeName = name;
        if (!reachesTestedName(reference)) {
            return false;
        }
        record(kind, name, 33, {reference});
        return true;
    };
    for (const MapData& map : mainModel->m_maps) {
        if (test(KIND_MAP, map.m_name, map.m_typeElement)) {
            return true;
        }
    }
    for (const Sequence& sequence : mainModel->m_sequences) {
        if (test(KIND_SEQUENCE, sequence.m_name, sequence.m_seqType)) {
            return true;
        }
    }
    for (const Array& array : mainModel->m_arrays) {
        if (test(KIND_ARRAY, array.m_name, array.m_type)) {
            return true;
        }
    }
    for (const Alias& alias : mainModel->m_aliases) {
        if (test(KIND_ALIAS, alias.m_name, alias.m_type)) {
            return true;
        }
    }
    for (const StructureQ& structure : mainModel->m_structures) {
        for (const QMemberAgregate& member : structure.m_members) {
            if (test(KIND_STRUCTURE, structure.m_name, member.m_type)) {
                return true;
            }
        }
    }
    for (const Union& unionType : mainModel->m_unions) {
        for (const UnionCase& unionCase : unionType.m_cases) {
            if (test(KIND_UNION, unionType.m_nameUnion, unionCase.second.m_type)) {
                return true;
            }
        }
    }
    return false;
}
