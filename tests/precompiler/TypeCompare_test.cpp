#include "TypeModelBuilder.h"

#include "precompiler/frontend/TypeCompare.h"

#include <gtest/gtest.h>

#include <string>

TEST(TypeCompare, StructuralEquality) {
    TypeModelBuilder model;
    model.enumeration("Geo", "Mode", INT_16_TYPE);
    model.enumeration("Geo", "Other", INT_64_TYPE);
    model.structure("Geo", "Point", {{"x", "Int32"}});
    model.structure("Geo", "Place", {{"x", "Int32"}});
    model.string("Geo", "Name", "Char8", 16);
    model.string("Geo", "Label", "Char8", 16);
    model.string("Geo", "Title", "Char8", 20);
    model.array("Geo", "A23", "Int32", {2, 3});
    model.array("Geo", "B23", "Int32", {2, 3});
    model.array("Geo", "A32", "Int32", {3, 2});
    model.array("Geo", "F23", "Float32", {2, 3});
    model.array("Geo", "A2", "Int32", {2});
    model.sequence("Geo", "Points", "Point");
    model.sequence("Geo", "Points2", "Point");
    model.sequence("Geo", "Places", "Place");
    model.alias("Geo", "Count", "Int32");
    model.sequence("Geo", "Counts", "Count");
    model.sequence("Geo", "Ints", "Int32");
    model.map("Geo", "ByMode", "Mode", "Point");
    model.map("Geo", "ByMode2", "Mode", "Point");
    model.map("Geo", "ByOther", "Other", "Point");
    model.map("Geo", "ByInt", "Int32", "Point");
    model.map("Geo", "ByInt2", "Int32", "Point");
    model.map("Geo", "ByIntPlace", "Int32", "Place");
    model.alias("Geo", "PointAlias", "Point");
    model.alias("Geo", "ModeAlias", "Mode");
    model.alias("Geo", "CountAlias", "Count");
    model.alias("Geo", "CountAlias2", "Count");
    for (auto& entry : AnyType::m_mapNameAnyTypePtr) {
        entry.second->set();
    }

    struct Row {
        const char* a;
        const char* b;
        bool equal;
    };
    const Row rows[] = {
        {"Int32", "Int32", true},
        {"Int32", "UInt32", false},
        {"Geo::Mode", "Geo::Other", true},  // any two enumerations
        {"Geo::Mode", "Int16", false},
        {"Geo::Point", "Geo::Point", true},
        {"Geo::Point", "Geo::Place", false},  // structures by name
        {"Geo::Name", "Geo::Label", true},    // strings by C++ text
        {"Geo::Name", "Geo::Title", false},
        {"Geo::Name", "String8", false},
        {"Geo::A23", "Geo::B23", true},
        {"Geo::A23", "Geo::A32", false},
        {"Geo::A23", "Geo::F23", false},
        {"Geo::A23", "Geo::A2", false},
        {"Geo::Points", "Geo::Points2", true},
        {"Geo::Points", "Geo::Places", false},
        {"Geo::Counts", "Geo::Ints", true},  // elements seen through an alias
        {"Geo::ByMode", "Geo::ByMode2", true},
        {"Geo::ByMode", "Geo::ByOther", false},  // enumeration keys by name
        {"Geo::ByInt", "Geo::ByInt2", true},
        {"Geo::ByInt", "Geo::ByIntPlace", false},
        {"Geo::ByInt", "Geo::ByMode", false},
        {"Geo::PointAlias", "Geo::Point", true},
        {"Geo::ModeAlias", "Geo::Other", true},
        {"Geo::CountAlias", "Geo::CountAlias2", true},  // both still aliases after one level
        {"Geo::CountAlias", "Int32", false},
        {"Geo::Points", "Geo::A2", false},
    };
    for (const Row& row : rows) {
        AnyType* a = model.find(row.a);
        AnyType* b = model.find(row.b);
        EXPECT_EQ(NLX::compare(a, b), row.equal) << row.a << " vs " << row.b;
        EXPECT_EQ(NLX::compare(b, a), row.equal) << row.b << " vs " << row.a;
    }
}

TEST(TypeCompare, IncompleteTypesAreUnequal) {
    TypeModelBuilder model;
    Sequence& a = model.sequence("Geo", "A", "Int32");
    Sequence& b = model.sequence("Geo", "B", "Int32");
    Alias& alias = model.alias("Geo", "C", "Int32");
    EXPECT_FALSE(NLX::compare(&a, &b));
    EXPECT_FALSE(NLX::compare(&alias, &alias));
    EXPECT_FALSE(NLX::compare(nullptr, &a));
}
