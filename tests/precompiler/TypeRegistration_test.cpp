#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/TopicDataTypes.h"
#include "precompiler/frontend/TypeRegistration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

template <typename T>
T& named(std::vector<T>& types, const std::string& name, TypeKind kind) {
    types.emplace_back();
    types.back().m_qualifiedName = name;
    types.back().m_Kind = kind;
    return types.back();
}

std::vector<std::string> names(const NLX::TypeNameSet& set) {
    std::vector<std::string> result;
    for (const AnyType* type : set) {
        result.push_back(type->m_qualifiedName);
    }
    return result;
}

}  // namespace

TEST(TypeRegistration, ModuleTypesAreQualified) {
    DDS_Types module;
    ConstructedTypes& types = module.m_constructedTypes;
    named(types.m_structures, "Point", STRUCTURE_TYPE);
    named(types.m_strings, "String8", STRING_TYPE);
    named(types.m_strings, "Name", STRING_TYPE);
    named(types.m_unions, "Choice", UNION_TYPE);
    named(types.m_enumerations, "Mode", ENUMERATION_TYPE);

    NLX::TypeNameSet set;
    NLX::getBasePrimitives("Geo", types, set);
    const Structure& point = types.m_structures[0];
    EXPECT_EQ(point.m_qualifiedName, "Geo::Point");
    EXPECT_EQ(point.m_shortName, "Point");
    EXPECT_EQ(point.m_moduleName, "Geo");
    EXPECT_EQ(types.m_strings[0].m_qualifiedName, "String8");
    EXPECT_EQ(types.m_strings[0].m_moduleName, "Geo");
    EXPECT_EQ(types.m_strings[1].m_qualifiedName, "Geo::Name");
    EXPECT_EQ(names(set), (std::vector<std::string>{"Geo::Choice", "Geo::Mode", "Geo::Name",
                                                    "Geo::Point", "String8"}));
}

TEST(TypeRegistration, BaseTypesKeepTheirNames) {
    PrimitiveTypes primitives;
    NLX::TypeNameSet set;
    NLX::getBasePrimitives(primitives, set);
    EXPECT_EQ(set.size(), 15u);
    for (AnyType* type : set) {
        EXPECT_TRUE(type->m_moduleName.empty()) << type->m_qualifiedName;
    }
    EXPECT_EQ(set.count(&primitives.m_baseStrings[0]), 1u);

    PrimitiveTypes copy = NLX::getBasePrimitives(primitives);
    ASSERT_EQ(copy.m_primitives.size(), 13u);
    EXPECT_EQ(copy.m_primitives[12].m_cppName, "long double");
    EXPECT_NE(&copy.m_primitives[0], &primitives.m_primitives[0]);
}

TEST(TypeRegistration, CaseOnlyDuplicatesKeepTheFirst) {
    ConstructedTypes first;
    ConstructedTypes second;
    named(first.m_structures, "Geo::Point", STRUCTURE_TYPE);
    named(second.m_structures, "GEO::POINT", STRUCTURE_TYPE);
    named(second.m_aliases, "Geo::Pointer", ALIAS_TYPE);
    NLX::TypeNameSet set;
    NLX::getBasePrimitives(first, set);
    NLX::getBasePrimitives(second, set);
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(*set.begin(), &first.m_structures[0]);
    // Names are left as they are.
    EXPECT_EQ(second.m_aliases[0].m_qualifiedName, "Geo::Pointer");
    EXPECT_TRUE(second.m_aliases[0].m_moduleName.empty());

    NLX::stringLess less;
    AnyType lower;
    AnyType upper;
    lower.m_qualifiedName = "abc";
    upper.m_qualifiedName = "ABD";
    EXPECT_TRUE(less(&lower, &upper));
    EXPECT_FALSE(less(&upper, &lower));
}

TEST(TypeRegistration, ModulesMoveWithoutLosingPointers) {
    std::vector<DDS_Types> modules(1);
    named(modules[0].m_constructedTypes.m_structures, "Point", STRUCTURE_TYPE);
    Structure* point = &modules[0].m_constructedTypes.m_structures[0];
    TopicDataTypes topics;
    topics.m_keys[point] = {"id"};
    for (int i = 0; i < 40; ++i) {
        modules.emplace_back();
    }
    EXPECT_EQ(&modules[0].m_constructedTypes.m_structures[0], point);
}
