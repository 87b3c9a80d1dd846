// Key lines of the structure and union classes the model compiler writes: column padding,
// inline against out-of-line operators, default-constructor statements, topic glue and the
// order of union cases.
#include "ModelFiles.h"

#include "precompiler/frontend/AnyType.h"
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "ZetException.h"

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string member(const char* name, const char* type, const char* definition = "",
                   bool isDefault = false, bool key = false) {
    return std::string("<memberAgregate><name>") + name + "</name><type>" + type + "</type><key>" +
           (key ? "true" : "false") + "</key><shared>false</shared><optional>false</optional>" +
           "<default>" + (isDefault ? "true" : "false") + "</default><definition>" + definition +
           "</definition></memberAgregate>";
}

std::string structure(const char* name, const std::string& members) {
    return std::string("<structure><name>") + name + "</name>" + members +
           "<definition></definition></structure>\n";
}

std::string unionCase(const char* label, const std::string& member) {
    return std::string("<mapUnion><valueDiscriminant>") + label + "</valueDiscriminant>" + member +
           "</mapUnion>";
}

std::string unionOf(const char* name, const std::string& cases) {
    return std::string("<union><nameUnion>") + name +
           "</nameUnion><typeDiscriminant>Int32</typeDiscriminant><key>false</key>" + cases +
           "<definition></definition></union>\n";
}

std::string array(const char* name, const char* type) {
    return std::string("<array><name>") + name + "</name><type>" + type +
           "</type><bounds>2 3</bounds><shared>false</shared><key>false</key>"
           "<definition></definition></array>\n";
}

std::string topic(const char* name, const char* key) {
    return std::string("<topicDataType><structName>") + name + "</structName><keys>" +
           (*key != '\0' ? std::string("<key>") + key + "</key>" : std::string()) +
           "</keys><definition></definition></topicDataType>\n";
}

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The text of a class, from its head to its closing line.
std::string classText(const std::string& file, const std::string& name) {
    const std::size_t start = file.find("  class " + name + " {\n");
    if (start == std::string::npos) {
        return std::string();
    }
    const std::size_t end = file.find("\n  };\n", start);
    return file.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ClassTextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        const std::string body =
            "<constructedtypes>\n"
            "<enumeration><name>Color</name><key>false</key><extensibility>final</extensibility>"
            "<type>Int32</type><enumerator><name>RED</name><value>1</value><definition>"
            "</definition></enumerator><definition></definition></enumeration>\n" +
            array("Grid", "Float64") + array("Flags", "Boolean") +
            structure("Point", member("x", "Int32", "поле x") + member("y", "Int32")) +
            structure("Shape", member("grid", "Grid", "сетка") + member("flags", "Flags") +
                                   member("color", "Color") +
                                   member("label", "String8", "метка */ x")) +
            structure("Tp", member("id", "Int32", "", false, true)) +
            structure("Tk", member("id", "Int32")) +
            unionOf("Pick", unionCase("1", member("aa", "Int32")) +
                                unionCase("2", member("bb", "Float64", "", true))) +
            unionOf("Solo", unionCase("5", member("solo", "Int32", "", true))) +
            unionOf("First", unionCase("1", member("first", "Int32", "", true)) +
                                 unionCase("2", member("second", "Int32"))) +
            "</constructedtypes>\n" + topic("Tp", "id") + topic("Tk", "");
        const QString model = m_files.module("m.xml", "Mm", {}, QByteArray::fromStdString(body));
        const std::string out = m_files.dir().toStdString() + "/out";
        NLX::XML_VEXA_parser parser(nullptr, nullptr, 1, "01.02.26 03:04:05 UTC");
        try {
            parser.compile(model.toStdString(), out, true);
        } catch (const NLX::ZetException& error) {
            FAIL() << error.what();
        }
        m_header = read(out + "/m_DDS/include/m.h");
        m_source = read(out + "/m_DDS/src/m.cpp");
    }
    void TearDown() override { AnyType::m_mapNameAnyTypePtr.clear(); }

    ModelFiles m_files;
    std::string m_header;
    std::string m_source;
};

