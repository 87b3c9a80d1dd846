#include "NlxUtils.h"
#include "ZetException.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

TEST(NlxUtils, ItoaZet) {
    struct Case {
        int value;
        int radix;
        const char* expected;
    };
    const Case cases[] = {
        {255, 16, "ff"},
        {-255, 10, "-255"},
        {-255, 16, "ff"},
        {7, 1, ""},
        {7, 17, ""},
        {0, 10, "0"},
        {0, 2, "0"},
        {5, 2, "101"},
        {INT_MAX, 10, "2147483647"},
        {INT_MIN, 10, "-2147483648"},
        {INT_MIN, 16, "80000000"},
        {-1, 2, "1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NLX::itoaZET(c.value, c.radix), c.expected) << c.value << " radix " << c.radix;
    }
}

TEST(NlxUtils, MyHexDumpsFromTheLastByte) {
    const unsigned char bytes[] = {0x01, 0x02, 0x0A, 0xFF};
    EXPECT_EQ(NLX::myHEX(bytes, 3), "Hex(0a 02 01) size=3");
    EXPECT_EQ(NLX::myHEX(bytes, 4), "Hex(ff 0a 02 01) size=4");
    EXPECT_EQ(NLX::myHEX(bytes, 1), "Hex(01) size=1");
    EXPECT_EQ(NLX::myHEX(bytes, 0), "Hex() size=0");
}

TEST(NlxUtils, TextHelpers) {
    struct Case {
        std::string input;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{{"a.b.c", "m_a.m_b.m_c"}, {"x", "m_x"}, {"", "m_"}}) {
        EXPECT_EQ(NLX::replaceLiteral(c.input), c.expected);
    }
    EXPECT_EQ(NLX::toUpperCase("aBc_1ж"), "ABC_1ж");
    EXPECT_EQ(NLX::iS(3), "      ");
    EXPECT_EQ(NLX::iW(2), L"    ");
    EXPECT_EQ(NLX::iS(0), "");
    EXPECT_FALSE(NLX::isBIG_ENDIAN());

    std::vector<std::string> block = {"a", "abc", ""};
    EXPECT_EQ(NLX::maxLenthStrInCont(block), 3u);
    EXPECT_EQ(NLX::cppBlockElign(block), 3u);
    EXPECT_EQ(block, (std::vector<std::string>{"a  ", "abc", "   "}));
    std::vector<std::string> none;
    EXPECT_EQ(NLX::maxLenthStrInCont(none), 0u);
    EXPECT_EQ(NLX::cppBlockElign(none), 0u);

    unsigned char bytes[] = {1, 2, 3, 4, 5};
    NLX::changeENDIAN(bytes, 4);
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 5),
              (std::vector<unsigned char>{4, 3, 2, 1, 5}));
}

