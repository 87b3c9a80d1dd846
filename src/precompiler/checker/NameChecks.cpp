// The name checks: the namespace, the syntax of type names, and names given twice.

#include "precompiler/checker/CheckerGroups.h"
#include "precompiler/checker/DiagnosticClass.h"

using namespace EditorInternalTypes;

namespace {

const QString SCOPE = QStringLiteral("::");

// Group numbers in the order names are judged and duplicates reported.
const int NAME_SYNTAX_ORDER[] = {KIND_ALIAS,  KIND_ARRAY,       KIND_MAP,
                                 KIND_BITSET, KIND_ENUMERATION, KIND_SEQUENCE,
                                 KIND_STRING, KIND_UNION,       KIND_STRUCTURE};
const int DOUBLING_ORDER[] = {GROUP_PRIMITIVES, KIND_ALIAS,       KIND_ARRAY,    KIND_MAP,
                              KIND_BITSET,      KIND_ENUMERATION, KIND_SEQUENCE, KIND_STRING,
                              KIND_UNION,       KIND_STRUCTURE};

// The name a type is declared under in generated code: the front end strips a leading
// "<namespace>::" only when the namespace is a single name.
QString declaredName(const QString& name, const QString& nameSpace) {
    if (!nameSpace.contains(SCOPE) && name.startsWith(nameSpace + SCOPE)) {
        return name.mid(nameSpace.size() + SCOPE.size());
    }
    return name;
}

bool isConstructedGroup(int group) {
    return group >= KIND_ENUMERATION && group <= KIND_STRUCTURE;
}

}  // namespace

bool DiagnosticClass::CheckSpaceNameSintax() {
    const QString& nameSpace = mainModel->m_namespace;
    // "::ns" and "a::::b" match the pattern but give namespace texts that do not compile.
    if (isAcceptable(*qualifiedNameValidator, nameSpace) && !nameSpace.startsWith(SCOPE) &&
        !nameSpace.contains(QStringLiteral("::::"))) {
        return false;
    }
    ErrorInformationStruct finding;
    finding.typeName = nameSpace;
    finding.message = fillMessage(27, {QString::fromUtf8("Пространство имен"), nameSpace});
    errorInformation.append(finding);
    return true;
}

bool DiagnosticClass::checkTypeName(int kind, const QString& name) {
    bool sound =
        isAcceptable(*qualifiedNameValidator, name) && name.size() <= 256 && !isReservedWord(name);
    if (sound) {
        // What is left after the own namespace becomes a class or typedef name.
        const QString declared = declaredName(name, mainModel->m_namespace);
        sound = !declared.contains(SCOPE) && isAcceptable(*qualifiedNameValidator, declared) &&
                !isReservedWord(declared);
    }
    if (!sound) {
        record(kind, name, 0);
    }
    return !sound;
}

bool DiagnosticClass::CheckAllNamesSintax() {
    const QHash<int, QStringList> names = hashTypeAndListOfTypeNames();
    for (int kind : NAME_SYNTAX_ORDER) {
        // The string group without the editor's own strings, which no file fills.
        const QStringList& list =
            kind == KIND_STRING ? mainModel->getNamesStringTypes() : names.value(kind);
        for (const QString& name : list) {
            if (checkTypeName(kind, name)) {
                return true;
            }
        }
    }
    return false;
}

namespace {

// First position of every name of every group, so that each lookup is one hash probe.
class NamePositions {
public:
    explicit NamePositions(const QHash<int, QStringList>& groups) {
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            QHash<QString, int>& first = m_first[it.key()];
            for (int i = it.value().size() - 1; i >= 0; --i) {
                first.insert(it.value()[i], i);
            }
        }
        // Constructed types by their name without letter case, in group and list order.
        for (int k = KIND_ENUMERATION; k <= KIND_STRUCTURE; ++k) {
            const QStringList& names = groups.value(k);
            for (int m = 0; m < names.size(); ++m) {
                m_folded[names[m].toCaseFolded()].append({k, m, names[m]});
            }
        }
    }

    int first(int group, const QString& name) const { return m_first.value(group).value(name, -1); }

    struct Place {
        int group;
        int index;
        QString name;
    };
    // Constructed types whose names equal name without letter case, in group and list order.
    QVector<Place> folded(const QString& name) const { return m_folded.value(name.toCaseFolded()); }

private:
    QHash<int, QHash<QString, int>> m_first;
    QHash<QString, QVector<Place>> m_folded;
};

}  // namespace

