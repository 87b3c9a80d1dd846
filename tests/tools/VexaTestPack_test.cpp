#include <gtest/gtest.h>

#include <string>

#include "vexa_pack.h"

namespace {

TEST(VexaPackTestDefaults, TwoPatterns) {
    using namespace VEXA_TEST_PACK;
    char c = 0;
    wchar_t w = 0;
    bool b = false;
    std::string s;
    std::wstring ws;
    setDefault(c, one);
    setDefault(w, one);
    setDefault(b, one);
    setDefault(s, one);
    setDefault(ws, one);
    EXPECT_EQ(c, 'a');
    EXPECT_EQ(w, L'a');
    EXPECT_TRUE(b);
    EXPECT_EQ(s, "dromo_0123456789_0123456789");
    EXPECT_EQ(ws, L"dromo_0123456789_0123456789");
    setDefault(c, two);
    setDefault(w, two);
    setDefault(b, two);
    setDefault(s, two);
    setDefault(ws, two);
    EXPECT_EQ(c, 'b');
    EXPECT_EQ(w, L'b');
    EXPECT_FALSE(b);
    EXPECT_EQ(s, "quintaver_0123456789_0123456789");
    EXPECT_EQ(ws, L"quintaver_0123456789_0123456789");
}

}  // namespace
