// The one label function of the union class and the union pack code: the C++ text of every
// label a discriminator admits, and the refusal of every other.
#include "TypeModelBuilder.h"

#include "precompiler/typegen/CaseLabels.h"

#include "ZetException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class CaseLabelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Enumeration& color = m_types.enumeration("M", "Color", INT_32_TYPE);
        color.m_enumerators = {{"RED", 0, ""}, {"GREEN", 1, ""}, {"CRIMSON", 0, ""}};
        Enumeration& level = m_types.enumeration("O", "Level", UINT_64_TYPE);
        level.m_enumerators = {{"LOW", 0, ""}, {"TOP", -1, ""}};  // TOP is 2^64 - 1
        m_types.alias("M", "ColorAlias", "Color");
        m_types.alias("M", "ColorAliasAlias", "ColorAlias");
        m_types.alias("M", "Wide", "Int32");
        m_types.structure("M", "Point", {{"x", "Int32"}});
    }

    // The label's text for a union of that discriminator, generated in module; the refusal's
    // text when it is refused.
    std::string text(const std::string& discriminator, const std::string& label,
                     const std::string& module = "M") {
        Union& u = m_types.unionType("M", "U" + std::to_string(m_count++), discriminator,
                                     {{label, "Int32"}});
        try {
            u.set();
            return NLX::caseLabel(u, label, module, nullptr);
        } catch (const NLX::ZetException& error) {
            return std::string("refused: ") + error.what();
        }
    }

    TypeModelBuilder m_types;
    int m_count = 0;
};

TEST_F(CaseLabelsTest, EveryDiscriminatorClass) {
    struct Row {
        const char* discriminator;
        std::string label;
        std::string expected;  // empty: refused
    };
    const Row rows[] = {
        {"Boolean", "true", "true"},
        {"Boolean", "false", "false"},
        {"Boolean", "TRUE", ""},
        {"Boolean", "1", ""},
        {"Byte", "0", "0"},
        {"Byte", "255", "255"},
        {"Byte", "08", "8"},  // decimal, not an octal constant
        {"Byte", "-0", "0"},
        {"Byte", "300", ""},
        {"Byte", "-1", ""},
        {"Byte", "+1", ""},
        {"Byte", "", ""},
        {"Byte", "-", ""},
        {"Byte", "1.5", ""},
        {"Byte", "0x10", ""},
        {"Int16", "-32768", "-32768"},
        {"Int16", "32768", ""},
        {"UInt16", "65535", "65535"},
        {"UInt16", "65536", ""},
        {"Int32", "-2147483648", "-2147483648"},
        {"Int32", "2147483648", ""},
        {"UInt32", "4294967295", "4294967295"},
        {"UInt32", "4294967296", ""},
        {"Int64", "-9223372036854775808", "(-9223372036854775807LL - 1)"},
        {"Int64", "9223372036854775807", "9223372036854775807"},
        {"Int64", "9223372036854775808", ""},
        {"Int64", "-9223372036854775809", ""},
        {"UInt64", "0001", "1"},
        {"UInt64", "9223372036854775808", "9223372036854775808ULL"},
        {"UInt64", "18446744073709551615", "18446744073709551615ULL"},
        {"UInt64", "18446744073709551616", ""},
        {"UInt64", "99999999999999999999999", ""},
        {"UInt64", "-1", ""},
        {"Char8", "a", "'a'"},
        {"Char8", "'", "'\\''"},
        {"Char8", "\\", "'\\\\'"},
        {"Char8", "ab", ""},
        {"Char8", "\xd1\x8f", ""},  // я: two bytes
        {"Char8", "\t", ""},
        {"Char8", "", ""},
        {"Char32", "a", "L'a'"},
        {"Char32", "\xd1\x8f", "L'\xd1\x8f'"},
        {"Char32", "\xf0\x9f\x98\x80", "L'\xf0\x9f\x98\x80'"},
        {"Char32", "'", "L'\\''"},
        {"Char32", "ab", ""},
        {"Char32", "\x7f", ""},
        {"Char32", "\xff", ""},          // no UTF-8
        {"Char32", "\xd1", ""},          // cut short
        {"Char32", "\xc0\xaf", ""},      // overlong
        {"Char32", "\xed\xa0\x80", ""},  // a surrogate
        {"M::Color", "RED", "Color::RED"},
        {"M::Color", "CRIMSON", "Color::CRIMSON"},
        {"M::Color", "0", "Color::RED"},  // the first enumerator of the value
        {"M::Color", "01", "Color::GREEN"},
        {"M::Color", "PURPLE", ""},
        {"M::Color", "5", ""},
        {"O::Level", "LOW", "O::Level::LOW"},
        {"O::Level", "18446744073709551615", "O::Level::TOP"},
        {"O::Level", "-1", ""},
        {"M::ColorAlias", "GREEN", "Color::GREEN"},
        {"M::ColorAliasAlias", "1", "Color::GREEN"},
        {"M::Wide", "7", "7"},
        {"Float64", "1", ""},
        {"String8", "1", ""},
        {"M::Point", "1", ""},
    };
    for (const Row& row : rows) {
        const std::string result = text(row.discriminator, row.label);
        if (row.expected.empty()) {
            EXPECT_EQ(result.rfind("refused: Модуль M, объединение M::U", 0), 0u)
                << row.discriminator << " " << row.label << ": " << result;
            EXPECT_NE(result.find(row.discriminator), std::string::npos) << result;
        } else {
            EXPECT_EQ(result, row.expected) << row.discriminator << " " << row.label;
        }
    }
}

