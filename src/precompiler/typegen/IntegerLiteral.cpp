#include "precompiler/typegen/IntegerLiteral.h"

#include <limits>

namespace NLX {

bool fitsIntegerKind(std::int64_t value, TypeKind kind) {
    switch (kind) {
        case BYTE_TYPE:
            return value >= 0 && value <= std::numeric_limits<std::uint8_t>::max();
        case INT_16_TYPE:
            return value >= std::numeric_limits<std::int16_t>::min() &&
                   value <= std::numeric_limits<std::int16_t>::max();
        case UINT_16_TYPE:
            return value >= 0 && value <= std::numeric_limits<std::uint16_t>::max();
        case INT_32_TYPE:
            return value >= std::numeric_limits<std::int32_t>::min() &&
                   value <= std::numeric_limits<std::int32_t>::max();
        case UINT_32_TYPE:
            return value >= 0 && value <= std::numeric_limits<std::uint32_t>::max();
        case INT_64_TYPE:
        case UINT_64_TYPE:
            return true;
        default:
            return false;
    }
}

std::string integerLiteral(std::int64_t value, TypeKind kind) {
    if (kind == UINT_64_TYPE && value < 0) {
        return std::to_string(static_cast<std::uint64_t>(value)) + "ULL";
    }
    if (value == std::numeric_limits<std::int64_t>::min()) {
        // -9223372036854775808 is the negation of a literal too large for any signed type.
        return "(-9223372036854775807LL - 1)";
    }
    return std::to_string(value);
}

}  // namespace NLX
