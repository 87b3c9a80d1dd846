#include "precompiler/frontend/TypeRep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

TEST(TypeRep, SpellingsOfKinds) {
    const TypeRep names;
    struct Row {
        TypeKind kind;
        const char* dds;
        const char* cpp;
    };
    const Row rows[] = {
        {NO_TYPE, "", ""},
        {BOOLEAN_TYPE, "Boolean", "bool"},
        {BYTE_TYPE, "Byte", "uint8_t"},
        {INT_32_TYPE, "Int32", "int32_t"},
        {UINT_64_TYPE, "UInt64", "uint64_t"},
        {FLOAT_128_TYPE, "Float128", "long double"},
        {CHAR_8_TYPE, "Char8", "char"},
        {CHAR_32_TYPE, "Char32", "wchar_t"},
        {ENUMERATION_TYPE, "", ""},
        {STRUCTURE_TYPE, "", ""},
        {static_cast<TypeKind>(99), "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(names.getDDS(row.kind), row.dds) << row.kind;
        EXPECT_EQ(names.getCPP(row.kind), row.cpp) << row.kind;
    }
}

TEST(TypeRep, KindOfCppSpellingIsExact) {
    const TypeRep names;
    EXPECT_EQ(names.getCPP(std::string("int32_t")), INT_32_TYPE);
    EXPECT_EQ(names.getCPP(std::string("long double")), FLOAT_128_TYPE);
    EXPECT_EQ(names.getCPP(std::string("Int32")), NO_TYPE);
    EXPECT_EQ(names.getCPP(std::string("INT32_T")), NO_TYPE);
    EXPECT_EQ(names.getCPP(std::string("")), NO_TYPE);
    // Asking for an unknown spelling adds nothing: the known ones still map one to one.
    for (std::uint32_t kind = BOOLEAN_TYPE; kind <= CHAR_32_TYPE; ++kind) {
        const auto k = static_cast<TypeKind>(kind);
        EXPECT_EQ(names.getCPP(names.getCPP(k)), k);
    }
    EXPECT_EQ(names.getCPP(std::string("")), NO_TYPE);
}

TEST(TypeRep, BasicModelNames) {
    const TypeRep names;
    for (const char* name : {"String8", "String32", "Float128", "Boolean", "Char32"}) {
        EXPECT_TRUE(names.isBasicTypeDDS(name)) << name;
    }
    for (const char* name : {"string", "int32_t", "String", "", "int32", "String16"}) {
        EXPECT_FALSE(names.isBasicTypeDDS(name)) << name;
    }
}
