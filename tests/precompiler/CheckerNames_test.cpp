// The checker's name rules: namespace, type names, names given twice.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

// A model whose only content is the namespace.
Build nameSpace(const QString& text) {
    return [text](Model& m) { m.main.m_namespace = text; };
}

TEST(CheckerNamesTest, Namespaces) {
    const auto refused = [](const QString& text) {
        return Expect{"CheckSpaceNameSintax", 0, text, 27, {}};
    };
    checkRows({
        {"one letter", nameSpace("A"), refused("A")},
        {"empty", nameSpace(""), refused("")},
        {"trailing colon", nameSpace("ns:"), refused("ns:")},
        {"trailing scope", nameSpace("ns::"), refused("ns::")},
        {"leading digit", nameSpace("1ns"), refused("1ns")},
        {"leading scope", nameSpace("::ns"), refused("::ns")},
        {"doubled scope", nameSpace("a::::b"), refused("a::::b")},
        {"plain", nameSpace("ns"), PASSES},
        {"nested", nameSpace("ns::sub"), PASSES},
        {"underscore and digit", nameSpace("_n1"), PASSES},
    });
}

TEST(CheckerNamesTest, NamespaceFindingHasNoGroup) {
    const Outcome outcome = checkBuilt(nameSpace("::ns"));
    ASSERT_EQ(outcome.findings.size(), 1);
    EXPECT_EQ(outcome.findings[0].typeKind, 0);
    EXPECT_EQ(outcome.findings[0].groupCode, 0);
}

Build aliasNamed(const QString& name) {
    return [name](Model& m) { m.own().alias(name, "Int32"); };
}

TEST(CheckerNamesTest, TypeNames) {
    const QString longest(256, QLatin1Char('a'));
    const QString tooLong(257, QLatin1Char('a'));
    const auto refused = [](int kind, const QString& name) {
        return Expect{"CheckAllNamesSintax", kind, name, 0, {}};
    };
    checkRows({
        {"one letter", [](Model& m) { m.own().structure("X", {member("a", "Int32")}); },
         refused(22, "X")},
        {"256 characters", aliasNamed(longest), PASSES},
        {"257 characters", aliasNamed(tooLong), refused(20, tooLong)},
        {"keyword", aliasNamed("class"), refused(20, "class")},
        {"newer keyword",
         [](Model& m) {
             m.own().unionType("nullptr", "Int32", {{"1", caseMember("aa", "Int32", true)}});
         },
         refused(21, "nullptr")},
        {"keyword in capitals", aliasNamed("Class"), PASSES},
        {"keyword prefix", aliasNamed("classic"), PASSES},
        {"leading digit", aliasNamed("1abc"), refused(20, "1abc")},
        {"leading scope", aliasNamed("::Point"), refused(20, "::Point")},
        // Only the own namespace is taken off; what is left is declared as it stands.
        {"own namespace", aliasNamed("Ns::Point"), PASSES},
        {"other namespace", aliasNamed("Other::Point"), refused(20, "Other::Point")},
        {"namespace of other case", aliasNamed("ns::Point"), refused(20, "ns::Point")},
        {"scope after own namespace", aliasNamed("Ns::a::b"), refused(20, "Ns::a::b")},
        {"keyword after own namespace", aliasNamed("Ns::class"), refused(20, "Ns::class")},
        {"one letter after own namespace", aliasNamed("Ns::X"), refused(20, "Ns::X")},
        {"doubled scope", aliasNamed("a::::b"), refused(20, "a::::b")},
        {"nested namespace is not taken off",
         [](Model& m) {
             m.main.m_namespace = "ns::sub";
             m.own().alias("ns::sub::Point", "Int32");
         },
         refused(20, "ns::sub::Point")},
        {"nested namespace, plain names",
         [](Model& m) {
             m.main.m_namespace = "ns::sub";
             m.own().alias("Point", "Int32");
         },
         PASSES},
    });
}