TEST(NlxUtils, ReplaceResumesBehindTheInsertedText) {
    struct Case {
        std::string text, what, with, expected;
    };
    const std::vector<Case> cases = {
        {"a", "a", "aa", "aa"},   {"abab", "ab", "x", "xx"},          {"aaa", "aa", "b", "ba"},
        {"abc", "", "zz", "abc"},  // an empty search text changes nothing (and ends)
        {"abc", "abc", "", ""},   {"no match", "z", "y", "no match"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> texts = {c.text, c.text};
        NLX::replace(texts, c.what, c.with);
        EXPECT_EQ(texts, (std::vector<std::string>{c.expected, c.expected}))
            << c.text << " / " << c.what;
    }
}

TEST(NlxUtils, Utf16ToUtf8) {
    struct Case {
        std::wstring input;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},
        {{wchar_t(0x0416)}, "\xD0\x96"},
        {L"A", "A"},
        {{wchar_t(0x7FF), wchar_t(0x800)}, "\xDF\xBF\xE0\xA0\x80"},
        {{wchar_t(0x1F600)}, "\xF0\x9F\x98\x80"},  // already a code point
        {{wchar_t(0xDC00)}, "\xED\xB0\x80"},       // lone low surrogate: itself
        {{wchar_t('x'), wchar_t(0xD83D)}, "x"},    // high surrogate at the end: nothing
        {{wchar_t(0xD83D), wchar_t('y')}, "y"},    // high surrogate without its pair
        {{wchar_t(0x110000)}, "\xEF\xBF\xBD"},     // beyond Unicode
        {L"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NLX::UTF16toUTF8(c.input), c.expected);
    }
}

TEST(NlxUtils, WidenStopsAtAnInvalidSequence) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(NLX::widen(std::string("Жx")), L"Жx");
    EXPECT_EQ(NLX::widen("ab\xFF"
                         "cd"),
              L"ab");
    EXPECT_EQ(NLX::widen("ab\xD0"), L"ab");  // cut sequence
    EXPECT_EQ(NLX::widen(static_cast<const char*>(nullptr)), L"");
    EXPECT_EQ(NLX::wideLiteralToWstring(L"Жж"), L"Жж");
    EXPECT_EQ(NLX::wideLiteralToWstring(nullptr), L"");
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(NlxUtils, TimeTexts) {
    const std::regex narrowLocal(R"(^\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d\.\d{3} \d{4}\n$)");
    std::string local;
    NLX::getCurrentTimeStringLocal(local);
    EXPECT_TRUE(std::regex_match(local, narrowLocal)) << local;

    char buffer[40];
    const int written = NLX::getCurrentTimeString(buffer);
    const std::string shortForm(buffer);
    EXPECT_EQ(written, static_cast<int>(shortForm.size()));
    EXPECT_TRUE(std::regex_match(
        shortForm, std::regex(R"(^\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d\.\d{1,3} \d{4}\n$)")))
        << shortForm;

    const std::regex wideForm(R"(^\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d\.\d{3} \d{4}$)");
    for (const std::wstring& text :
         {NLX::getCurrentTimeString(), NLX::getCurrentTimeStringLocal()}) {
        const std::string ascii(text.begin(), text.end());
        EXPECT_TRUE(std::regex_match(ascii, wideForm)) << ascii;
    }
    const long before = static_cast<long>(std::time(nullptr));
    const long now = static_cast<long>(NLX::getCurrentTime());
    EXPECT_GE(now, before);
    EXPECT_LE(now, before + 5);
}

TEST(NlxUtils, TimeToWstringIsTheCtimeText) {
    ASSERT_EQ(setenv("TZ", "UTC", 1), 0);
    tzset();
    EXPECT_EQ(NLX::timeToWstring(0), L"Thu Jan  1 00:00:00 1970");
    EXPECT_EQ(NLX::timeToWstring(1000000000), L"Sun Sep  9 01:46:40 2001");
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TEST(NlxUtils, CreateDirMakesEveryLevelAndAcceptsExistingOnes) {
    ASSERT_EQ(::mkdir("one", 0775), 0);
    NLX::createDir("one/two/three");
    EXPECT_TRUE(isDirectory("one/two/three"));
    NLX::createDir("one/two/three/");  // all levels exist now
    NLX::createDir("one//two/four");
    EXPECT_TRUE(isDirectory("one/two/four"));

    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    NLX::createDir(std::string(cwd) + "/abs/a");
    EXPECT_TRUE(isDirectory("abs/a"));
}

// What a caller takes back after a refused run: only the levels this call made, parents first,
// also those made before a deeper level failed.
TEST(NlxUtils, CreateDirListsTheLevelsItMade) {
    ASSERT_EQ(::mkdir("had", 0775), 0);
    std::vector<std::string> created;
    NLX::createDir("had/new/newer", &created);
    EXPECT_EQ(created, (std::vector<std::string>{"had/new", "had/new/newer"}));

    created.clear();
    EXPECT_THROW(NLX::createDir("had/made/" + std::string(NAME_MAX + 1, 'x'), &created),
                 NLX::ZetException);
    EXPECT_EQ(created, std::vector<std::string>{"had/made"});
}

TEST(NlxUtils, CreateDirThrowsNamingTheLevelThatFailed) {
    { std::ofstream("plain") << "x"; }
    try {
        NLX::createDir("plain/sub");
        FAIL() << "no exception";
    } catch (const NLX::ZetException& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find(" при создании каталога plain"), std::string::npos) << text;
    }
}

}  // namespace
