#include "common/nlx/Resource.h"

#include "Indent.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const std::string kEnd = NLX::Resource::m_endOfvector;

void writeFile(const std::string& name, const std::string& text) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << text;
}

TEST(Resource, TextsToLists) {
    struct Case {
        const char* what;
        std::string text;
        std::string name;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {"CRLF and a CR inside a line",
         "RESOURCE_NAME_LIST = 1\r\nA\r\nA = 2\r\nx\ry\r\nz\r\n",
         "A",
         {"xy", "z"}},
        {"count 3 with five lines",
         "RESOURCE_NAME_LIST = 1\nA\nA = 3\n1\n2\n3\n4\n5\n",
         "A",
         {"1", "2", "3"}},
        {"count 3 cut by the marker",
         "RESOURCE_NAME_LIST = 1\nA\nA = 3\none\n" + kEnd + "\nx\n",
         "A",
         {"one"}},
        {"count 0 takes the default",
         "RESOURCE_NAME_LIST = 1\nA\nA = 0\n1\n2\n" + kEnd + "\n",
         "A",
         {"1", "2"}},
        {"count -1 is empty", "RESOURCE_NAME_LIST = 2\nA\nB\nA = -1\nB = 1\nb\n", "A", {}},
        {"a list after an empty one",
         "RESOURCE_NAME_LIST = 2\nA\nB\nA = -1\nB = 1\nb\n",
         "B",
         {"b"}},
        {"AB is not ABC",
         "RESOURCE_NAME_LIST = 1\nAB\nABC = 1\nwrong\nAB = 1\nright\n",
         "AB",
         {"right"}},
        {"a name in the middle of a line is no definition",
         "RESOURCE_NAME_LIST = 1\nAB\nx AB = 1\nAB= 1\nright\n",
         "AB",
         {"right"}},
        {"blanks leave listed names",
         "RESOURCE_NAME_LIST = 1\nMY NAME \nMYNAME = 1\nv\n",
         "MYNAME",
         {"v"}},
        {"elements keep their blanks",
         "RESOURCE_NAME_LIST = 1\nA\nA = 1 rest ignored\n  a b  \n",
         "A",
         {"  a b  "}},
        {"comments go, /// inside a line stays",
         "/// head\nRESOURCE_NAME_LIST = 1\n///c\nA\nA = 2\n///skip\nx ///y\nz\n",
         "A",
         {"x ///y", "z"}},
        {"the marker anywhere in an element line ends it",
         "RESOURCE_NAME_LIST = 1\nA\nA = 0\nx\nab" + kEnd + "cd\ny\n",
         "A",
         {"x"}},
        {"the name list ends only at a whole marker line",
         "RESOURCE_NAME_LIST = 0\nA\n" + kEnd + "\nA = 1\nv\n",
         "A",
         {"v"}},
        {"no final line feed", "RESOURCE_NAME_LIST = 1\nA\nA = 1\nlast", "A", {"last"}},
        // Definitions are searched from behind the list's "=" onward, counted as a position in
        // the whole text: a listed name followed by a blank is taken from the list itself.
        {"search offset counts from behind the list's =",
         "RESOURCE_NAME_LIST = 2\nA \nB\nB = 1\nbee\nA = 1\nay\n",
         "A",
         {"bee"}},
    };
    for (const Case& c : cases) {
        writeFile("case.res", c.text);
        NLX::Resource resource;
        try {
            resource.set("case.res", 100);
            EXPECT_EQ(resource.get(c.name), c.expected) << c.what;
        } catch (const NLX::ZetException& e) {
            ADD_FAILURE() << c.what << ": " << e.what();
        }
    }
}

TEST(Resource, NamesKeepTheListOrder) {
    writeFile("order.res", "RESOURCE_NAME_LIST = 4\nZ\nA\nM\nA\nA = 1\na\nM = 1\nm\nZ = 1\nz\n");
    NLX::Resource resource;
    resource.set("order.res", 10);
    EXPECT_EQ(resource.getNames(), (Lines{"Z", "A", "M"}));
}