bool DiagnosticClass::CheckDoublingNames() {
    const QHash<int, QStringList> h = hashTypeAndListOfTypeNames();
    const NamePositions positions(h);
    for (int g : DOUBLING_ORDER) {
        for (const QString& n : h.value(g)) {
            for (int k = 0; k <= 26; ++k) {
                const int j = k == g ? -1 : positions.first(k, n);
                if (j >= 0) {
                    QString otherGroup;
                    GetIntTypeWidget(k, &otherGroup);
                    record(g, n, 8, {otherGroup});
                    errorInformation.last().otherKind = k;
                    errorInformation.last().otherIndex = j;
                    return true;
                }
            }
        }
    }
    return checkDoublingInGroups(h);
}

// Names that clash within one group, or that differ from another type's name in letter case
// only: the generated code would declare one name twice, and the type model, which orders
// names without letter case, would keep one of the two types.
bool DiagnosticClass::checkDoublingInGroups(const QHash<int, QStringList>& h) {
    const NamePositions positions(h);
    for (int g : DOUBLING_ORDER) {
        const QStringList& names = h.value(g);
        for (int i = 0; i < names.size(); ++i) {
            const QString& n = names[i];
            // The file's primitives are not generated; one named like a built-in one is harmless.
            const int j = g == GROUP_PRIMITIVES ? -1 : positions.first(g, n);
            if (j >= 0 && j < i) {
                QString ownGroup;
                GetIntTypeWidget(g, &ownGroup);
                record(g, n, 8, {ownGroup});
                errorInformation.last().otherKind = g;
                errorInformation.last().otherIndex = j;
                return true;
            }
            if (!isConstructedGroup(g)) {
                continue;
            }
            for (const NamePositions::Place& other : positions.folded(n)) {
                const bool earlier = other.group != g || other.index < i;
                if (earlier && other.name != n) {
                    QString otherGroup;
                    GetIntTypeWidget(other.group, &otherGroup);
                    record(g, n, 38, {otherGroup, other.name});
                    errorInformation.last().otherKind = other.group;
                    errorInformation.last().otherIndex = other.index;
                    return true;
                }
            }
        }
    }
    return false;
}

QStringList DiagnosticClass::getNamesAllTypesExceptAliases() const {
    QStringList names;
    for (const Primitive& primitive : mainModel->m_primitives) {
        names.append(primitive.m_name);
    }
    names += mainModel->getNamesEnumTypes();
    names += mainModel->getNamesMapTypes();
    for (const Sequence& sequence : mainModel->m_sequences) {
        names.append(sequence.m_name);
    }
    names += mainModel->getNamesArrayTypes();
    for (const String& string : mainModel->m_editorStrings) {
        names.append(string.m_name);
    }
    names += mainModel->getNamesStringTypes();
    names += mainModel->getNamesBitSetTypes();
    names += mainModel->getNamesUnionTypes();
    names += mainModel->getNamesStructTypes();
    return names;
}

QHash<int, QStringList> DiagnosticClass::hashTypeAndListOfTypeNames() const {
    QHash<int, QStringList> h;
    QStringList primitives;
    for (const Primitive& primitive : mainModel->m_primitives) {
        primitives.append(primitive.m_name);
    }
    h.insert(GROUP_PRIMITIVES, primitives);
    h.insert(KIND_ENUMERATION, mainModel->getNamesEnumTypes());
    h.insert(KIND_MAP, mainModel->getNamesMapTypes());
    QStringList sequences;
    for (const Sequence& sequence : mainModel->m_sequences) {
        sequences.append(sequence.m_name);
    }
    h.insert(KIND_SEQUENCE, sequences);
    h.insert(KIND_ARRAY, mainModel->getNamesArrayTypes());
    QStringList strings = mainModel->getNamesStringTypes();
    for (const String& string : mainModel->m_editorStrings) {
        strings.append(string.m_name);
    }
    h.insert(KIND_STRING, strings);
    h.insert(KIND_BITSET, mainModel->getNamesBitSetTypes());
    QStringList aliases;
    for (const Alias& alias : mainModel->m_aliases) {
        aliases.append(alias.m_name);
    }
    h.insert(KIND_ALIAS, aliases);
    h.insert(KIND_UNION, mainModel->getNamesUnionTypes());
    h.insert(KIND_STRUCTURE, mainModel->getNamesStructTypes());
    return h;
}
