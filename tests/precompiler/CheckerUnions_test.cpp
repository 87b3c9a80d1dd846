// The checker's union rules: discriminator, case labels, case members, the default case.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect unionFinding(int code, const QStringList& values = {}) {
    return {"CheckUnionElements", 21, "Value", code, values};
}

// A union over the discriminator with one case per label, the first one the default; the model
// also has an enumeration Color (RED 0, GREEN 1), an enumeration Other (BLUE 0), an alias Small
// of UInt16, an alias Hue of Color and an included enumeration Common::Mode (ON 1).
Build labels(const QString& discriminator, const QStringList& list) {
    return [discriminator, list](Model& m) {
        m.own().enumeration("Color", "Int32", {{"RED", "0"}, {"GREEN", "1"}});
        m.own().enumeration("Other", "Int32", {{"BLUE", "0"}}).alias("Small", "UInt16");
        m.own().alias("Hue", "Color");
        m.included().enumeration("Common::Mode", "Int32", {{"ON", "1"}});
        Union u;
        u.m_nameUnion = "Value";
        u.m_typeDiscriminant = discriminator;
        for (int i = 0; i < list.size(); ++i) {
            u.m_cases.append({list[i], caseMember(QStringLiteral("m%1").arg(i), "Int32", i == 0)});
        }
        m.main.m_unions.append(u);
    };
}

TEST(CheckerUnionsTest, Discriminators) {
    checkRows({
        {"included structure",
         [](Model& m) {
             m.included().structure("Common::Point", {member("x", "Int32")});
             m.own().unionType("Value", "Common::Point", {{"1", caseMember("aa", "Int32", true)}});
         },
         unionFinding(15, {"Common::Point"})},
        {"alias of UInt16 is an integer", labels("Small", {"1", "65535"}), PASSES},
        {"alias of an enumeration", labels("Hue", {"GREEN", "0"}), PASSES},
        {"alias of an enumeration, another's enumerator", labels("Hue", {"BLUE"}),
         unionFinding(16, {"Hue", "BLUE"})},
        {"included enumeration", labels("Common::Mode", {"ON"}), PASSES},
    });
}

TEST(CheckerUnionsTest, BooleanLabels) {
    checkRows({
        {"true and false", labels("Boolean", {"true", "false"}), PASSES},
        {"capitals", labels("Boolean", {"TRUE"}), unionFinding(16, {"Boolean", "TRUE"})},
        {"digit", labels("Boolean", {"1"}), unionFinding(16, {"Boolean", "1"})},
        {"empty", labels("Boolean", {""}), unionFinding(16, {"Boolean", ""})},
        {"twice", labels("Boolean", {"true", "true"}), unionFinding(11, {"true"})},
    });
}

TEST(CheckerUnionsTest, IntegerLabels) {
    checkRows({
        {"Byte ends", labels("Byte", {"0", "255"}), PASSES},
        {"hexadecimal", labels("Byte", {"0x10"}), unionFinding(17, {"Byte", "0x10"})},
        {"plus sign", labels("Byte", {"+1"}), unionFinding(17, {"Byte", "+1"})},
        {"fraction", labels("Byte", {"1.5"}), unionFinding(17, {"Byte", "1.5"})},
        {"text twice", labels("Int32", {"7", "7"}), unionFinding(11, {"7"})},
        // The generated switch gets one case label per value.
        {"Byte -1", labels("Byte", {"-1"}), unionFinding(39, {"Byte", "-1"})},
        {"Byte 300", labels("Byte", {"300"}), unionFinding(39, {"Byte", "300"})},
        {"Int16 below", labels("Int16", {"-32769"}), unionFinding(39, {"Int16", "-32769"})},
        {"UInt16 through an alias", labels("Small", {"65536"}),
         unionFinding(39, {"Small", "65536"})},
        {"Int64 ends", labels("Int64", {"-9223372036854775808", "9223372036854775807"}), PASSES},
        {"Int64 above", labels("Int64", {"9223372036854775808"}),
         unionFinding(39, {"Int64", "9223372036854775808"})},
        {"UInt64 highest", labels("UInt64", {"18446744073709551615"}), PASSES},
        {"UInt32 -1", labels("UInt32", {"-1"}), unionFinding(39, {"UInt32", "-1"})},
        {"1 and 01 are one value", labels("Int32", {"1", "01"}), unionFinding(40, {"1", "01"})},
        {"0 and -0 are one value", labels("Int16", {"0", "2", "-0"}),
         unionFinding(40, {"0", "-0"})},
    });
}

TEST(CheckerUnionsTest, CharacterLabels) {
    checkRows({
        {"letters and digit", labels("Char8", {"a", "Z", "7"}), PASSES},
        {"wide", labels("Char32", {"a"}), PASSES},
        {"two letters", labels("Char8", {"ab"}), unionFinding(17, {"Char8", "ab"})},
        {"underscore", labels("Char8", {"_"}), unionFinding(17, {"Char8", "_"})},
        {"quoted", labels("Char8", {"'a'"}), unionFinding(17, {"Char8", "'a'"})},
        {"twice", labels("Char8", {"a", "a"}), unionFinding(11, {"a"})},
    });
}

