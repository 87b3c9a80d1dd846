// Decimal texts of the model read without a width limit.

#include "precompiler/checker/IntegerText.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(IntegerTextTest, ReadsAndCompares) {
    const std::uint64_t max64 = UINT64_MAX;
    const struct {
        const char* text;
        bool valid;
        const char* canonical;
        bool belowMinusTen;
        bool aboveTen;
    } rows[] = {
        {"0", true, "0", false, false},
        {"-0", true, "0", false, false},
        {"007", true, "7", false, false},
        {"-007", true, "-7", false, false},
        {"10", true, "10", false, false},
        {"11", true, "11", false, true},
        {"-10", true, "-10", false, false},
        {"-11", true, "-11", true, false},
        {"18446744073709551615", true, "18446744073709551615", false, true},
        {"18446744073709551616", true, nullptr, false, true},
        {"-99999999999999999999999", true, nullptr, true, false},
        {"", false, nullptr, false, false},
        {"-", false, nullptr, false, false},
        {"+1", false, nullptr, false, false},
        {"1 ", false, nullptr, false, false},
        {"1-", false, nullptr, false, false},
        {"x", false, nullptr, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        const IntegerText value(QString::fromLatin1(row.text));
        EXPECT_EQ(value.valid(), row.valid);
        if (!row.valid) {
            continue;
        }
        if (row.canonical != nullptr) {
            EXPECT_EQ(value.canonical().toStdString(), row.canonical);
        }
        EXPECT_EQ(value.below(10), row.belowMinusTen);
        EXPECT_EQ(value.above(10), row.aboveTen);
    }
    EXPECT_FALSE(IntegerText("18446744073709551615").above(max64));
    EXPECT_TRUE(IntegerText("18446744073709551616").above(max64));
    EXPECT_FALSE(IntegerText("-9223372036854775808").below(9223372036854775808u));
    EXPECT_TRUE(IntegerText("-9223372036854775809").below(9223372036854775808u));
}

}  // namespace
