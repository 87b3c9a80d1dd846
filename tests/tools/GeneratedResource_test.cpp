// The resource classes generated at build time answer as the reader does on the same texts.
#include "EmptyRes.h"
#include "OneRes.h"
#include "SampleRes.h"

#include "Indent.h"
#include "common/nlx/Resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kData = VEXA_SOURCE_DIR "/tests/tools/data/";

class GeneratedResource : public ::testing::Test {
protected:
    void SetUp() override {
        NLX::Indent::m_uiIndent = 0;
        reader_.set(kData + "sample_resources.txt", 100);
    }
    void TearDown() override { NLX::Indent::m_uiIndent = 0; }
    NLX::Resource reader_;
};

TEST_F(GeneratedResource, GetEqualsTheReader) {
    SampleRes generated;
    EXPECT_EQ(generated.get(SampleRes::res::GREETING), reader_.get("GREETING"));
    EXPECT_EQ(generated.get(SampleRes::res::PATHS), reader_.get("PATHS"));
    EXPECT_EQ(generated.get(SampleRes::res::EMPTY), reader_.get("EMPTY"));
    EXPECT_EQ(generated.get(SampleRes::res::SPACEDNAME), reader_.get("SPACEDNAME"));
    // Backslashes and quotes survive the trip through a string literal.
    EXPECT_EQ(generated.get(SampleRes::res::PATHS),
              (std::vector<std::string>{R"("C:\Program Files\vexa\" and \n stays as written)",
                                        R"(a "quoted" word, a lone \)"}));
    EXPECT_EQ(generated.get(SampleRes::res::GREETING),
              (std::vector<std::string>{"Привет,", "  indented line", ""}));
}

TEST_F(GeneratedResource, GetStrEqualsTheReaderOverEveryRange) {
    SampleRes generated;
    const std::pair<SampleRes::res, const char*> names[] = {
        {SampleRes::res::GREETING, "GREETING"},
        {SampleRes::res::PATHS, "PATHS"},
        {SampleRes::res::EMPTY, "EMPTY"},
    };
    for (unsigned indent : {0u, 4u}) {
        NLX::Indent::m_uiIndent = indent;
        for (const auto& name : names) {
            for (unsigned begin = 0; begin <= 4; ++begin) {
                for (int end = -2; end <= 4; ++end) {
                    EXPECT_EQ(generated.getStr(name.first, begin, end),
                              reader_.getStr(name.second, begin, end))
                        << name.second << " " << begin << ".." << end << " indent " << indent;
                }
            }
        }
    }
    NLX::Indent::m_uiIndent = 0;
    EXPECT_EQ(generated.getStr(SampleRes::res::EMPTY), "");
    EXPECT_EQ(generated.getStr(SampleRes::res::GREETING, 3, -1), "");
    EXPECT_EQ(generated.getStr(SampleRes::res::GREETING, 0, 1), "Привет,\n  indented line");
}

TEST_F(GeneratedResource, EnumeratorsFollowTheNameList) {
    std::ifstream in(VEXA_BUILD_RESGEN "/include/SampleRes.h");
    const std::string header((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    EXPECT_NE(header.find("  enum class res{\n    GREETING,\n    PATHS,\n    EMPTY,\n    "
                          "SPACEDNAME\n  };\n"),
              std::string::npos)
        << header;
}

TEST(GeneratedResourceShapes, EmptyAndSingleTablesCompileAndAnswer) {
    OneRes one;
    EXPECT_EQ(one.get(OneRes::res::ONLY), std::vector<std::string>{"single"});
    EXPECT_EQ(one.getStr(OneRes::res::ONLY), "single");
    EmptyRes empty;
    EmptyRes::set();  // fills nothing, twice is harmless
}

}  // namespace