TEST(CheckerUnionsTest, EnumerationLabels) {
    checkRows({
        {"names", labels("Color", {"RED", "GREEN"}), PASSES},
        {"a value text", labels("Color", {"1"}), PASSES},
        {"name and its value", labels("Color", {"RED", "0"}), unionFinding(40, {"RED", "0"})},
        {"another enumeration's enumerator", labels("Color", {"BLUE"}),
         unionFinding(16, {"Color", "BLUE"})},
        {"name twice", labels("Color", {"RED", "RED"}), unionFinding(11, {"RED"})},
        {"neither name nor value", labels("Color", {"7"}), unionFinding(16, {"Color", "7"})},
    });
}

TEST(CheckerUnionsTest, EnumerationLabelsBelongToTheirUnion) {
    checkRow("enumerators of an earlier union's discriminator",
             [](Model& m) {
                 labels("Other", {"BLUE"})(m);
                 m.own().unionType("Second", "Color", {{"BLUE", caseMember("aa", "Int32", true)}});
             },
             {"CheckUnionElements", 21, "Second", 16, {"Color", "BLUE"}});
}

// One union of two cases, labels 1 and 2; the second member as given.
Build secondMember(const QMemberAgregate& second) {
    return [second](Model& m) {
        m.own().structure("Point", {member("x", "Int32")});
        m.own().unionType("Value", "Int32",
                          {{"1", caseMember("first", "Int32", true)}, {"2", second}});
    };
}

QMemberAgregate withFlags(const QString& shared, const QString& optional) {
    QMemberAgregate m = caseMember("other", "Int32");
    m.m_shared = shared;
    m.m_optional = optional;
    return m;
}

TEST(CheckerUnionsTest, CaseMembers) {
    checkRows({
        {"two letters", secondMember(caseMember("ab", "Int32")), PASSES},
        {"one letter", secondMember(caseMember("x", "Int32")), unionFinding(9, {"x"})},
        {"keyword", secondMember(caseMember("class", "Int32")), unionFinding(9, {"class"})},
        // The name becomes a field and accessors of the generated class.
        {"scope", secondMember(caseMember("a::b", "Int32")), unionFinding(9, {"a::b"})},
        {"the discriminator's accessor", secondMember(caseMember("_d", "Int32")),
         unionFinding(9, {"_d"})},
        {"named like a model type", secondMember(caseMember("Point", "Int32")),
         unionFinding(42, {"Point"})},
        // As for a structure: the class's own name, before the wider model-type rule.
        {"named like its union", secondMember(caseMember("Value", "Int32")),
         unionFinding(9, {"Value"})},
        {"named like a primitive", secondMember(caseMember("Int32", "Int32")), PASSES},
        {"unknown type", secondMember(caseMember("other", "Nothing")),
         unionFinding(13, {"Nothing"})},
        {"structure type", secondMember(caseMember("other", "Point")), PASSES},
        {"same member, other type", secondMember(caseMember("first", "Int64")),
         unionFinding(35, {"first"})},
        {"same member, same type", secondMember(caseMember("first", "Int32")),
         unionFinding(41, {"first"})},
        {"shared empty", secondMember(withFlags("", "false")), unionFinding(14, {"other", ""})},
        {"optional empty", secondMember(withFlags("true", "")), unionFinding(14, {"other", ""})},
        {"shared before optional", secondMember(withFlags("x", "y")),
         unionFinding(14, {"other", "x"})},
    });
}

TEST(CheckerUnionsTest, DefaultCase) {
    checkRows({
        {"none",
         [](Model& m) {
             m.own().unionType("Value", "Int32", {{"1", caseMember("aa", "Int32")}});
         },
         unionFinding(34)},
        {"two",
         [](Model& m) {
             m.own().unionType(
                 "Value", "Int32",
                 {{"1", caseMember("aa", "Int32", true)}, {"2", caseMember("bb", "Int32", true)}});
         },
         unionFinding(34)},
        {"default text other than true",
         [](Model& m) {
             QMemberAgregate second = caseMember("bb", "Int32");
             second.m_default = "TRUE";
             m.own().unionType("Value", "Int32",
                               {{"1", caseMember("aa", "Int32", true)}, {"2", second}});
         },
         PASSES},
    });
}

TEST(CheckerUnionsTest, FaultsAreReportedInStepOrder) {
    checkRows({
        {"labels before members",
         [](Model& m) {
             m.own().unionType(
                 "Value", "Int32",
                 {{"1", caseMember("x", "Int32", true)}, {"y", caseMember("bb", "Int32")}});
         },
         unionFinding(17, {"Int32", "y"})},
        {"members before the default count",
         [](Model& m) {
             m.own().unionType("Value", "Int32", {{"1", caseMember("x", "Int32")}});
         },
         unionFinding(9, {"x"})},
        {"an earlier union first",
         [](Model& m) {
             m.own().unionType("Value", "Int32", {{"1", caseMember("aa", "Int32")}});
             m.own().unionType("Later", "Int32", {{"x", caseMember("aa", "Int32", true)}});
         },
         unionFinding(34)},
    });
}

}  // namespace
