// The checker's rules for enumerators and bit elements.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect enumFinding(int code, const QStringList& values) {
    return {"CheckEnumElements", 14, "Mode", code, values};
}

Build enumeration(const QString& base, std::initializer_list<NameValue> enumerators) {
    const QList<NameValue> list(enumerators);
    return [base, list](Model& m) {
        Enumeration e;
        e.m_name = "Mode";
        e.m_type = base;
        e.m_key = "false";
        e.m_extensibility = "final";
        for (const NameValue& nv : list) {
            Enumerator enumerator;
            enumerator.m_name = nv.first;
            enumerator.m_value = nv.second;
            e.m_enumerators.append(enumerator);
        }
        m.main.m_enumerations.append(e);
    };
}

TEST(CheckerElementsTest, EnumeratorNamesAndValues) {
    checkRows({
        {"keyword", enumeration("Int32", {{"class", "0"}}), enumFinding(9, {"class"})},
        {"keyword int", enumeration("Int32", {{"int", "0"}}), enumFinding(9, {"int"})},
        {"keyword prefix", enumeration("Int32", {{"classic", "0"}}), PASSES},
        {"underscore letter digit", enumeration("Int32", {{"_a1", "0"}}), PASSES},
        {"one letter", enumeration("Int32", {{"A", "0"}}), PASSES},
        {"leading digit", enumeration("Int32", {{"1a", "0"}}), enumFinding(9, {"1a"})},
        {"name before value", enumeration("Int32", {{"1a", "x"}}), enumFinding(9, {"1a"})},
        {"value no number", enumeration("Int32", {{"A", "x"}}), enumFinding(10, {"x"})},
        {"value with plus", enumeration("Int32", {{"A", "+1"}}), enumFinding(10, {"+1"})},
        {"name twice", enumeration("Int32", {{"A", "0"}, {"A", "1"}}), enumFinding(11, {"A"})},
        {"values 1 and 01", enumeration("Int32", {{"A", "1"}, {"B", "01"}}), PASSES},
        {"value twice", enumeration("Int32", {{"A", "1"}, {"B", "1"}}), enumFinding(12, {"1"})},
    });
}

TEST(CheckerElementsTest, EnumeratorRanges) {
    checkRows({
        {"Int16 ends", enumeration("Int16", {{"A", "-32768"}, {"B", "32767"}}), PASSES},
        {"Int16 above", enumeration("Int16", {{"A", "32768"}}), enumFinding(31, {"32767"})},
        {"Int16 below", enumeration("Int16", {{"A", "-32769"}}), enumFinding(30, {"-32768"})},
        {"below before above", enumeration("Int16", {{"A", "32768"}, {"B", "-32769"}}),
         enumFinding(30, {"-32768"})},
        {"Int32 lowest", enumeration("Int32", {{"A", "-2147483648"}}), PASSES},
        {"Int32 above", enumeration("Int32", {{"A", "2147483648"}}),
         enumFinding(31, {"2147483647"})},
        {"UInt16 -1", enumeration("UInt16", {{"A", "-1"}}), enumFinding(30, {"0"})},
        {"UInt16 -0", enumeration("UInt16", {{"A", "-0"}}), PASSES},
        {"UInt32 highest", enumeration("UInt32", {{"A", "4294967295"}}), PASSES},
        {"UInt32 above", enumeration("UInt32", {{"A", "4294967296"}}),
         enumFinding(31, {"4294967295"})},
        // Values beyond 64 bits are refused, not read as 0.
        {"Int16 beyond 64 bits", enumeration("Int16", {{"A", "99999999999999999999"}}),
         enumFinding(31, {"32767"})},
        {"Int64 beyond 32 bits", enumeration("Int64", {{"A", "-5000000000"}, {"B", "5000000000"}}),
         PASSES},
        {"Int64 ends",
         enumeration("Int64", {{"A", "-9223372036854775808"}, {"B", "9223372036854775807"}}),
         PASSES},
        {"Int64 above", enumeration("Int64", {{"A", "9223372036854775808"}}),
         enumFinding(31, {"9223372036854775807"})},
        {"Int64 below", enumeration("Int64", {{"A", "-9223372036854775809"}}),
         enumFinding(30, {"-9223372036854775808"})},
        {"UInt64 highest", enumeration("UInt64", {{"A", "18446744073709551615"}}), PASSES},
        {"UInt64 above", enumeration("UInt64", {{"A", "18446744073709551616"}}),
         enumFinding(31, {"18446744073709551615"})},
        {"UInt64 -1", enumeration("UInt64", {{"A", "-1"}}), enumFinding(30, {"0"})},
    });
}

TEST(CheckerElementsTest, EveryEnumeratorIsJudgedBeforeTheRange) {
    checkRows(
        {{"range fault first, name fault later",
          enumeration("Int16", {{"A", "40000"}, {"class", "1"}}), enumFinding(9, {"class"})}});
}

