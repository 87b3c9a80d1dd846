#ifndef TESSGEN_TYPEGEN_INTEGERLITERAL_H
#define TESSGEN_TYPEGEN_INTEGERLITERAL_H

#include "precompiler/frontend/TypeKind.h"

#include <cstdint>
#include <string>

namespace NLX {

// Values of the integer kinds Byte, Int16 .. UInt64 as the type model stores them: signed
// 64 bits, a UInt64 above the Int64 range by its two's complement bits.

// Whether the stored value lies in the range of the kind. Int64 and UInt64 hold every value.
bool fitsIntegerKind(std::int64_t value, TypeKind kind);

// The C++ literal of a value of the kind, one that compiles without a warning: decimal, the
// Int64 minimum as (-9223372036854775807LL - 1), a UInt64 above the Int64 range in unsigned
// decimal with ULL.
std::string integerLiteral(std::int64_t value, TypeKind kind);

}  // namespace NLX

#endif