TEST(CheckerNamesTest, GroupsAreJudgedInTheirOrder) {
    checkRows({
        {"alias before structure",
         [](Model& m) { m.own().structure("S", {member("a", "Int32")}).alias("A", "Int32"); },
         {"CheckAllNamesSintax", 20, "A", 0, {}}},
        {"namespace before names",
         [](Model& m) {
             m.main.m_namespace = "A";
             m.own().alias("B", "Int32");
         },
         {"CheckSpaceNameSintax", 0, "A", 27, {}}},
        {"bit set before enumeration",
         [](Model& m) {
             m.own().enumeration("E", "Int32", {{"A", "0"}}).bitSet("B", "8", {});
         },
         {"CheckAllNamesSintax", 19, "B", 0, {}}},
    });
}

TEST(CheckerNamesTest, NamesGivenTwice) {
    checkRows({
        {"alias and structure",
         [](Model& m) {
             m.own().alias("Point", "Int32").structure("Other", {member("a", "Int32")});
             m.own().structure("Point", {member("x", "Int32")});
         },
         {"CheckDoublingNames", 20, "Point", 8, {"Структуры"}}},
        {"enumeration named like a built-in primitive",
         [](Model& m) {
             m.own().enumeration("Int32", "Int32", {{"A", "0"}});
         },
         {"CheckDoublingNames", 26, "Int32", 8, {"Перечисления"}}},
        {"two structures",
         [](Model& m) {
             m.own().structure("Point", {member("x", "Int32")});
             m.own().structure("Point", {member("y", "Int32")});
         },
         {"CheckDoublingNames", 22, "Point", 8, {"Структуры"}}},
        {"names differing in case across groups",
         [](Model& m) {
             m.own().structure("Point", {member("x", "Int32")}).alias("point", "Int32");
         },
         {"CheckDoublingNames", 20, "point", 38, {"Структуры", "Point"}}},
        {"names differing in case in one group",
         [](Model& m) {
             m.own().structure("Point", {member("x", "Int32")});
             m.own().structure("POINT", {member("y", "Int32")});
         },
         {"CheckDoublingNames", 22, "POINT", 38, {"Структуры", "Point"}}},
        {"an exact clash is reported before a case clash",
         [](Model& m) {
             m.own().alias("Pa", "Int32").alias("PA", "Int32").sequence("Pa", "Int32");
         },
         {"CheckDoublingNames", 20, "Pa", 8, {"Последовательности"}}},
        {"file primitive named like a built-in one",
         [](Model& m) { m.own().primitive("Int32", "Int32"); }, PASSES},
    });
}

TEST(CheckerNamesTest, DuplicateNamesTheOtherRecord) {
    const struct {
        const char* rule;
        Build build;
        int otherKind;
        int otherIndex;
    } rows[] = {
        {"other group",
         [](Model& m) {
             m.own().alias("Point", "Int32").structure("Other", {member("a", "Int32")});
             m.own().structure("Point", {member("x", "Int32")});
         },
         22, 1},
        {"same group",
         [](Model& m) {
             m.own().structure("Other", {member("a", "Int32")});
             m.own().structure("Point", {member("x", "Int32")});
             m.own().structure("Point", {member("y", "Int32")});
         },
         22, 1},
        {"case only",
         [](Model& m) {
             m.own()
                 .enumeration("Mode", "Int32", {{"A", "0"}})
                 .enumeration("Other", "Int32", {{"B", "0"}});
             m.own().bitSet("MODE", "8", {});
         },
         14, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rule);
        const Outcome outcome = checkBuilt(row.build);
        ASSERT_EQ(outcome.findings.size(), 1);
        EXPECT_EQ(outcome.findings[0].otherKind, row.otherKind);
        EXPECT_EQ(outcome.findings[0].otherIndex, row.otherIndex);
    }
}

}  // namespace
