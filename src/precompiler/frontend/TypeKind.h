#ifndef TESSGEN_FRONTEND_TYPEKIND_H
#define TESSGEN_FRONTEND_TYPEKIND_H

#include <cstdint>

// Kind of a type object. 1..13 are the primitives; the model files and the editor records
// use the same numbers.
enum TypeKind : std::uint32_t {
    NO_TYPE = 0,
    BOOLEAN_TYPE = 1,
    BYTE_TYPE = 2,
    INT_16_TYPE = 3,
    UINT_16_TYPE = 4,
    INT_32_TYPE = 5,
    UINT_32_TYPE = 6,
    INT_64_TYPE = 7,
    UINT_64_TYPE = 8,
    FLOAT_32_TYPE = 9,
    FLOAT_64_TYPE = 10,
    FLOAT_128_TYPE = 11,
    CHAR_8_TYPE = 12,
    CHAR_32_TYPE = 13,
    ENUMERATION_TYPE = 14,
    MAP_TYPE = 15,
    SEQUENCE_TYPE = 16,
    ARRAY_TYPE = 17,
    STRING_TYPE = 18,
    BITSET_TYPE = 19,
    ALIAS_TYPE = 20,
    UNION_TYPE = 21,
    STRUCTURE_TYPE = 22
};

// State of one generated pack helper of a type. The pack-code generator emits a helper only
// while its flag is BUILD_DUE or more and lowers the flag once it has written it.
enum enBuildPack : std::uint32_t {
    BUILD_NOT_NEEDED = 0,  // the runtime's own functions serve the type
    BUILD_DONE = 1,
    BUILD_DUE = 2,
    BUILD_PENDING = 3  // still to be generated
};

// Shared setting of a type or member: 1 for "true", 2 for "false", 0 when not given.
enum Shared : std::uint32_t { SHARED_NOT_GIVEN = 0, SHARED_TRUE = 1, SHARED_FALSE = 2 };

enum ExtensibilityKind : std::uint32_t {
    EXTENSIBILITY_FINAL = 0,
    EXTENSIBILITY_APPENDABLE = 1,
    EXTENSIBILITY_MUTABLE = 2
};

namespace NLX {

inline bool isPrimitive(TypeKind kind) {
    return kind >= BOOLEAN_TYPE && kind < ENUMERATION_TYPE;
}

}  // namespace NLX

#endif
