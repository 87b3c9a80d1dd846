// Registration, declaration order and same-types pairs of the type-code generator.
#include "TypeModelBuilder.h"

#include "precompiler/typegen/TypeOrder.h"

#include "ZetException.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every type the builder registered, completed, in the order's type set.
void collect(NLX::TypeOrder& order) {
    for (const auto& entry : AnyType::m_mapNameAnyTypePtr) {
        order.types().insert(entry.second);
    }
    for (AnyType* type : order.types()) {
        type->set();
    }
}

// The placed types of modules, by qualified name (primitives left out).
std::vector<std::string> placed(const NLX::TypeOrder& order) {
    std::vector<std::string> names;
    for (const AnyType* type : order.order()) {
        if (!type->m_moduleName.empty()) {
            names.push_back(type->m_qualifiedName);
        }
    }
    return names;
}

TEST(TypeOrder, PassesDependenciesFirstInNameOrder) {
    TypeModelBuilder model;
    // Zeta is made before Alpha, so address order is not name order.
    model.structure("Geo", "Zeta", {{"z", "Byte"}});
    model.structure("Geo", "Alpha", {{"a", "Float32"}});
    model.structure("Geo", "Pair", {{"second", "Zeta"}, {"first", "Alpha"}});
    model.array("Geo", "PairRow", "Pair", {2});
    model.structure("Geo", "Point", {{"x", "Float64"}});
    model.structure("Geo", "Inside", {{"v", "Int16"}});
    model.structure("Geo", "Other", {{"p", "Point"}});
    model.unionType("Geo", "Choice", "Int16", {{"1", "Inside"}, {"2", "Int32"}});
    model.alias("Geo", "ChoiceAlias", "Choice");
    model.alias("Geo", "PointAlias", "Point");
    model.alias("Geo", "Count", "Int32");
    model.alias("Geo", "CountAlias", "Count");
    model.alias("Geo", "Text", "String8");
    model.enumeration("Geo", "Mode", INT_32_TYPE);
    model.string("Geo", "Name", "Char8", 8);
    model.bitSet("Geo", "Flags", 9);
    model.sequence("Geo", "Points", "Point");
    model.map("Geo", "Table", "Mode", "Name");

    NLX::TypeOrder order;
    collect(order);
    EXPECT_EQ(order.sort(), 1);
    EXPECT_EQ(placed(order), (std::vector<std::string>{
                                 "Geo::Count",        // aliases of primitives
                                 "Geo::Mode",         // enumerations
                                 "Geo::Name",         // strings
                                 "Geo::Flags",        // bit sets
                                 "Geo::Alpha",        // arrays, dependencies by name
                                 "Geo::Zeta",         //
                                 "Geo::Pair",         //
                                 "Geo::PairRow",      //
                                 "Geo::Point",        // sequences
                                 "Geo::Points",       //
                                 "Geo::Table",        // maps
                                 "Geo::Inside",       // unions, case types first
                                 "Geo::Choice",       //
                                 "Geo::ChoiceAlias",  //
                                 "Geo::Other",        // structures
                                 "Geo::PointAlias",   //
                                 "Geo::CountAlias",   // what no pass takes
                                 "Geo::Text",         //
                             }));
    for (const AnyType* type : order.order()) {
        EXPECT_NE(type->m_qualifiedName, "String8");
    }
    // Placing again changes nothing.
    const std::vector<AnyType*> first = order.order();
    order.sort();
    EXPECT_EQ(order.order(), first);
}

TEST(TypeOrder, ASecondModuleAppendsOnlyItsOwnTypes) {
    TypeModelBuilder model;
    model.structure("Geo", "Point", {{"x", "Float64"}});
    model.alias("Geo", "Count", "Int32");
    NLX::TypeOrder order;
    collect(order);
    order.sort();
    const std::vector<AnyType*> before = order.order();

    model.sequence("Far", "Points", "Geo::Point");
    model.alias("Far", "Number", "Geo::Count");
    model.enumeration("Far", "Kind", UINT_16_TYPE);
    collect(order);
    order.sort();
    ASSERT_GE(order.order().size(), before.size());
    EXPECT_EQ(std::vector<AnyType*>(order.order().begin(), order.order().begin() + before.size()),
              before);
    // Far::Number names an alias: the last pass places it.
    EXPECT_EQ(placed(order), (std::vector<std::string>{"Geo::Count", "Geo::Point", "Far::Kind",
                                                       "Far::Points", "Far::Number"}));
}

