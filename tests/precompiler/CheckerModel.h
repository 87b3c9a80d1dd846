#ifndef TESSGEN_TESTS_CHECKERMODEL_H
#define TESSGEN_TESTS_CHECKERMODEL_H

// In-memory editor records for the model checker's tests: a main model (namespace "Ns") and the
// included modules' model, built record by record, and the outcome of one checker run.

#include "precompiler/checker/DiagnosticClass.h"

#include "ZetException.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

namespace checker_test {

using namespace EditorInternalTypes;

// A member with sound flags; key "false" unless given.
inline QMemberAgregate member(const QString& name, const QString& type,
                              const QString& key = "false") {
    QMemberAgregate m;
    m.m_name = name;
    m.m_type = type;
    m.m_key = key;
    m.m_shared = "false";
    m.m_optional = "false";
    m.m_default = "false";
    return m;
}

// A union case member, the default case when isDefault.
inline QMemberAgregate caseMember(const QString& name, const QString& type,
                                  bool isDefault = false) {
    QMemberAgregate m = member(name, type);
    m.m_default = isDefault ? "true" : "false";
    return m;
}

using NameValue = std::pair<QString, QString>;

// Appends records to one model.
class Records {
public:
    explicit Records(VEXA_Types& model) : m_model(model) {}

    Records& primitive(const QString& name, const QString& type, const QString& key = "true") {
        Primitive p;
        p.m_name = name;
        p.m_type = type;
        p.m_key = key;
        m_model.m_primitives.append(p);
        return *this;
    }
    Records& enumeration(const QString& name, const QString& base,
                         std::initializer_list<NameValue> enumerators, const QString& key = "false",
                         const QString& extensibility = "final") {
        Enumeration e;
        e.m_name = name;
        e.m_type = base;
        e.m_key = key;
        e.m_extensibility = extensibility;
        for (const NameValue& nv : enumerators) {
            Enumerator enumerator;
            enumerator.m_name = nv.first;
            enumerator.m_value = nv.second;
            e.m_enumerators.append(enumerator);
        }
        m_model.m_enumerations.append(e);
        return *this;
    }
    Records& map(const QString& name, const QString& element, const QString& key,
                 const QString& length = "10") {
        MapData m;
        m.m_name = name;
        m.m_typeElement = element;
        m.m_typeMapKey = key;
        m.m_elementMaxLength = length;
        m_model.m_maps.append(m);
        return *this;
    }
    Records& sequence(const QString& name, const QString& element, const QString& length = "-1") {
        Sequence s;
        s.m_name = name;
        s.m_seqType = element;
        s.m_memberMaxLength = length;
        m_model.m_sequences.append(s);
        return *this;
    }
    Records& array(const QString& name, const QString& element, const QString& bounds = "3",
                   const QString& key = "false") {
        Array a;
        a.m_name = name;
        a.m_type = element;
        a.m_bounds = bounds;
        a.m_key = key;
        m_model.m_arrays.append(a);
        return *this;
    }
    Records& string(const QString& name, const QString& character, const QString& length = "32",
                    const QString& key = "false") {
        String s;
        s.m_name = name;
        s.m_type = character;
        s.m_maxLength = length;
        s.m_key = key;
        m_model.m_strings.append(s);
        return *this;
    }
    Records& bitSet(const QString& name, const QString& bound,
                    std::initializer_list<NameValue> elements) {
        BitSet b;
        b.m_name = name;
        b.m_bound = bound;
        for (const NameValue& nv : elements) {
            BitElement element;
            element.m_name = nv.first;
            element.m_flush = nv.second;
            b.m_bitElements.append(element);
        }
        m_model.m_bitSets.append(b);
        return *this;
    }
    Records& alias(const QString& name, const QString& type) {
        Alias a;
        a.m_name = name;
        a.m_type = type;
        m_model.m_aliases.append(a);
        return *this;
    }
    Records& unionType(const QString& name, const QString& discriminator,
                       std::initializer_list<UnionCase> cases, const QString& key = "false") {
        Union u;
        u.m_nameUnion = name;
        u.m_typeDiscriminant = discriminator;
        u.m_key = key;
        for (const UnionCase& c : cases) {
            u.m_cases.append(c);
        }
        m_model.m_unions.append(u);
        return *this;
    }
    Records& structure(const QString& name, std::initializer_list<QMemberAgregate> members) {
        StructureQ s;
        s.m_name = name;
        for (const QMemberAgregate& m : members) {
            s.m_members.append(m);
        }
        m_model.m_structures.append(s);
        return *this;
    }
    Records& topic(const QString& structName, const QString& keys = QString()) {
        TopicType t;
        t.m_structName = structName;
        t.m_keys = keys;
        m_model.m_topicTypes.append(t);
        return *this;
    }

private:
    VEXA_Types& m_model;
};

struct Outcome {
    bool refused = false;
    std::string text;  // the exception's text
    QVector<ErrorInformationStruct> findings;
    QList<Primitive> primitivesAfter;  // the main model's primitive list after the run
};

// The main model of namespace "Ns" and the included modules' model (names qualified).
struct Model {
    VEXA_Types main;
    VEXA_Types modules;