TEST(Resource, MalformedFilesGiveClearErrors) {
    struct Case {
        const char* what;
        std::string text;
        std::function<bool(const NLX::ZetException&)> isType;
        std::string message;
    };
    auto is = [](auto* typed) {
        using T = std::remove_pointer_t<decltype(typed)>;
        return [](const NLX::ZetException& e) { return dynamic_cast<const T*>(&e) != nullptr; };
    };
    const std::vector<Case> cases = {
        {"list cut short", "RESOURCE_NAME_LIST = 1\nA\nA = 3\nx\n", is((NLX::EndOfFile*)nullptr),
         "Достигнут конец файлаA. Достигнут конец файла. Не все элементы вектора сосчитаны"},
        {"name list cut short", "RESOURCE_NAME_LIST = 2\nA\n", is((NLX::EndOfFile*)nullptr),
         "Достигнут конец файлаRESOURCE_NAME_LIST. Достигнут конец файла. Не все элементы "
         "вектора сосчитаны"},
        {"count is no number", "RESOURCE_NAME_LIST = 1\nA\nA = x\n", is((NLX::EndOfFile*)nullptr),
         "Достигнут конец файлаНе верно задан размер вектора A"},
        {"count beyond 32 bits", "RESOURCE_NAME_LIST = 1\nA\nA = 4294967296\n",
         is((NLX::EndOfFile*)nullptr), "Достигнут конец файлаНе верно задан размер вектора A"},
        {"count missing at the end", "RESOURCE_NAME_LIST = 1\nA\nA =", is((NLX::EndOfFile*)nullptr),
         "Достигнут конец файлаНе верно задан размер вектора A"},
        {"no name list", "A = 1\nx\n", is((NLX::ResourseIsNotFound*)nullptr),
         "Resource::readParam. Параметр не найден: RESOURCE_NAME_LIST"},
        {"listed name undefined", "RESOURCE_NAME_LIST = 1\nB\n",
         is((NLX::ResourseIsNotFound*)nullptr), "Resource::readParam. Параметр не найден: B"},
        {"no = after the name", "RESOURCE_NAME_LIST = 1\nA\nA \n",
         is((NLX::ResourseOutOfBounds*)nullptr),
         "Resource::readParam.Ошибка при задании значения параметру: A"},
        {"empty file", "", is((NLX::ResourseIsNotFound*)nullptr),
         "Resource::readParam. Параметр не найден: RESOURCE_NAME_LIST"},
    };
    for (const Case& c : cases) {
        writeFile("bad.res", c.text);
        NLX::Resource resource;
        try {
            resource.set("bad.res", 100);
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const NLX::ZetException& e) {
            EXPECT_TRUE(c.isType(e)) << c.what;
            EXPECT_EQ(std::string(e.what()), c.message) << c.what;
        }
    }
}

TEST(Resource, FileAndCallOrderErrors) {
    NLX::Resource resource;
    EXPECT_THROW(resource.set("missing.res", 1), NLX::FileIsNotOpen);
    ASSERT_EQ(::mkdir("adir", 0775), 0);
    EXPECT_THROW(resource.openFile("adir"), NLX::FileIsNotOpen);
    try {
        resource.readParam("A", 0ul);
        FAIL() << "no exception";
    } catch (const NLX::ObjectClassIsNotInitialized& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Resource::readParam.Ошибка. Конфигурационный файл еще не считан.\nВызов сделан "
                  "до вызова метода openFile!!!");
    }
    try {
        resource.get("A");
        FAIL() << "no exception";
    } catch (const NLX::ResourseIsNotFound& e) {
        EXPECT_EQ(std::string(e.what()), "Resourse is not found: A");
    }
    EXPECT_THROW(resource.getStr("A", 0, -1), NLX::ResourseIsNotFound);
    try {
        resource.createCPP("X", ".");
        FAIL() << "no exception";
    } catch (const NLX::ZetException& e) {
        EXPECT_EQ(std::string(e.what()), "Метод set еще не выполнен или выполнен с ошибкой!!!");
    }
}

TEST(Resource, TooLargeFileIsRefused) {
    {
        std::ofstream out("big.res", std::ios::binary);
        const std::string line(1023, 'x');
        for (std::size_t i = 0; i <= NLX::Resource::kMaxFileBytes / 1024; ++i) {
            out << line << '\n';
        }
    }
    NLX::Resource resource;
    EXPECT_THROW(resource.set("big.res", 1), NLX::ZetException);
}

TEST(Resource, LowLevelReadersWorkBetweenOpenAndClear) {
    writeFile("low.res", "RESOURCE_NAME_LIST = 1\nA B\nA = 2\nx y\n" + kEnd + "\n");
    NLX::Resource resource;
    resource.openFile("low.res");
    Lines names;
    resource.readParam("RESOURCE_NAME_LIST", names);
    EXPECT_EQ(names, Lines{"AB"});
    Lines lines;
    resource.readResourceMap("A", lines, 0);
    EXPECT_EQ(lines, Lines{"x y"});
    resource.clear();
    EXPECT_THROW(resource.readResourceMap("A", lines, 0), NLX::ObjectClassIsNotInitialized);
}

TEST(Resource, GetStrRanges) {
    writeFile("str.res", "RESOURCE_NAME_LIST = 2\nL\nE\nL = 5\na\nb\nc\nd\ne\nE = -1\n");
    NLX::Resource resource;
    resource.set("str.res", 1);
    NLX::Indent::m_uiIndent = 0;
    struct Case {
        unsigned begin;
        int end;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {1, 2, "b\nc"},      {0, -1, "a\nb\nc\nd\ne"},
        {3, 1, "d\ne"},      {4, 4, "e"},
        {2, 100, "c\nd\ne"}, {5, -1, ""},
        {9, 3, ""},          {0, 0, "a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resource.getStr("L", c.begin, c.end), c.expected) << c.begin << ".." << c.end;
    }
    EXPECT_EQ(resource.getStr("E", 0, -1), "");
    NLX::Indent::m_uiIndent = 2;
    EXPECT_EQ(resource.getStr("L", 1, 2), "  b\n  c");
    NLX::Indent::m_uiIndent = 0;
}

TEST(Resource, ReplaceLiteralEscapesBackslashesThenQuotes) {
    NLX::Resource resource;
    EXPECT_EQ(resource.replaceLiteral(R"("C:\dir\" \n)"), R"(\"C:\\dir\\\" \\n)");
    EXPECT_EQ(resource.replaceLiteral("plain"), "plain");
}

}  // namespace
