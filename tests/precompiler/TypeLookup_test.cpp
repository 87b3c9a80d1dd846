#include "TypeModelBuilder.h"

#include "ZetException.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string lookupError(const AnyType& from, const std::string& name) {
    try {
        from.getAnyTypeByString(name);
    } catch (const NLX::ZetException& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace

TEST(TypeLookup, NamesFoundAsGivenOrInTheAskingModule) {
    TypeModelBuilder model;
    Structure& point = model.structure("Geo", "Point", {});
    Structure& other = model.structure("Other", "Point", {});
    Structure& asker = model.structure("Geo", "Route", {});
    AnyType* int32 = model.find("Int32");
    AnyType* string8 = model.find("String8");

    struct Row {
        const char* name;
        AnyType* expected;
    };
    const Row rows[] = {
        {"Point", &point},         // bare name, own module
        {"Geo::Point", &point},    // qualified
        {"Other::Point", &other},  // qualified into another module
        {"Int32", int32},          // base types are registered bare
        {"String8", string8},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(asker.getAnyTypeByString(row.name), row.expected) << row.name;
    }
    // The registry is only read.
    const std::size_t registered = AnyType::m_mapNameAnyTypePtr.size();
    lookupError(asker, "Nowhere");
    EXPECT_EQ(AnyType::m_mapNameAnyTypePtr.size(), registered);
}

TEST(TypeLookup, UnknownNameIsReportedWithTheKeyTried) {
    TypeModelBuilder model;
    Structure& asker = model.structure("Geo", "Route", {});
    AnyType* primitive = model.find("Int32");
    EXPECT_EQ(lookupError(asker, "Nowhere"), "Ошибка. Тип данных Geo::Nowhere неопределен!");
    EXPECT_EQ(lookupError(asker, "Other::Nowhere"),
              "Ошибка. Тип данных Other::Nowhere неопределен!");
    // A primitive belongs to no module: the retry key starts with "::".
    EXPECT_EQ(lookupError(*primitive, "Point"), "Ошибка. Тип данных ::Point неопределен!");
    // Names are case-sensitive here.
    EXPECT_EQ(lookupError(asker, "route"), "Ошибка. Тип данных Geo::route неопределен!");
}

TEST(TypeLookup, RealTypeAsSeenFromAModule) {
    TypeModelBuilder model;
    model.alias("Geo", "Count", "Int32");
    model.alias("Geo", "CountAlias", "Count");
    model.structure("Geo", "Point", {});
    model.alias("Geo", "Place", "Point");
    model.alias("Geo", "Text", "String8");
    model.alias("Geo", "WideText", "String32");
    for (const char* name :
         {"Geo::Count", "Geo::CountAlias", "Geo::Place", "Geo::Text", "Geo::WideText"}) {
        model.find(name)->set();
    }
    struct Row {
        const char* type;
        const char* module;
        const char* expected;
    };
    const Row rows[] = {
        {"Int32", "Geo", "int32_t"},
        {"Geo::Count", "Main", "int32_t"},       // alias of a primitive
        {"Geo::CountAlias", "Main", "int32_t"},  // chain of aliases
        {"Geo::Point", "Geo", "Point"},
        {"Geo::Point", "Main", "Geo::Point"},
        {"Geo::Place", "Main", "Geo::Point"},  // alias of a structure: its target
        // The base strings belong to no module: their C++ spelling from every module.
        {"String8", "Geo", "std::string"},
        {"String32", "Main", "std::wstring"},
        {"Geo::Text", "Geo", "std::string"},
        {"Geo::WideText", "Main", "std::wstring"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(model.find(row.type)->getRealType(row.module), row.expected)
            << row.type << " from " << row.module;
    }
}

TEST(TypeLookup, MemberTypes) {
    TypeModelBuilder model;
    Structure& point = model.structure("Geo", "Point", {{"x", "Float64"}, {"label", "Name"}});
    Structure& name = model.structure("Geo", "Name", {});
    EXPECT_EQ(point.getMemberAnyType("x"), model.find("Float64"));
    EXPECT_EQ(point.getMemberAnyType("label"), &name);
    try {
        point.getMemberAnyType("X");
        FAIL() << "no error";
    } catch (const NLX::ZetException& error) {
        EXPECT_STREQ(error.what(), "В структуре Geo::Point нет поля X");
    }
}
