#include "TypeModelBuilder.h"

#include "precompiler/frontend/AnyType.h"
#include "precompiler/frontend/PrimitiveTypes.h"

#include <gtest/gtest.h>

TEST(AnyType, FreshObject) {
    AnyType type(SHARED_FALSE, EXTENSIBILITY_MUTABLE);
    EXPECT_EQ(type.m_Kind, NO_TYPE);
    EXPECT_EQ(type.m_shared, SHARED_FALSE);
    EXPECT_EQ(type.m_extensibility, EXTENSIBILITY_MUTABLE);
    EXPECT_FALSE(type.m_isSet);
    EXPECT_TRUE(type.m_fixedLength);
    EXPECT_EQ(type.m_size, 0u);
    EXPECT_EQ(type.m_alignment, 0u);
    EXPECT_EQ(type.m_packBuild, BUILD_PENDING);
    EXPECT_EQ(type.m_unPackBuild, BUILD_PENDING);
    EXPECT_EQ(type.m_nextBuild, BUILD_PENDING);
    EXPECT_EQ(type.m_lenPackedBuild, BUILD_PENDING);
    EXPECT_TRUE(type.m_dependencies.empty());
    EXPECT_TRUE(type.m_sameTypes.empty());
    EXPECT_FALSE(type.isComlexType());
    EXPECT_FALSE(type.isContainer());
    EXPECT_FALSE(type.isPrimitiveBase());
    EXPECT_FALSE(type.isStringBase());
    EXPECT_FALSE(type.isLenghthAsSimple());
    EXPECT_TRUE(type.set().empty());
    EXPECT_EQ(type.getAnyTypePtrBase(), &type);
}

TEST(AnyType, PrimitiveObjects) {
    PrimitiveTypes primitives;
    ASSERT_EQ(primitives.m_primitives.size(), 13u);
    const char* order[] = {"Boolean", "Byte",  "Char8",  "Char32",  "Int16",   "UInt16",  "Int32",
                           "UInt32",  "Int64", "UInt64", "Float32", "Float64", "Float128"};
    for (std::size_t i = 0; i < 13; ++i) {
        BasePrimitives& type = primitives.m_primitives[i];
        EXPECT_EQ(type.m_qualifiedName, order[i]);
        EXPECT_EQ(type.m_cppName, AnyType::m_TypeRep.getCPP(type.m_Kind)) << order[i];
        EXPECT_EQ(type.m_cppTypeText, type.m_cppName);
        EXPECT_EQ(type.m_shortName, type.m_cppName);
        EXPECT_EQ(type.m_alignment, type.m_size) << order[i];
        EXPECT_TRUE(type.m_moduleName.empty());
        EXPECT_TRUE(type.m_isSet);
        EXPECT_TRUE(type.m_key);
        EXPECT_TRUE(type.isPrimitiveBase());
        EXPECT_TRUE(type.isLenghthAsSimple());
        EXPECT_FALSE(type.isComlexType());
        EXPECT_EQ(type.m_packBuild, BUILD_NOT_NEEDED);
        EXPECT_EQ(type.m_unPackBuild, BUILD_NOT_NEEDED);
        EXPECT_EQ(type.m_lenPackedBuild, BUILD_NOT_NEEDED);
        EXPECT_EQ(type.m_nextBuild, BUILD_PENDING);
    }
    const BasePrimitives& wide = primitives.m_primitives[12];
    EXPECT_EQ(wide.m_Kind, FLOAT_128_TYPE);
    EXPECT_EQ(wide.m_cppName, "long double");
    EXPECT_EQ(wide.m_size, 16u);
    EXPECT_EQ(primitives.m_primitives[3].m_cppName, "wchar_t");
    EXPECT_EQ(primitives.m_primitives[3].m_size, 4u);

    ASSERT_EQ(primitives.m_baseStrings.size(), 2u);
    EXPECT_EQ(primitives.m_baseStrings[0].m_qualifiedName, "String8");
    EXPECT_EQ(primitives.m_baseStrings[1].m_qualifiedName, "String32");
    EXPECT_EQ(primitives.m_baseStrings[1].m_Kind, STRING_TYPE);
    EXPECT_TRUE(primitives.m_baseStrings[1].m_moduleName.empty());
    EXPECT_EQ(primitives.getAll().size(), 15u);
}

