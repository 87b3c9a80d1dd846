// The small text tools of the type-code generator: template tables, model names, comments,
// placeholders, integer literals and the name check.
#include "precompiler/typegen/CommentText.h"
#include "precompiler/typegen/IntegerLiteral.h"
#include "precompiler/typegen/NameCheck.h"
#include "precompiler/typegen/Placeholders.h"
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "Indent.h"
#include "Msg.h"
#include "ResourceDDS.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

class IndentGuard {
public:
    explicit IndentGuard(unsigned width) { NLX::Indent::m_uiIndent = width; }
    ~IndentGuard() { NLX::Indent::m_uiIndent = 0; }
};

TEST(TypeGenTexts, GetStrRanges) {
    ResourceDDS table;
    const std::string line0 = "/******************************************************";
    const std::string line1 = " * Предварительное объявление классов и их алиасов";
    const std::string line2 = " ******************************************************/";
    struct Row {
        unsigned indent;
        unsigned from;
        int to;
        std::string expected;
    };
    const std::string in = "    ";
    const Row rows[] = {
        {4, 0, -1, in + line0 + "\n" + in + line1 + "\n" + in + line2},
        {0, 0, -1, line0 + "\n" + line1 + "\n" + line2},
        {2, 1, 1, "  " + line1},
        {0, 1, 2, line1 + "\n" + line2},
        {0, 1, 7, line1 + "\n" + line2},  // beyond the last line: to the last
        {0, 2, 0, line2},                 // below from: to the last
        {0, 3, -1, ""},                   // from at the end: nothing
        {0, 9, 1, ""},
    };
    for (const Row& row : rows) {
        IndentGuard indent(row.indent);
        EXPECT_EQ(table.getStr(ResourceDDS::res::T1, row.from, row.to), row.expected)
            << row.indent << " " << row.from << ".." << row.to;
    }
}

TEST(TypeGenTexts, TemplatesKeepTheirExactLines) {
    ResourceDDS table;
    const auto head = table.get(ResourceDDS::res::T0);
    ASSERT_EQ(head.size(), 9u);
    EXPECT_EQ(head[3], " * Имя файла:  name");
    EXPECT_EQ(table.get(ResourceDDS::res::T32).at(4), "    ::MODULE::TOPIC, ");
    EXPECT_EQ(table.get(ResourceDDS::res::T6).size(), 88u);
    EXPECT_EQ(table.get(ResourceDDS::res::T6).at(6),
              "* @param key_only \\li если true  - буфер содержит только упакованные ключи");
    EXPECT_EQ(table.get(ResourceDDS::res::T25).size(), 89u);
    EXPECT_EQ(table.get(ResourceDDS::res::T25).at(16), "  vexa::dds::KeyHash_t ret{};");
    EXPECT_EQ(table.get(ResourceDDS::res::T25).at(85), "* @brief Ничего не делает. ");
    EXPECT_EQ(table.get(ResourceDDS::res::T30).at(1),
              "TOPIC::TOPIC(const void* from_buf, unsigned lenbuf, bool key_only) : TOPIC() {");
    // Filling the table again changes nothing.
    ResourceDDS::set();
    EXPECT_EQ(table.get(ResourceDDS::res::T0), head);

    Msg texts;
    EXPECT_EQ(texts.getStr(Msg::res::T2, 0, -1), "Объединение не установлено");
    EXPECT_EQ(texts.getStr(Msg::res::T4, 0, -1), "Выбранный атрибут в объединении не активен");
}

