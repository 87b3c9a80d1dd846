// The reference check: every type a constructed type of the main model names must exist, and
// map keys, string characters and union discriminators must be of an admissible kind.

#include "precompiler/checker/DiagnosticClass.h"

#include <QSet>

using namespace EditorInternalTypes;

namespace {

// The predefined unbounded strings, admissible wherever a type is named, though no model
// declares them.
const QStringList PREDEFINED_STRINGS = {QStringLiteral("String8"), QStringLiteral("String32")};

const QStringList MAP_KEY_BASICS = {QStringLiteral("Int16"),   QStringLiteral("UInt16"),
                                    QStringLiteral("Int32"),   QStringLiteral("UInt32"),
                                    QStringLiteral("Int64"),   QStringLiteral("UInt64"),
                                    QStringLiteral("Char8"),   QStringLiteral("Char32"),
                                    QStringLiteral("String8"), QStringLiteral("String32")};

const QStringList DISCRIMINATOR_BASICS = {QStringLiteral("Boolean"), QStringLiteral("Byte"),
                                          QStringLiteral("Int16"),   QStringLiteral("UInt16"),
                                          QStringLiteral("Int32"),   QStringLiteral("UInt32"),
                                          QStringLiteral("Int64"),   QStringLiteral("UInt64"),
                                          QStringLiteral("Char8"),   QStringLiteral("Char32")};

const QString CHAR8 = QStringLiteral("Char8");
const QString CHAR32 = QStringLiteral("Char32");

}  // namespace

QStringList DiagnosticClass::getAllNamesTypesOfStrings() const {
    QStringList names = {CHAR8, CHAR32};
    for (const Alias& alias : mainModel->m_aliases) {
        if (alias.m_type == CHAR8 || alias.m_type == CHAR32) {
            names.append(alias.m_name);
            continue;
        }
        for (const Primitive& primitive : mainModel->m_primitives) {
            if (primitive.m_name == alias.m_type) {
                if (primitive.m_type == CHAR8 || primitive.m_type == CHAR32) {
                    names.append(alias.m_name);
                }
                break;
            }
        }
    }
    return names;
}

QStringList DiagnosticClass::getNamesDiscrTypes() const {
    const QStringList enumerations = mainModel->getNamesEnumTypes();
    QStringList names = enumerations;
    for (const Alias& alias : mainModel->m_aliases) {
        if (DISCRIMINATOR_BASICS.contains(alias.m_type) || enumerations.contains(alias.m_type)) {
            names.append(alias.m_name);
        }
    }
    return names;
}

bool DiagnosticClass::CheckAllPointingTypes() {
    const QSet<QString> modules(allModulesTypeNames.cbegin(), allModulesTypeNames.cend());
    const auto known = [&modules](const QString& type, const QSet<QString>& admissible) {
        return modules.contains(type) || admissible.contains(type);
    };
    const auto setOf = [](const QStringList& names) {
        return QSet<QString>(names.cbegin(), names.cend());
    };
    // A container may hold any type of the main model but itself.
    const QSet<QString> all = setOf(mainModel->getAllTypesNames() + PREDEFINED_STRINGS);
    const auto elementKnown = [&](const QString& type, const QString& container) {
        return modules.contains(type) || (type != container && all.contains(type));
    };

    const QSet<QString> notAliases = setOf(getNamesAllTypesExceptAliases() + PREDEFINED_STRINGS);
    for (const Alias& alias : mainModel->m_aliases) {
        if (!known(alias.m_type, notAliases)) {
            record(KIND_ALIAS, alias.m_name, 2, {alias.m_type});
            return true;
        }
    }
    for (const Array& array : mainModel->m_arrays) {
        if (!elementKnown(array.m_type, array.m_name)) {
            record(KIND_ARRAY, array.m_name, 2, {array.m_type});
            return true;
        }
    }
    QStringList keyNames = MAP_KEY_BASICS;
    const QStringList enumerations = mainModel->getNamesEnumTypes();
    keyNames += enumerations;
    for (const Alias& alias : mainModel->m_aliases) {
        if (enumerations.contains(alias.m_type) || MAP_KEY_BASICS.contains(alias.m_type)) {
            keyNames.append(alias.m_name);
        }
    }
    const QSet<QString> keys = setOf(keyNames);
    for (const MapData& map : mainModel->m_maps) {
        if (!elementKnown(map.m_typeElement, map.m_name)) {
            record(KIND_MAP, map.m_name, 2, {map.m_typeElement});
            return true;
        }
        if (!known(map.m_typeMapKey, keys)) {
            record(KIND_MAP, map.m_name, 19, {map.m_typeMapKey});
            return true;
        }
    }
    for (const Sequence& sequence : mainModel->m_sequences) {
        if (!elementKnown(sequence.m_seqType, sequence.m_name)) {
            record(KIND_SEQUENCE, sequence.m_name, 2, {sequence.m_seqType});
            return true;
        }
    }
    const QSet<QString> characters = setOf(getAllNamesTypesOfStrings());
    for (const String& string : mainModel->m_strings) {
        if (!known(string.m_type, characters)) {
            record(KIND_STRING, string.m_name, 2, {string.m_type});
            return true;
        }
    }
    const QSet<QString> discriminators = setOf(DISCRIMINATOR_BASICS + getNamesDiscrTypes());
    for (const Union& unionType : mainModel->m_unions) {
        if (!known(unionType.m_typeDiscriminant, discriminators)) {
            record(KIND_UNION, unionType.m_nameUnion, 2, {unionType.m_typeDiscriminant});
            return true;
        }
    }
    return false;
}