// Kinds as answered by objects that are not aliases.
TEST(AnyType, QueriesByKind) {
    struct Row {
        TypeKind kind;
        bool complex, container, primitive, string, simple;
    };
    const Row rows[] = {
        {NO_TYPE, false, false, false, false, false},
        {INT_16_TYPE, false, false, true, false, true},
        {ENUMERATION_TYPE, false, false, false, false, true},
        {MAP_TYPE, true, true, false, false, false},
        {SEQUENCE_TYPE, true, true, false, false, false},
        {ARRAY_TYPE, true, true, false, false, false},
        {STRING_TYPE, true, false, false, true, false},
        {BITSET_TYPE, true, false, false, false, true},
        {ALIAS_TYPE, false, false, false, false, false},
        {UNION_TYPE, true, false, false, false, false},
        {STRUCTURE_TYPE, true, false, false, false, false},
    };
    for (const Row& row : rows) {
        AnyType type;
        type.m_Kind = row.kind;
        EXPECT_EQ(type.isComlexType(), row.complex) << row.kind;
        EXPECT_EQ(type.isContainer(), row.container) << row.kind;
        EXPECT_EQ(type.isPrimitiveBase(), row.primitive) << row.kind;
        EXPECT_EQ(type.isStringBase(), row.string) << row.kind;
        EXPECT_EQ(type.isLenghthAsSimple(), row.simple) << row.kind;
    }
}

TEST(AnyType, AliasLooksThroughOneLevel) {
    TypeModelBuilder model;
    model.string("Geo", "Name", "Char8", 16);
    model.sequence("Geo", "Points", "Int32");
    model.alias("Geo", "NameAlias", "Name").set();
    model.alias("Geo", "PointsAlias", "Points").set();
    model.alias("Geo", "Count", "Int32").set();
    model.alias("Geo", "CountAlias", "Count").set();
    model.bitSet("Geo", "Flags", 12);
    model.alias("Geo", "FlagsAliasAlias", "FlagsAlias");
    model.alias("Geo", "FlagsAlias", "Flags");
    model.find("Geo::FlagsAliasAlias")->set();

    auto* nameAlias = static_cast<Alias*>(model.find("Geo::NameAlias"));
    EXPECT_TRUE(nameAlias->isStringBase());
    EXPECT_TRUE(nameAlias->isComlexType());
    EXPECT_FALSE(nameAlias->isContainer());
    EXPECT_FALSE(nameAlias->isLenghthAsSimple());

    auto* pointsAlias = static_cast<Alias*>(model.find("Geo::PointsAlias"));
    EXPECT_FALSE(pointsAlias->isContainer());
    EXPECT_TRUE(pointsAlias->isContainerBase());
    EXPECT_TRUE(pointsAlias->isComlexType());

    auto* countAlias = model.find("Geo::CountAlias");
    EXPECT_TRUE(model.find("Geo::Count")->isPrimitiveBase());
    EXPECT_FALSE(countAlias->isPrimitiveBase());
    EXPECT_EQ(countAlias->getAnyTypePtrBase(), model.find("Geo::Count"));
    EXPECT_TRUE(countAlias->isLenghthAsSimple());  // the only query that follows a chain

    EXPECT_TRUE(model.find("Geo::FlagsAliasAlias")->isLenghthAsSimple());
    EXPECT_FALSE(model.find("Geo::FlagsAliasAlias")->isComlexType());
    EXPECT_TRUE(model.find("Geo::FlagsAlias")->isComlexType());
}

TEST(AnyType, UnresolvedAliasAnswersFalse) {
    Alias alias;
    alias.m_Kind = ALIAS_TYPE;
    EXPECT_EQ(alias.getAnyTypePtrBase(), nullptr);
    EXPECT_FALSE(alias.isComlexType());
    EXPECT_FALSE(alias.isPrimitiveBase());
    EXPECT_FALSE(alias.isStringBase());
    EXPECT_FALSE(alias.isLenghthAsSimple());
    EXPECT_FALSE(alias.isContainerBase());
}

TEST(AnyType, BuildFlagsReachTheSameTypes) {
    AnyType self;
    AnyType first;
    AnyType second;
    AnyType outsider;
    self.m_sameTypes = {&first, &second};

    self.setPackBuild(BUILD_DONE);
    for (AnyType* type : {&self, &first, &second}) {
        EXPECT_EQ(type->m_packBuild, BUILD_DONE);
        EXPECT_EQ(type->m_unPackBuild, BUILD_PENDING);
        EXPECT_EQ(type->m_nextBuild, BUILD_PENDING);
        EXPECT_EQ(type->m_lenPackedBuild, BUILD_PENDING);
    }
    EXPECT_EQ(outsider.m_packBuild, BUILD_PENDING);

    self.setUnPackBuild(BUILD_DUE);
    self.setNextBuild(BUILD_NOT_NEEDED);
    self.set_lenPackedBuild(BUILD_DONE);
    for (AnyType* type : {&self, &first, &second}) {
        EXPECT_EQ(type->m_packBuild, BUILD_DONE);
        EXPECT_EQ(type->m_unPackBuild, BUILD_DUE);
        EXPECT_EQ(type->m_nextBuild, BUILD_NOT_NEEDED);
        EXPECT_EQ(type->m_lenPackedBuild, BUILD_DONE);
    }
    // The relation is not symmetric: a member of the set does not reach back.
    first.setPackBuild(BUILD_PENDING);
    EXPECT_EQ(self.m_packBuild, BUILD_DONE);
}
