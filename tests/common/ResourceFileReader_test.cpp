#include "common/res/ResourceFileReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using vexares::ResourceFileReader;
using vexares::StringResourceList;

namespace {

struct Text {
    unsigned id;
    const char* readable;
    const char* binary;
};

struct FileCase {
    const char* what;
    std::string content;
    unsigned status;
    const char* printed;  // diagnostic on standard output
    unsigned first;
    unsigned last;
    std::vector<Text> texts;
};

unsigned readContent(const std::string& content, std::unique_ptr<StringResourceList>& list,
                     std::string& printed) {
    FILE* tmp = std::tmpfile();
    EXPECT_NE(tmp, nullptr);
    if (tmp == nullptr) {
        return 99;
    }
    std::fwrite(content.data(), 1, content.size(), tmp);
    std::rewind(tmp);
    testing::internal::CaptureStdout();
    const unsigned status = ResourceFileReader::read("t.res", tmp, list);
    printed = testing::internal::GetCapturedStdout();
    std::fclose(tmp);
    return status;
}

}  // namespace

TEST(ResourceFileReader, FileContentsGiveListOrRefusal) {
    const std::string longText(3000, 'a');
    const std::string fullText(2044, 'b');
    const std::string fullLine = "1=" + fullText + "\n";  // 2047 bytes with its line feed
    const FileCase cases[] = {
        {"plain", "1=a\nb\n2=c\nd\n", 0, "", 1, 2, {{1, "a", "b"}, {2, "c", "d"}}},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "7=a\nb\n",
         0,
         "",
         7,
         7,
         {{7, "a", "b"}}},
        {"CRLF", "1=a\r\nb\r\n2=c\r\nd\r\n", 0, "", 1, 2, {{1, "a", "b"}, {2, "c", "d"}}},
        {"blank kept", "5 = word\nbin\n", 0, "", 5, 5, {{5, " word", "bin"}}},
        {"line feed escape", "1=x\\ny\nx\\ny\n", 0, "", 1, 1, {{1, "x \ny", "x\\ny"}}},
        {"second '=' is text", "1=a=b\n=\n", 0, "", 1, 1, {{1, "a=b", "="}}},
        {"empty texts", "1=\n\n2=\r\n\r\n", 0, "", 1, 2, {{1, "", ""}, {2, "", ""}}},
        {"ends after index", "1=a\nb\n2=c", 0, "", 1, 2, {{1, "a", "b"}, {2, "c", ""}}},
        {"no final line feed", "1=a\nb", 0, "", 1, 1, {{1, "a", "b"}}},
        {"empty file", "", 0, "", 0, 0, {}},
        {"longest line", fullLine + "x\n", 0, "", 1, 1, {{1, fullText.c_str(), "x"}}},
        {"index shift",
         "1=a\nb\n2=c\nd\n4=e\nf\n",
         5,
         "ResourceManager: Line [3]: Index shift detected.",
         0,
         0,
         {}},
        {"first index 0",
         "0=a\nb\n",
         5,
         "ResourceManager: Line [1]: Error when reading line index.",
         0,
         0,
         {}},
        {"no number",
         "x=a\nb\n",
         5,
         "ResourceManager: Line [1]: Error when reading line index.",
         0,
         0,
         {}},
        {"index overflow",
         "4294967296=a\nb\n",
         5,
         "ResourceManager: Line [1]: Error when reading line index.",
         0,
         0,
         {}},
        {"index past the largest",
         "4294967295=a\nb\n4294967296=c\nd\n",
         5,
         "ResourceManager: Line [2]: Index shift detected.",
         0,
         0,
         {}},
        {"no '='",
         "1=a\nb\nplain\nd\n",
         5,
         "ResourceManager: Line [2]: Symbol '=' not found.",
         0,
         0,
         {}},
        {"trailing blank line",
         "1=a\nb\n\n",
         5,
         "ResourceManager: Line [2]: Symbol '=' not found.",
         0,
         0,
         {}},
        {"line too long",
         "1=a\nb\n2=" + longText + "\nd\n",
         5,
         "ResourceManager: Line [2]: Line too long.",
         0,
         0,
         {}},
        {"bad UTF-8 in readable text",
         "1=a\nb\n2=\xFF\xFE\nd\n",
         5,
         "ResourceManager: Line [1]: Failed to convert UTF-8 to wide char.",
         0,
         0,
         {}},
        {"binary text kept as stored", "1=a\n\xFF\n", 0, "", 1, 1, {{1, "a", "\xFF"}}},
        {"%n in a readable text",
         "39=a\nb\n40=%n%n%n\nx\n",
         5,
         "ResourceManager: Line [2]: Unsupported conversion in the text.",
         0,
         0,
         {}},
        {"%n in a binary text",
         "40=%s\n%s%n\n",
         5,
         "ResourceManager: Line [1]: Unsupported conversion in the text.",
         0,
         0,
         {}},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<StringResourceList> list;
        std::string printed;
        ASSERT_EQ(readContent(c.content, list, printed), c.status);
        EXPECT_EQ(printed, c.printed);
        if (c.status != 0) {
            EXPECT_EQ(list, nullptr);
            continue;
        }
        ASSERT_NE(list, nullptr);
        EXPECT_STREQ(list->getFileName(), "t.res");
        EXPECT_EQ(list->getFirst(), c.first);
        EXPECT_EQ(list->getLast(), c.last);
        EXPECT_EQ(list->size(), c.texts.size());
        for (const Text& t : c.texts) {
            ASSERT_NE(list->getString(t.id), nullptr) << t.id;
            EXPECT_STREQ(list->getString(t.id), t.readable);
            EXPECT_STREQ(list->getBinaryString(t.id), t.binary);
        }
        EXPECT_EQ(list->getString(c.first - 1), nullptr);
        EXPECT_EQ(list->getString(c.last + 1), nullptr);
    }
}

