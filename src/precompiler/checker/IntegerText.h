#ifndef TESSGEN_CHECKER_INTEGERTEXT_H
#define TESSGEN_CHECKER_INTEGERTEXT_H

#include <QString>

#include <cstdint>

// A decimal integer text of the model ("-" optional, then digits), read without a width limit:
// a value beyond 64 bits is kept as "too large" with its sign instead of wrapping or reading as
// 0, so a range test can still refuse it. Anything else is not an IntegerText (valid() false).
class IntegerText {
public:
    explicit IntegerText(const QString& text);

    bool valid() const { return m_valid; }
    // Within [-lowerMagnitude, upper]; -0 counts as 0.
    bool below(std::uint64_t lowerMagnitude) const;
    bool above(std::uint64_t upper) const;
    // Sign and digits without leading zeros ("-007" gives "-7", "-0" gives "0"): two texts of
    // one value have one canonical text. Meaningful for valid values only.
    QString canonical() const;

private:
    bool m_valid = false;
    bool m_negative = false;
    bool m_tooLarge = false;  // magnitude beyond 2^64-1
    std::uint64_t m_magnitude = 0;
};

#endif