TEST_F(ClassTextsTest, AllPrimitiveStructureIsInlineWithPaddedColumns) {
    const std::string point = classText(m_header, "Point");
    ASSERT_FALSE(point.empty()) << m_header;
    // No verbatim block: nothing after the brief tag.
    EXPECT_TRUE(
        contains(m_header, "  * @class Mm::Point\n  * @brief \n  * @author AUTOGENERATE\n"));
    EXPECT_TRUE(contains(point,
                         "      explicit Point(\n        int32_t x,\n        int32_t y) :\n"
                         "          m_x(x),\n          m_y(y) {}\n  \n"));
    EXPECT_TRUE(
        contains(point, "      inline Point (Point const & other) {\n        m_x = other.m_x;\n"));
    EXPECT_TRUE(contains(point, "      inline Point& operator = (Point && other) {\n"));
    EXPECT_TRUE(contains(point,
                         "          return\n            m_x == other.m_x &&\n"
                         "            m_y == other.m_y;\n"));
    EXPECT_TRUE(contains(point, "      int32_t m_x; /**< поле x */\n      int32_t m_y;\n"));
    EXPECT_FALSE(contains(m_source, "Point::"));
}

TEST_F(ClassTextsTest, ComplexMembersMoveOperatorsOutOfLine) {
    const std::string shape = classText(m_header, "Shape");
    ASSERT_FALSE(shape.empty());
    EXPECT_TRUE(contains(shape, "        memset(m_grid.data(),0,48);\n"));
    EXPECT_TRUE(contains(shape,
                         "        for (auto &i0 : m_flags) {\n          for (auto &i1 : i0) {\n"
                         "            i1 = false;\n          }\n        }\n"));
    EXPECT_TRUE(contains(shape, "        m_color = Mm::Color::RED;\n"));
    EXPECT_TRUE(contains(shape, "        Grid const &        grid,\n"));
    EXPECT_TRUE(contains(shape, "        Color               color,\n"));
    EXPECT_TRUE(contains(shape, "      Shape& operator = (Shape const & other);\n"));
    EXPECT_TRUE(contains(shape, "      Grid        m_grid;  /**< сетка */\n"));
    EXPECT_TRUE(contains(shape, "      Flags       m_flags;\n"));
    EXPECT_TRUE(contains(shape, "      std::string m_label; /**< метка * / x */\n"));
    EXPECT_TRUE(contains(m_source, "  Shape& Shape::operator =(Shape const & other) {\n"));
    EXPECT_TRUE(contains(m_source, "  Shape& Shape::operator = (Shape && other) {\n"));
    EXPECT_TRUE(contains(m_source, "  bool Shape::operator != (const Shape& other) const {\n"));
}

TEST_F(ClassTextsTest, TopicsGetTheirTemplatesAndTypeName) {
    EXPECT_TRUE(contains(m_source, "  const char* Tp::nameOfType = \"Mm::Tp\";\n"));
    EXPECT_TRUE(contains(m_source, "  const char* Tk::nameOfType = \"Mm::Tk\";\n"));
    EXPECT_TRUE(contains(
        m_source, "  Tp::Tp(const void* from_buf, unsigned lenbuf, bool key_only) : Tp() {\n"));
    EXPECT_TRUE(
        contains(classText(m_header, "Tp"), "      static bool hasKey() { return true;}\n"));
    EXPECT_TRUE(
        contains(classText(m_header, "Tk"), "      static bool hasKey() { return false;}\n"));
    EXPECT_FALSE(contains(classText(m_header, "Point"), "nameOfType"));
}

TEST_F(ClassTextsTest, UnionColumnsAndCaseOrder) {
    const std::string pick = classText(m_header, "Pick");
    ASSERT_FALSE(pick.empty());
    EXPECT_TRUE(contains(pick, "      int32_t m_d; /**< Дискриминант */\n"));
    EXPECT_TRUE(contains(pick, "        int32_t m_aa;\n        double  m_bb;\n      } m_Pick;\n"));
    EXPECT_TRUE(contains(pick, "      Pick() : m_d(0), m_Pick(), m_d_set(false) {};\n"));

    // A single case is also the default: no break anywhere.
    const std::string solo = classText(m_header, "Solo");
    ASSERT_FALSE(solo.empty());
    EXPECT_FALSE(contains(solo, "break;"));
    EXPECT_EQ(count(solo, "case 5:\n"), 5u);
    EXPECT_EQ(count(solo, "default :\n"), 5u);

    // The default case is first in case order and last in every switch.
    const std::string first = classText(m_header, "First");
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(count(first, "default :\n"), 5u);
    std::size_t from = 0;
    for (int i = 0; i < 5; ++i) {
        const std::size_t two = first.find("case 2:\n", from);
        const std::size_t one = first.find("case 1:\n", from);
        ASSERT_NE(two, std::string::npos);
        ASSERT_NE(one, std::string::npos);
        EXPECT_LT(two, one);
        const std::size_t next = first.find_first_not_of(' ', first.find('\n', one) + 1);
        EXPECT_EQ(first.compare(next, 10, "default :\n"), 0);
        from = one + 1;
    }
}

}  // namespace