// Both texts of a message are formats the logger fills from the caller's arguments: only the
// conversions the messages use can be satisfied by them.
TEST(ResourceFileReader, TextsTakeOnlyTheConversionsMessagesUse) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"plain", true},
        {"%s %d %i %u %x %X", true},
        {"%02x %08x %06X %-5d %+d % d %#x %.3u %10.4s", true},
        {"%lld %llu %ld %lu %hu %hhu %zu %jd %td", true},
        {"100%% done, %%s", true},
        {"%n", false},
        {"%hhn", false},
        {"%ls", false},
        {"%lls", false},
        {"%*d", false},
        {"%.*s", false},
        {"%1$s", false},
        {"%f", false},
        {"%p", false},
        {"%c", false},
        {"%lld%", false},
        {"%99999d", false},
        {"%.99999s", false},
        {"%Ld", false},
        {"%qd", false},
        {"%hld", false},
        {"%llld", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        for (const std::string& content :
             {std::string("1=") + c.text + "\nb\n", std::string("1=a\n") + c.text + "\n"}) {
            std::unique_ptr<StringResourceList> list;
            std::string printed;
            EXPECT_EQ(readContent(content, list, printed), c.accepted ? 0u : 5u) << content;
        }
    }
}

// A stream longer than any message file (a runaway file, a device behind a name) is refused
// once the limit is passed, however sound its records are.
TEST(ResourceFileReader, StreamPastTheLimitIsRefused) {
    const std::string text(1000, 't');
    std::string content;
    for (unsigned i = 1; content.size() <= ResourceFileReader::MAX_FILE_BYTES; ++i) {
        content += std::to_string(i) + "=" + text + "\n" + text + "\n";
    }
    std::unique_ptr<StringResourceList> list;
    std::string printed;
    EXPECT_EQ(readContent(content, list, printed), 5u);
    EXPECT_EQ(printed.rfind("ResourceManager: Line [", 0), 0u) << printed;
    EXPECT_NE(printed.find("]: File too large."), std::string::npos) << printed;
    EXPECT_EQ(list, nullptr);
    content.resize(ResourceFileReader::MAX_FILE_BYTES);
    content.resize(content.rfind('\n', content.rfind('=')) + 1);
    EXPECT_EQ(readContent(content, list, printed), 0u) << printed;
}

TEST(ResourceFileReader, WideTextOfCyrillicWithLineFeed) {
    std::unique_ptr<StringResourceList> list;
    std::string printed;
    ASSERT_EQ(readContent("3=Привет\\nмир\nПривет\\nмир\n", list, printed), 0u);
    EXPECT_EQ(std::wstring(list->getWstring(3)), L"Привет \nмир");
    EXPECT_STREQ(list->getString(3), "Привет \nмир");
    EXPECT_STREQ(list->getBinaryString(3), "Привет\\nмир");
    EXPECT_EQ(list->getWstring(4), nullptr);
}
