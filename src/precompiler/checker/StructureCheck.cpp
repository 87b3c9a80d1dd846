// The structure check: every member of every structure of the main model has a sound, unique
// name, an existing type, well-formed flags, and a type that may carry a key when it is a key.

#include "precompiler/checker/DiagnosticClass.h"

#include <QSet>

using namespace EditorInternalTypes;

namespace {

const QString FALSE_TEXT = QStringLiteral("false");

// Methods the class of a topic structure declares; a member's accessors of the same name would
// clash with them.
bool isTopicMethod(const QString& name) {
    static const QSet<QString> METHODS = {
        QStringLiteral("nameOfType"),   QStringLiteral("hasKey"),    QStringLiteral("keyHash"),
        QStringLiteral("keyEqual"),     QStringLiteral("lenPacked"), QStringLiteral("maxlenPacked"),
        QStringLiteral("keylenPacked"), QStringLiteral("pack"),      QStringLiteral("packKey"),
        QStringLiteral("unpack"),       QStringLiteral("unpackKey")};
    return METHODS.contains(name);
}

}  // namespace

bool DiagnosticClass::isMemberTypeKnown(const QString& type) const {
    if (type == QLatin1String("String8") || type == QLatin1String("String32") ||
        allModulesTypeNames.contains(type)) {
        return true;
    }
    for (const QStringList& names : typeNamesByKind) {
        if (names.contains(type)) {
            return true;
        }
    }
    return false;
}

// A member named like a constructed type of the main model: its accessors would hide the type
// inside the generated class that spells it.
bool DiagnosticClass::isModelTypeName(const QString& name) const {
    for (int kind = KIND_ENUMERATION; kind <= KIND_STRUCTURE; ++kind) {
        if (typeNamesByKind.value(kind).contains(name)) {
            return true;
        }
    }
    return false;
}

bool DiagnosticClass::checkMemberKeyCapability(const QString& structName,
                                               const QMemberAgregate& member) {
    QStringList moduleSequences;
    for (const Sequence& sequence : allModulesModel->m_sequences) {
        moduleSequences.append(sequence.m_name);
    }
    QString judged = member.m_type;
    // An alias is followed once: an alias of an alias passes.
    for (int level = 0; level < 2; ++level) {
        if (mapNames.contains(judged) || allModulesModel->getNamesMapTypes().contains(judged) ||
            sequenceNames.contains(judged) || moduleSequences.contains(judged) ||
            bitSetNames.contains(judged) ||
            allModulesModel->getNamesBitSetTypes().contains(judged)) {
            record(KIND_STRUCTURE, structName, 20, {member.m_name});
            return true;
        }
        QString key;
        if (keyTextOf(judged, &key)) {
            // Only a referenced type whose own key text is "false" refuses.
            if (key != FALSE_TEXT) {
                return false;
            }
            record(KIND_STRUCTURE, structName, 37, {member.m_name, member.m_type, key});
            return true;
        }
        const int alias = aliasNames.indexOf(judged);
        if (alias < 0) {
            return false;
        }
        judged = mainModel->m_aliases[alias].m_type;
    }
    return false;
}

// The key text of the first enumeration, array, string or union of that name, the main model's
// before the included modules' of each kind.
bool DiagnosticClass::keyTextOf(const QString& type, QString* key) const {
    const auto find = [&type, key](const QStringList& names, const auto& records) {
        const int i = names.indexOf(type);
        if (i >= 0) {
            *key = records[i].m_key;
        }
        return i >= 0;
    };
    const int string = stringNames.indexOf(type);
    const int editorStrings = mainModel->m_editorStrings.size();
    if (find(enumNames, mainModel->m_enumerations) ||
        find(allModulesModel->getNamesEnumTypes(), allModulesModel->m_enumerations) ||
        find(arrayNames, mainModel->m_arrays) ||
        find(allModulesModel->getNamesArrayTypes(), allModulesModel->m_arrays)) {
        return true;
    }
    if (string >= 0) {
        *key = string < editorStrings ? mainModel->m_editorStrings[string].m_key
                                      : mainModel->m_strings[string - editorStrings].m_key;
        return true;
    }
    return find(allModulesModel->getNamesStringTypes(), allModulesModel->m_strings) ||
           find(unionNames, mainModel->m_unions) ||
           find(allModulesModel->getNamesUnionTypes(), allModulesModel->m_unions);
}

bool DiagnosticClass::CheckStructureElements() {
    typeNamesByKind = hashTypeAndListOfTypeNames();
    QSet<QString> topics;
    for (const TopicType& topic : mainModel->m_topicTypes) {
        topics.insert(topic.m_structName);
    }
    for (const StructureQ& structure : mainModel->m_structures) {
        const QString& name = structure.m_name;
        QSet<QString> seen;
        for (const QMemberAgregate& member : structure.m_members) {
            if (!isAcceptable(*identifierValidator, member.m_name) ||
                isReservedWord(member.m_name) || member.m_name == name) {
                record(KIND_STRUCTURE, name, 9, {member.m_name});
                return true;
            }
            if (isModelTypeName(member.m_name)) {
                record(KIND_STRUCTURE, name, 42, {member.m_name});
                return true;
            }
            if (topics.contains(name) && isTopicMethod(member.m_name)) {
                record(KIND_STRUCTURE, name, 43, {member.m_name});
                return true;
            }
            if (!isMemberTypeKnown(member.m_type)) {
                record(KIND_STRUCTURE, name, 13, {member.m_type});
                return true;
            }
            if (seen.contains(member.m_name)) {
                record(KIND_STRUCTURE, name, 11, {member.m_name});
                return true;
            }
            seen.insert(member.m_name);
            if (!isAcceptable(*booleanValidator, member.m_key)) {
                record(KIND_STRUCTURE, name, 14, {member.m_name, member.m_key});
                return true;
            }
            if (member.m_key == QLatin1String("true") && checkMemberKeyCapability(name, member)) {
                return true;
            }
            if (!isAcceptable(*booleanValidator, member.m_shared)) {
                record(KIND_STRUCTURE, name, 14, {member.m_name, member.m_shared});
                return true;
            }
            if (!isAcceptable(*booleanValidator, member.m_optional)) {
                record(KIND_STRUCTURE, name, 14, {member.m_name, member.m_optional});
                return true;
            }
        }
    }
    return false;
}