TEST(TypeOrder, SameTypesPairs) {
    TypeModelBuilder model;
    model.sequence("Geo", "A", "Int32");
    model.sequence("Geo", "B", "Int32");
    model.sequence("Geo", "C", "Int16");
    model.enumeration("Geo", "E1", INT_16_TYPE);
    model.enumeration("Geo", "E2", UINT_64_TYPE);
    model.structure("Geo", "P", {{"x", "Int32"}});
    model.structure("Geo", "Q", {{"x", "Int32"}});
    model.alias("Geo", "Count", "Int32");
    NLX::TypeOrder order;
    collect(order);
    order.sort();
    order.setSameTypes();
    auto same = [&model](const char* a, const char* b) {
        return model.find(a)->m_sameTypes.count(model.find(b)) == 1 &&
               model.find(b)->m_sameTypes.count(model.find(a)) == 1;
    };
    EXPECT_TRUE(same("Geo::A", "Geo::B"));
    EXPECT_FALSE(same("Geo::A", "Geo::C"));
    EXPECT_TRUE(same("Geo::E1", "Geo::E2"));
    EXPECT_FALSE(same("Geo::P", "Geo::Q"));
    EXPECT_TRUE(same("Geo::Count", "Int32"));
    for (const AnyType* type : order.order()) {
        EXPECT_EQ(type->m_sameTypes.count(const_cast<AnyType*>(type)), 0u) << type->m_qualifiedName;
    }
}

TEST(TypeOrder, NamesEqualUpToCaseAreRefused) {
    const char* const rows[][2] = {{"Point", "POINT"}, {"point", "Point"}};
    for (const auto& row : rows) {
        AnyType::m_mapNameAnyTypePtr.clear();
        PrimitiveTypes primitives;
        ConstructedTypes types;
        types.m_structures.resize(1);
        types.m_structures[0].m_qualifiedName = row[0];
        types.m_structures[0].m_Kind = STRUCTURE_TYPE;
        types.m_aliases.resize(1);
        types.m_aliases[0].m_qualifiedName = row[1];
        types.m_aliases[0].m_Kind = ALIAS_TYPE;
        NLX::TypeOrder order;
        order.getBasePrimitiveTypes(primitives, AnyType::m_mapNameAnyTypePtr);
        try {
            order.getConstructedTypes("Geo", types, AnyType::m_mapNameAnyTypePtr);
            ADD_FAILURE() << row[0] << " and " << row[1] << " were both accepted";
        } catch (const NLX::ZetException& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(std::string("Geo::") + row[0]), std::string::npos) << text;
            EXPECT_NE(text.find(std::string("Geo::") + row[1]), std::string::npos) << text;
        }
    }
    // Across modules too: Geo::Point against GEO::Point of a later module.
    AnyType::m_mapNameAnyTypePtr.clear();
    ConstructedTypes first;
    ConstructedTypes second;
    first.m_structures.resize(1);
    first.m_structures[0].m_qualifiedName = "Point";
    second.m_enumerations.resize(1);
    second.m_enumerations[0].m_qualifiedName = "Point";
    NLX::TypeOrder order;
    order.getConstructedTypes("Geo", first, AnyType::m_mapNameAnyTypePtr);
    EXPECT_THROW(order.getConstructedTypes("GEO", second, AnyType::m_mapNameAnyTypePtr),
                 NLX::ZetException);
    AnyType::m_mapNameAnyTypePtr.clear();
}

TEST(TypeOrder, ACycleThatReachesPlacementIsRefused) {
    TypeModelBuilder model;
    AnyType* a = &model.alias("Geo", "A", "Geo::B");
    AnyType* b = &model.alias("Geo", "B", "Geo::A");
    // As set() would leave them, had it not refused the cycle.
    a->m_dependencies.insert(b);
    b->m_dependencies.insert(a);
    NLX::TypeOrder order;
    EXPECT_THROW(order.addType(a), NLX::ZetException);
}

}  // namespace