TEST(CheckerElementsTest, EnumeratorCountOfSixteenBitBases) {
    Model model;
    Enumeration e;
    e.m_name = "Big";
    e.m_type = "UInt16";
    e.m_key = "false";
    e.m_extensibility = "final";
    for (int i = 0; i < 65536; ++i) {
        Enumerator enumerator;
        enumerator.m_name = QStringLiteral("E%1").arg(i);
        enumerator.m_value = QString::number(i);
        e.m_enumerators.append(enumerator);
    }
    model.main.m_enumerations.append(e);
    const Outcome refused = model.check();
    EXPECT_EQ(refused.text, expectedText({"CheckEnumElements", 14, "Big", 29, {"65536", "65535"}}));

    model.main.m_enumerations[0].m_enumerators.removeLast();
    model.main.m_primitives.clear();
    EXPECT_FALSE(model.check().refused);
}

// Every C++ word a generated name cannot be; the whole name must be the word.
TEST(CheckerElementsTest, ReservedWordsAreWholeNames) {
    const char* const words[] = {
        "and",       "and_eq",   "asm",          "auto",     "bitand",        "bitor",
        "bool",      "break",    "case",         "catch",    "char",          "class",
        "compl",     "const",    "const_cast",   "continue", "default",       "delete",
        "do",        "double",   "dynamic_cast", "else",     "enum",          "explicit",
        "export",    "extern",   "false",        "float",    "for",           "friend",
        "goto",      "if",       "inline",       "int",      "long",          "mutable",
        "namespace", "new",      "not",          "not_eq",   "operator",      "or",
        "or_eq",     "private",  "protected",    "public",   "register",      "reinterpret_cast",
        "return",    "short",    "signed",       "sizeof",   "static",        "static_cast",
        "struct",    "switch",   "template",     "this",     "throw",         "true",
        "try",       "typedef",  "typeid",       "typename", "union",         "unsigned",
        "using",     "virtual",  "void",         "volatile", "wchar_t",       "while",
        "xor",       "xor_eq",   "alignas",      "alignof",  "char16_t",      "char32_t",
        "constexpr", "decltype", "noexcept",     "nullptr",  "static_assert", "thread_local",
        "override",  "final"};
    ASSERT_EQ(sizeof words / sizeof words[0], 86u);
    for (const char* word : words) {
        checkRow(word, enumeration("Int32", {{word, "0"}}), enumFinding(9, {word}));
        const QString longer = QString(word) + "x";
        checkRow(word, enumeration("Int32", {{longer, "0"}}), PASSES);
        const QString shorter = QString(word).chopped(1);
        checkRow(word, enumeration("Int32", {{shorter, "0"}}), PASSES);
    }
}

Expect bitFinding(int code, const QString& element) {
    return {"CheckBitSetElements", 19, "Flags", code, {element}};
}

Build bits(std::initializer_list<NameValue> elements) {
    const QList<NameValue> list(elements);
    return [list](Model& m) {
        BitSet b;
        b.m_name = "Flags";
        b.m_bound = "16";
        for (const NameValue& nv : list) {
            BitElement element;
            element.m_name = nv.first;
            element.m_flush = nv.second;
            b.m_bitElements.append(element);
        }
        m.main.m_bitSets.append(b);
    };
}

TEST(CheckerElementsTest, BitElements) {
    checkRows({
        {"sound", bits({{"ready", "0"}, {"error", "1"}}), PASSES},
        {"one letter", bits({{"a", "0"}}), PASSES},
        {"not an identifier", bits({{"1a", "0"}}), bitFinding(9, "1a")},
        {"name twice", bits({{"a", "0"}, {"a", "1"}}), bitFinding(11, "a")},
        {"shift twice", bits({{"a", "3"}, {"b", "3"}}), bitFinding(26, "b")},
        {"shifts 3 and 03", bits({{"a", "3"}, {"b", "03"}}), PASSES},
        // Each element becomes a setter and a getter of a class derived from std::bitset.
        {"keyword", bits({{"class", "0"}}), bitFinding(9, "class")},
        {"keyword int", bits({{"int", "0"}}), bitFinding(9, "int")},
        {"keyword delete", bits({{"delete", "0"}}), bitFinding(9, "delete")},
        {"the class's all()", bits({{"all", "0"}}), bitFinding(9, "all")},
        {"the class's base type", bits({{"MaskType", "0"}}), bitFinding(9, "MaskType")},
        {"the class's own name", bits({{"Flags", "0"}}), bitFinding(9, "Flags")},
        {"a conversion pack code calls", bits({{"to_ulong", "0"}}), bitFinding(9, "to_ulong")},
        {"the other conversion", bits({{"to_ullong", "0"}}), bitFinding(9, "to_ullong")},
        {"set and test stay", bits({{"set", "0"}, {"test", "1"}}), PASSES},
    });
}

}  // namespace