    Model() {
        main.m_namespace = "Ns";
        modules.m_namespace = "Common";
    }

    Records own() { return Records(main); }
    Records included() { return Records(modules); }

    Outcome check() {
        Outcome outcome;
        DiagnosticClass checker(&main, &modules);
        try {
            checker.StartDiagnostics();
        } catch (const NLX::ZetException& error) {
            outcome.refused = true;
            outcome.text = error.what();
        }
        outcome.findings = checker.getErrorInformation();
        outcome.primitivesAfter = main.m_primitives;
        return outcome;
    }
};

// A model built by a row of a table.
using Build = std::function<void(Model&)>;

inline Outcome checkBuilt(const Build& build) {
    Model model;
    build(model);
    return model.check();
}

// The finding a row expects: the check that reports it, the group and name of the type, the
// message code and the values of %3 onwards.
struct Expect {
    const char* check;
    int kind;
    QString name;
    int code;
    QStringList values;
};

// The exception text of an expected finding, from the checker's templates and group names
// (both tested literally on their own).
inline std::string expectedText(const Expect& e) {
    VEXA_Types mainModel;
    VEXA_Types modules;
    const DiagnosticClass templates(&mainModel, &modules);
    // Namespace and topic findings name their group themselves.
    QString group = e.code == 27   ? QString("Пространство имен")
                    : e.kind == 27 ? QString("Тип данных темы ")
                                   : QString();
    if (group.isEmpty()) {
        DiagnosticClass::GetIntTypeWidget(e.kind, &group);
    }
    QString message = templates.getErrorsTextList().value(e.code).arg(group).arg(e.name);
    for (const QString& value : e.values) {
        message = message.arg(value);
    }
    const std::string check = e.check;
    const std::string prefix = check == "CheckTopicKeys"
                                   ? "Ошибка: DiagnosticClass::StartDiagnostics: CheckTopicKeys : "
                                   : "Ошибка: DiagnosticClass::StartDiagnostics:" + check + " : ";
    return prefix + message.toStdString();
}

// A row that expects no finding.
const Expect PASSES = {nullptr, 0, QString(), 0, {}};

// Builds the row's model, runs the checker and compares the outcome with the expectation.
inline void checkRow(const char* rule, const Build& build, const Expect& expect) {
    SCOPED_TRACE(rule);
    const Outcome outcome = checkBuilt(build);
    if (expect.check == nullptr) {
        EXPECT_FALSE(outcome.refused) << outcome.text;
        return;
    }
    EXPECT_EQ(outcome.text, expectedText(expect));
    ASSERT_FALSE(outcome.findings.isEmpty());
    EXPECT_EQ(outcome.findings.last().typeKind, expect.kind);
    EXPECT_EQ(outcome.findings.last().typeName, expect.name);
}

struct Row {
    const char* rule;
    Build build;
    Expect expect;
};

inline void checkRows(std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        checkRow(row.rule, row.build, row.expect);
    }
}

}  // namespace checker_test

#endif