TEST(TypeGenTexts, ModelNameOfAPath) {
    const std::pair<const char*, const char*> rows[] = {
        {"dir/Sensors.xml", "Sensors"},
        {"a\\b.xml", "b"},
        {"a.b.xml", "a.b"},
        {"model", "model"},
        {".xml", ""},
        {"d.x/model", "model"},
        {"/abs/d.x/m.y.xml", "m.y"},
        {"c:\\m\\n\\Air_Track.xml", "Air_Track"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(NLX::XML_VEXA_parser::getFileName(row.first), row.second) << row.first;
    }
}

TEST(TypeGenTexts, CommentLines) {
    struct Row {
        const char* text;
        unsigned level;
        const char* expected;
    };
    const Row rows[] = {
        {"", 0, "* @brief \n"},
        {"a\nb", 1, "  * @brief a\n  *        b\n"},
        {"a\n", 0, "* @brief a\n*        \n"},
        {"ends */ here /* again", 0, "* @brief ends * / here / * again\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NLX::XML_VEXA_parser::AddComment(row.text, row.level), row.expected) << row.text;
    }
    EXPECT_EQ(NLX::commentText("*/"), "* /");
    EXPECT_EQ(NLX::commentText("/*/"), "/ * /");
    EXPECT_EQ(NLX::commentText("a/b*c"), "a/b*c");
}

TEST(TypeGenTexts, PlaceholdersInOnePass) {
    const NLX::Placeholders values = {{"MODULE", "MYTOPICS"}, {"TOPIC", "T"}};
    EXPECT_EQ(NLX::substitute("< ::MODULE::TOPIC > TOPICDataReader;", values),
              "< ::MYTOPICS::T > TDataReader;");
    // A value holding a placeholder word is not searched again.
    EXPECT_EQ(NLX::substitute("TOPIC", {{"TOPIC", "ATOPIC"}}), "ATOPIC");
    EXPECT_EQ(NLX::substitute("", values), "");
}

TEST(TypeGenTexts, IntegerLiterals) {
    const std::int64_t min64 = std::numeric_limits<std::int64_t>::min();
    struct Row {
        std::int64_t value;
        TypeKind kind;
        bool fits;
        const char* literal;
    };
    const Row rows[] = {
        {-32768, INT_16_TYPE, true, "-32768"},
        {32768, INT_16_TYPE, false, "32768"},
        {65535, UINT_16_TYPE, true, "65535"},
        {-1, UINT_16_TYPE, false, "-1"},
        {-2147483648LL, INT_32_TYPE, true, "-2147483648"},
        {2147483648LL, INT_32_TYPE, false, "2147483648"},
        {4294967295LL, UINT_32_TYPE, true, "4294967295"},
        {4294967296LL, UINT_32_TYPE, false, "4294967296"},
        {min64, INT_64_TYPE, true, "(-9223372036854775807LL - 1)"},
        {-1, UINT_64_TYPE, true, "18446744073709551615ULL"},
        {min64, UINT_64_TYPE, true, "9223372036854775808ULL"},
        {9223372036854775807LL, UINT_64_TYPE, true, "9223372036854775807"},
        {256, BYTE_TYPE, false, "256"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NLX::fitsIntegerKind(row.value, row.kind), row.fits) << row.value;
        EXPECT_EQ(NLX::integerLiteral(row.value, row.kind), row.literal) << row.value;
    }
}

TEST(TypeGenTexts, NameCheck) {
    const char* const good[] = {"Point", "_x", "a1", "Pack", "unpacked", "Int32"};
    for (const char* name : good) {
        EXPECT_EQ(NLX::nameFault(name), "") << name;
    }
    const char* const bad[] = {"",          "1a",      "a-b",     "a b",  "Точка",
                               "class",     "and",     "concept", "pack", "unpackCH",
                               "getKeyPos", "int32_t", "std",     "vexa", "next"};
    for (const char* name : bad) {
        EXPECT_NE(NLX::nameFault(name), "") << name;
    }
    EXPECT_NE(NLX::nameFault("TDataReader", {"TDataReader"}), "");
    EXPECT_EQ(NLX::namespaceFault("Geo::Inner"), "");
    for (const char* name : {"", "Geo::", "::Geo", "Geo:Inner", "Geo::class", "std"}) {
        EXPECT_NE(NLX::namespaceFault(name), "") << name;
    }
}

}  // namespace
