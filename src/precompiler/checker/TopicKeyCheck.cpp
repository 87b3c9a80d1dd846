// The topic-key check: a topic names a structure of the main model, and each of its keys is a
// path of key members that ends in a type allowed in a key. Also the per-kind name lists of the
// main model, which the self-reference and structure checks read as well.

#include "precompiler/checker/CheckerGroups.h"
#include "precompiler/checker/DiagnosticClass.h"

#include <QSet>

using namespace EditorInternalTypes;

namespace {

const QString TRUE_TEXT = QStringLiteral("true");

bool isKeyFlagged(const QString& key) {
    return key == TRUE_TEXT;
}

template <typename Records>
QStringList namesOf(const Records& records) {
    QStringList names;
    for (const auto& record : records) {
        names.append(record.m_name);
    }
    return names;
}

}  // namespace

void DiagnosticClass::UpdateListAllKeysNames() {
    basicNames = QStringList{
        QStringLiteral("Boolean"), QStringLiteral("Byte"),     QStringLiteral("Int16"),
        QStringLiteral("UInt16"),  QStringLiteral("Int32"),    QStringLiteral("UInt32"),
        QStringLiteral("Int64"),   QStringLiteral("UInt64"),   QStringLiteral("Float32"),
        QStringLiteral("Float64"), QStringLiteral("Float128"), QStringLiteral("Char8"),
        QStringLiteral("Char32")};
    primitiveNames = namesOf(mainModel->m_primitives);
    enumNames = mainModel->getNamesEnumTypes();
    stringNames = namesOf(mainModel->m_editorStrings) + mainModel->getNamesStringTypes();
    mapNames = mainModel->getNamesMapTypes();
    sequenceNames = namesOf(mainModel->m_sequences);
    bitSetNames = mainModel->getNamesBitSetTypes();
    aliasNames = namesOf(mainModel->m_aliases);
    structNames = mainModel->getNamesStructTypes();
    arrayNames = mainModel->getNamesArrayTypes();
    unionNames = mainModel->getNamesUnionTypes();
    leafTypeNames = basicNames + namesOf(mainModel->m_editorStrings);
}

// What a key member's type allows: a key of its own, a path on into a structure, or nothing.
DiagnosticClass::KeyType DiagnosticClass::judgeKeyType(const QString& type,
                                                       bool throughAlias) const {
    KeyType result;
    if (basicNames.contains(type)) {
        result.admissible = true;
        return result;
    }
    const auto flagged = [&result](const auto& records, int index) {
        result.admissible = isKeyFlagged(records[index].m_key);
        return result;
    };
    int i = enumNames.indexOf(type);
    if (i >= 0) {
        return flagged(mainModel->m_enumerations, i);
    }
    i = allModulesModel->getNamesEnumTypes().indexOf(type);
    if (i >= 0) {
        return flagged(allModulesModel->m_enumerations, i);
    }
    i = primitiveNames.indexOf(type);
    if (i >= 0) {
        return flagged(mainModel->m_primitives, i);
    }
    if (type == QLatin1String("String8") || type == QLatin1String("String32")) {
        result.admissible = true;
        return result;
    }
    i = stringNames.indexOf(type);
    if (i >= 0) {
        const int editorStrings = mainModel->m_editorStrings.size();
        return i < editorStrings ? flagged(mainModel->m_editorStrings, i)
                                 : flagged(mainModel->m_strings, i - editorStrings);
    }
    i = allModulesModel->getNamesStringTypes().indexOf(type);
    if (i >= 0) {
        return flagged(allModulesModel->m_strings, i);
    }
    i = arrayNames.indexOf(type);
    if (i >= 0) {
        return flagged(mainModel->m_arrays, i);
    }
    i = allModulesModel->getNamesArrayTypes().indexOf(type);
    if (i >= 0) {
        return flagged(allModulesModel->m_arrays, i);
    }
    i = aliasNames.indexOf(type);
    if (i >= 0) {
        // One level only: an alias of an alias allows nothing.
        return throughAlias ? result : judgeKeyType(mainModel->m_aliases[i].m_type, true);
    }
    i = structNames.indexOf(type);
    if (i >= 0) {
        result.structure = &mainModel->m_structures[i];
        return result;
    }
    i = allModulesModel->getNamesStructTypes().indexOf(type);
    if (i >= 0) {
        result.structure = &allModulesModel->m_structures[i];
    }
    return result;
}

// Walks the path member by member instead of listing every admissible path: nested key
// structures can multiply the paths beyond any bound, and a structure of an included module may
// contain itself.
bool DiagnosticClass::isAdmissibleKeyPath(const StructureQ& topicStructure,
                                          const QString& path) const {
    const QStringList steps = path.split(QLatin1Char('.'));
    QSet<const StructureQ*> current{&topicStructure};
    for (int s = 0; s < steps.size() && !current.isEmpty(); ++s) {
        const bool last = s + 1 == steps.size();
        QSet<const StructureQ*> next;
        for (const StructureQ* structure : qAsConst(current)) {
            for (const QMemberAgregate& member : structure->m_members) {
                if (member.m_name != steps[s] || !isKeyFlagged(member.m_key)) {
                    continue;
                }
                const KeyType type = judgeKeyType(member.m_type, false);
                if (last && type.admissible) {
                    return true;
                }
                if (!last && type.structure != nullptr) {
                    next.insert(type.structure);
                }
            }
        }
        current = next;
    }
    return false;
}

bool DiagnosticClass::CheckTopicKeys() {
    const QString topicGroup = QString::fromUtf8("Тип данных темы ");
    const auto recordTopic = [&](int index, const QString& structName, int code,
                                 const QStringList& values) {
        ErrorInformationStruct finding;
        finding.typeName = structName;
        finding.typeKind = GROUP_TOPICS;
        finding.groupCode = index;
        finding.message = fillMessage(code, QStringList{topicGroup, structName} + values);
        errorInformation.append(finding);
    };
    for (int t = 0; t < mainModel->m_topicTypes.size(); ++t) {
        const TopicType& topic = mainModel->m_topicTypes[t];
        const int s = structNames.indexOf(topic.m_structName);
        if (s < 0) {
            recordTopic(t, topic.m_structName, 18, {});
            return true;
        }
        QString keys = topic.m_keys;
        keys.remove(QLatin1Char(' '));
        if (keys.isEmpty()) {
            continue;
        }
        for (const QString& key : keys.split(QLatin1Char(','))) {
            if (!isAdmissibleKeyPath(mainModel->m_structures[s], key)) {
                recordTopic(t, topic.m_structName, 22, {topic.m_structName, key});
                return true;
            }
        }
    }
    return false;
}
