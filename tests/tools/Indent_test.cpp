#include "Indent.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

class IndentTest : public ::testing::Test {
protected:
    void SetUp() override {
        NLX::Indent::m_uiIndent = 0;
        NLX::Indent::m_uiSizeOfIndent = 2;
    }
    void TearDown() override { NLX::Indent::m_uiIndent = 0; }
};

// Each step is one call, what it returns and the counter after it; the counter carries over.
TEST_F(IndentTest, CounterCarriesOverBetweenCalls) {
    struct Step {
        const char* call;
        std::function<std::string()> run;
        std::string returns;
        unsigned after;
    };
    const std::vector<Step> steps = {
        {"close at 0", NLX::Indent::close, "", 0},
        {"closeBrace at 0", NLX::Indent::closeBrace, "}", 0},
        {"openBrace", NLX::Indent::openBrace, "{\n", 2},
        {"closeBrace", NLX::Indent::closeBrace, "}", 0},
        {"open", NLX::Indent::open, "  ", 2},
        {"open", NLX::Indent::open, "    ", 4},
        {"openBrace", NLX::Indent::openBrace, "{\n", 6},
        {"shiftIndent", [] { return NLX::Indent::shiftIndent(); }, "      ", 6},
        {"closeBrace", NLX::Indent::closeBrace, "    }", 4},
        {"close", NLX::Indent::close, "  ", 2},
        {"close", NLX::Indent::close, "", 0},
        {"close below 0", NLX::Indent::close, "", 0},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(step.run(), step.returns) << step.call;
        EXPECT_EQ(NLX::Indent::m_uiIndent, step.after) << step.call;
    }
}

TEST_F(IndentTest, ShiftOfTextIndentsEveryLineWithoutTouchingTheCounter) {
    NLX::Indent::m_uiIndent = 6;
    struct Case {
        std::string text;
        unsigned levels;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a\nb", 2, "    a\n    b\n"},
        {"a\nb\n", 2, "    a\n    b\n"},  // a final line feed adds no empty line
        {"a\n\nb", 1, "  a\n  \n  b\n"},
        {"x", 0, "x\n"},
        {"", 3, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NLX::Indent::shiftIndent(c.text, c.levels), c.expected) << c.text;
    }
    EXPECT_EQ(NLX::Indent::shiftIndent(3u), std::string(6, ' '));
    EXPECT_EQ(NLX::Indent::m_uiIndent, 6u);
}

TEST_F(IndentTest, SdMacroIsTheCurrentIndentation) {
    NLX::Indent::open();
    EXPECT_EQ(SD + "x", "  x");
}

TEST_F(IndentTest, CloseNeverWrapsWhenTheWidthChangedMidway) {
    NLX::Indent::open();  // 2
    NLX::Indent::m_uiSizeOfIndent = 4;
    EXPECT_EQ(NLX::Indent::close(), "");
    EXPECT_EQ(NLX::Indent::m_uiIndent, 0u);
}

}  // namespace