TEST_F(CaseLabelsTest, EnumeratorsAreSpelledFromTheGeneratingModule) {
    EXPECT_EQ(text("M::Color", "RED", "O"), "M::Color::RED");
    EXPECT_EQ(text("M::ColorAlias", "0", "O"), "M::Color::RED");
    EXPECT_EQ(text("O::Level", "TOP", "O"), "Level::TOP");
}

TEST_F(CaseLabelsTest, RefusalsNameTheUnionAndTheLabel) {
    EXPECT_EQ(text("Byte", "300"),
              "refused: Модуль M, объединение M::U0: метка \"300\" не является значением типа "
              "дискриминанта Byte");
    EXPECT_EQ(text("Float64", "1"),
              "refused: Модуль M, объединение M::U1: тип дискриминанта Float64 не Boolean, не "
              "Byte, не целый, не Char8, не Char32 и не перечисление");
}

TEST_F(CaseLabelsTest, AllLabelsInCaseOrderAndNoValueTwice) {
    Union& ordered = m_types.unionType("M", "Ordered", "Int32",
                                       {{"10", "Int32"}, {"2", "Int32"}, {"-1", "Int32"}});
    ordered.set();
    EXPECT_EQ(NLX::caseLabels(ordered, "M", nullptr), (std::vector<std::string>{"-1", "10", "2"}));

    const std::pair<const char*, std::vector<std::pair<std::string, std::string>>> twice[] = {
        {"Int32", {{"1", "Int32"}, {"01", "Int32"}}},
        {"M::Color", {{"RED", "Int32"}, {"0", "Int32"}}},
        {"M::Color", {{"RED", "Int32"}, {"CRIMSON", "Float64"}, {"00", "Int32"}}},
    };
    int n = 0;
    for (const auto& row : twice) {
        Union& u = m_types.unionType("M", "Twice" + std::to_string(n++), row.first, row.second);
        u.set();
        try {
            NLX::caseLabels(u, "M", nullptr);
            ADD_FAILURE() << row.first << ": two labels of one value passed";
        } catch (const NLX::ZetException& error) {
            const std::string what = error.what();
            EXPECT_NE(what.find("Модуль M, объединение " + u.m_qualifiedName + ": метки \""),
                      std::string::npos)
                << what;
            EXPECT_NE(what.find("обозначают одно значение"), std::string::npos) << what;
        }
    }
}

TEST_F(CaseLabelsTest, ABooleanDiscriminatorIsSwitchedOnAsInt) {
    Union& flag = m_types.unionType("M", "Flag", "Boolean", {{"true", "Int32"}});
    Union& number = m_types.unionType("M", "Number", "M::Wide", {{"1", "Int32"}});
    flag.set();
    number.set();
    EXPECT_EQ(NLX::switchSubject(flag, "m_d"), "static_cast<int>(m_d)");
    EXPECT_EQ(NLX::switchSubject(number, "m_d"), "m_d");
}

}  // namespace
