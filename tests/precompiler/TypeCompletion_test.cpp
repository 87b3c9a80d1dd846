#include "TypeModelBuilder.h"

#include "precompiler/frontend/INVALID_BASE_TYPE2.h"

#include "ZetException.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

namespace {

const std::uint64_t kUnbounded = String::UNBOUNDED;

}  // namespace

TEST(TypeCompletion, StringTexts) {
    struct Row {
        const char* name;
        const char* element;
        std::uint64_t maxLength;
        const char* text;
        const char* cppName;
        std::uint64_t size;
    };
    const Row rows[] = {
        {"Bounded", "Char8", 16, "std::string<16>", "Bounded", 0},
        {"Free", "Char8", kUnbounded, "std::string", "Free", 0},
        {"Wide", "Char32", 5, "std::wstring<5>", "Wide", 0},
        {"AllOnes32", "Char8", 4294967295u, "std::string<-1>", "AllOnes32", 0},
        {"ViaAlias", "Letter", 3, "std::wstring<3>", "ViaAlias", 32},
        {"ViaAlias8", "Letter8", kUnbounded, "std::string", "ViaAlias8", 32},
    };
    TypeModelBuilder model;
    model.alias("Geo", "Letter", "Char32");
    model.alias("Geo", "Letter8", "Char8");
    for (const Row& row : rows) {
        String& text = model.string("Geo", row.name, row.element, row.maxLength);
        text.set();
        EXPECT_TRUE(text.m_isSet) << row.name;
        EXPECT_EQ(text.m_cppTypeText, row.text) << row.name;
        EXPECT_EQ(text.m_cppName, row.cppName) << row.name;
        EXPECT_EQ(text.m_size, row.size) << row.name;
        EXPECT_EQ(text.m_alignment, 4u) << row.name;
        EXPECT_FALSE(text.isFixedLength()) << row.name;
        EXPECT_EQ(text.m_dependencies, AnyType::TypeSet{text.getAnyTypeByString(row.element)})
            << row.name;
    }
}

TEST(TypeCompletion, BaseStrings) {
    TypeModelBuilder model;
    AnyType* narrow = model.find("String8");
    AnyType* wide = model.find("String32");
    EXPECT_TRUE(narrow->set().empty());
    wide->set();
    EXPECT_EQ(narrow->m_cppName, "std::string");
    EXPECT_EQ(narrow->m_cppTypeText, "std::string");
    EXPECT_EQ(wide->m_cppName, "std::wstring");
    EXPECT_EQ(wide->m_cppTypeText, "std::wstring");
    EXPECT_EQ(wide->m_alignment, 4u);

    // A bound shows in the type text only, never in the name.
    String bounded;
    bounded.m_Kind = STRING_TYPE;
    bounded.m_qualifiedName = "String8";
    bounded.m_maxLength = 7;
    bounded.set();
    EXPECT_EQ(bounded.m_cppTypeText, "std::string<7>");
    EXPECT_EQ(bounded.m_cppName, "std::string");
}

TEST(TypeCompletion, StringOverAnAliasOfAnotherTypeIsRefused) {
    TypeModelBuilder model;
    model.alias("Geo", "Number", "Int32");
    String& text = model.string("Geo", "Digits", "Number", 4);
    try {
        text.set();
        FAIL() << "no error";
    } catch (const NLX::INVALID_BASE_TYPE2& error) {
        EXPECT_STREQ(error.what(), "Не верен базовый тип (цикл) Тип String. Тип елемента Number");
    }
    EXPECT_FALSE(text.m_isSet);
}

TEST(TypeCompletion, EnumerationTakesItsUnderlyingType) {
    struct Row {
        TypeKind underlying;
        std::uint64_t size;
        const char* text;
    };
    const Row rows[] = {
        {INT_16_TYPE, 2, "enum class Mode : int16_t"},
        {UINT_16_TYPE, 2, "enum class Mode : uint16_t"},
        {INT_32_TYPE, 4, "enum class Mode : int32_t"},
        {UINT_32_TYPE, 4, "enum class Mode : uint32_t"},
        {INT_64_TYPE, 8, "enum class Mode : int64_t"},
        {UINT_64_TYPE, 8, "enum class Mode : uint64_t"},
    };
    for (const Row& row : rows) {
        TypeModelBuilder model;
        Enumeration& mode = model.enumeration("Geo", "Mode", row.underlying);
        const AnyType::TypeSet first = mode.set();
        EXPECT_EQ(mode.m_size, row.size);
        EXPECT_EQ(mode.m_alignment, row.size);
        EXPECT_EQ(mode.m_cppTypeText, row.text);
        EXPECT_EQ(first, AnyType::TypeSet{model.find(AnyType::m_TypeRep.getDDS(row.underlying))});
        // Completed once: a second call changes nothing.
        EXPECT_EQ(mode.set(), first);
        EXPECT_EQ(mode.m_cppTypeText, row.text);
        EXPECT_TRUE(mode.isFixedLength());
    }
}

TEST(TypeCompletion, ArrayOfSimpleElements) {
    TypeModelBuilder model;
    Array& grid = model.array("Geo", "Grid", "Float64", {4, 5});
    grid.set();
    EXPECT_EQ(grid.m_cppTypeText, "std::array <std::array <double,5 >,4 >");
    EXPECT_EQ(grid.m_elementCount, 20u);
    EXPECT_EQ(grid.m_size, 160u);
    EXPECT_EQ(grid.m_alignment, 8u);
    EXPECT_TRUE(grid.isFixedLength());
    EXPECT_EQ(grid.m_packBuild, BUILD_NOT_NEEDED);
    EXPECT_EQ(grid.m_unPackBuild, BUILD_NOT_NEEDED);
    EXPECT_EQ(grid.m_lenPackedBuild, BUILD_NOT_NEEDED);
    EXPECT_EQ(grid.m_nextBuild, BUILD_PENDING);
    EXPECT_EQ(grid.m_elementType, model.find("Float64"));

    Array& cube = model.array("Geo", "Cube", "Int32", {2, 3, 0});
    cube.set();
    EXPECT_EQ(cube.m_cppTypeText, "std::array <std::array <std::array <int32_t,0 >,3 >,2 >");
    EXPECT_EQ(cube.m_elementCount, 0u);
    EXPECT_EQ(cube.m_size, 0u);

    model.enumeration("Geo", "Mode", UINT_16_TYPE);
    Array& modes = model.array("Geo", "Modes", "Mode", {3});
    modes.set();
    EXPECT_EQ(modes.m_size, 6u);
    EXPECT_EQ(modes.m_packBuild, BUILD_NOT_NEEDED);

    model.bitSet("Geo", "Flags", 20);
    Array& flags = model.array("Geo", "FlagRow", "Flags", {3});
    flags.set();
    EXPECT_EQ(flags.m_size, 12u);
    EXPECT_EQ(flags.m_lenPackedBuild, BUILD_NOT_NEEDED);
    EXPECT_EQ(flags.m_packBuild, BUILD_PENDING);  // bit sets pack through their own helper
}

TEST(TypeCompletion, ArrayOfStructures) {
    TypeModelBuilder model;
    model.structure("Other", "Point", {{"x", "Float32"}, {"y", "Float32"}});
    model.structure("Geo", "Local", {{"x", "Int16"}});
    Array& points = model.array("Geo", "Points", "Other::Point", {2});
    Array& locals = model.array("Geo", "Locals", "Local", {2, 2});
    points.set();
    locals.set();
    EXPECT_EQ(points.m_cppTypeText, "std::array <Other::Point,2 >");
    EXPECT_EQ(locals.m_cppTypeText, "std::array <std::array <Local,2 >,2 >");
    EXPECT_EQ(points.m_size, 0u);
    EXPECT_EQ(points.m_alignment, 4u);
    EXPECT_EQ(points.m_packBuild, BUILD_PENDING);
    EXPECT_EQ(points.m_unPackBuild, BUILD_PENDING);
    EXPECT_EQ(points.m_lenPackedBuild, BUILD_PENDING);
    EXPECT_TRUE(points.isFixedLength());
    EXPECT_EQ(points.m_dependencies.count(model.find("Float32")), 1u);
}

TEST(TypeCompletion, ArraySizesThatDoNotFitAreRefused) {
    struct Row {
        const char* element;
        std::vector<std::uint64_t> dimensions;
    };
    const Row rows[] = {
        {"Int32", {std::uint64_t(1) << 32, std::uint64_t(1) << 32}},  // count overflows
        {"Float64", {std::uint64_t(1) << 61}},                        // size overflows
        {"Byte", {}},                                                 // no dimension
    };
    for (const Row& row : rows) {
        TypeModelBuilder model;
        Array& array = model.array("Geo", "Huge", row.element, row.dimensions);
        EXPECT_THROW(array.set(), NLX::ZetException) << row.element;
        EXPECT_FALSE(array.m_isSet);
    }
    // Just below the limit is still accepted.
    TypeModelBuilder model;
    Array& big = model.array("Geo", "Big", "Byte", {std::uint64_t(1) << 32, 2});
    big.set();
    EXPECT_EQ(big.m_elementCount, std::uint64_t(1) << 33);
    EXPECT_EQ(big.m_size, std::uint64_t(1) << 33);
}

TEST(TypeCompletion, SequenceSpellingAndPackFlags) {
    TypeModelBuilder model;
    model.structure("Geo", "Point", {{"x", "Int32"}});
    model.structure("Other", "Far", {{"x", "Int32"}});
    model.enumeration("Geo", "Mode", INT_32_TYPE);
    model.string("Geo", "Name", "Char8", 8);
    model.alias("Geo", "Count", "Int32");
    model.alias("Geo", "CountAlias", "Count");
    struct Row {
        const char* element;
        const char* text;
        enBuildPack pack;
    };
    const Row rows[] = {
        {"Int32", "std::vector<int32_t>", BUILD_NOT_NEEDED},
        {"String8", "std::vector<std::string>", BUILD_NOT_NEEDED},
        {"Name", "std::vector<Name>", BUILD_NOT_NEEDED},
        {"Mode", "std::vector<Mode>", BUILD_NOT_NEEDED},
        {"Count", "std::vector<Count>", BUILD_NOT_NEEDED},
        {"CountAlias", "std::vector<CountAlias>", BUILD_PENDING},  // one level only
        {"Point", "std::vector<Point>", BUILD_PENDING},
        {"Other::Far", "std::vector<Other::Far>", BUILD_PENDING},
    };
    int n = 0;
    for (const Row& row : rows) {
        Sequence& sequence = model.sequence("Geo", "S" + std::to_string(n++), row.element);
        sequence.set();
        EXPECT_EQ(sequence.m_cppTypeText, row.text) << row.element;
        EXPECT_EQ(sequence.m_cppName, sequence.m_shortName);
        EXPECT_EQ(sequence.m_packBuild, row.pack) << row.element;
        EXPECT_EQ(sequence.m_unPackBuild, row.pack) << row.element;
        EXPECT_EQ(sequence.m_lenPackedBuild, BUILD_PENDING);
        EXPECT_EQ(sequence.m_alignment, 4u);
        EXPECT_EQ(sequence.m_elementType, sequence.getAnyTypeByString(row.element));
        EXPECT_EQ(sequence.m_dependencies.count(sequence.m_elementType), 1u);
    }
}

TEST(TypeCompletion, MapAndAlias) {
    TypeModelBuilder model;
    model.structure("Geo", "Point", {{"x", "Float32"}});
    model.enumeration("Geo", "Mode", INT_64_TYPE);
    Map& table = model.map("Geo", "Table", "Mode", "Point");
    table.set();
    EXPECT_EQ(table.m_cppTypeText, "std::map<Mode,Point>");
    EXPECT_EQ(table.m_cppName, "Table");
    EXPECT_EQ(table.m_keyType, model.find("Geo::Mode"));
    EXPECT_EQ(table.m_valueType, model.find("Geo::Point"));
    EXPECT_EQ(table.m_dependencies,
              (AnyType::TypeSet{model.find("Geo::Mode"), model.find("Geo::Point"),
                                model.find("Int64"), model.find("Float32")}));
    EXPECT_EQ(table.m_alignment, 4u);
    EXPECT_FALSE(table.isFixedLength());

    // Key and value are spelled as the sequences and arrays spell their elements.
    model.enumeration("Other", "Level", INT_32_TYPE);
    model.structure("Other", "Far", {{"x", "Int32"}});
    struct Row {
        const char* key;
        const char* value;
        const char* text;
    };
    const Row rows[] = {
        {"Other::Level", "Other::Far", "std::map<Other::Level,Other::Far>"},
        {"String8", "String32", "std::map<std::string,std::wstring>"},
        {"Int16", "Geo::Point", "std::map<int16_t,Point>"},
    };
    int n = 0;
    for (const Row& row : rows) {
        Map& spelled = model.map("Geo", "M" + std::to_string(n++), row.key, row.value);
        spelled.set();
        EXPECT_EQ(spelled.m_cppTypeText, row.text) << row.key << " " << row.value;
    }

    model.bitSet("Geo", "Flags", 40);
    Alias& flags = model.alias("Geo", "Switches", "Flags");
    flags.set();
    EXPECT_EQ(flags.m_cppName, "Switches");
    EXPECT_EQ(flags.m_size, 8u);
    EXPECT_EQ(flags.m_alignment, 8u);
    EXPECT_EQ(flags.m_packBuild, BUILD_DONE);
    EXPECT_EQ(flags.m_unPackBuild, BUILD_DONE);
    EXPECT_EQ(flags.m_lenPackedBuild, BUILD_NOT_NEEDED);
    model.find("Geo::Flags")->m_nextBuild = BUILD_DUE;
    EXPECT_EQ(flags.m_nextBuild, BUILD_PENDING);  // not copied
    EXPECT_TRUE(flags.isFixedLength());
}

TEST(TypeCompletion, FixedLength) {
    TypeModelBuilder model;
    model.sequence("Geo", "Points", "Int32");
    model.array("Geo", "Row", "Int32", {3});
    model.enumeration("Geo", "Mode", INT_32_TYPE);
    model.string("Geo", "Name", "Char8", 10);
    model.bitSet("Geo", "Flags", 3);
    model.unionType("Geo", "Choice", "Int32", {{"1", "Int32"}});
    model.structure("Geo", "WithSequence", {{"a", "Int16"}, {"points", "Points"}});
    model.structure("Geo", "Plain", {{"row", "Row"}, {"mode", "Mode"}, {"flags", "Flags"}});
    model.structure("Geo", "Outer", {{"inner", "WithSequence"}});
    model.structure("Geo", "HoldsUnion", {{"choice", "Choice"}});
    model.alias("Geo", "NameAlias", "Name");
    model.alias("Geo", "PlainAlias", "Plain");
    model.array("Geo", "Names", "String8", {2});
    struct Row {
        const char* type;
        bool fixed;
    };
    const Row rows[] = {
        {"Geo::WithSequence", false}, {"Geo::Plain", true},
        {"Geo::Outer", false},        {"Geo::HoldsUnion", false},
        {"Geo::NameAlias", false},    {"Geo::PlainAlias", true},
        {"Geo::Names", false},        {"Geo::Choice", false},
        {"Geo::Flags", true},         {"Int32", true},
    };
    for (const Row& row : rows) {
        AnyType* type = model.find(row.type);
        type->set();
        EXPECT_EQ(type->isFixedLength(), row.fixed) << row.type;
    }
    EXPECT_FALSE(model.find("Geo::WithSequence")->m_fixedLength);
    EXPECT_TRUE(model.find("Geo::Plain")->m_fixedLength);
}

TEST(TypeCompletion, StructureAlignmentAndDependencies) {
    TypeModelBuilder model;
    model.structure("Geo", "Inner", {{"d", "Float64"}});
    Structure& outer = model.structure("Geo", "Outer", {{"c", "Char8"}, {"inner", "Inner"}});
    Structure& nested = model.structure("Geo", "Nested", {{"inner", "Inner"}, {"b", "Byte"}});
    Structure& empty = model.structure("Geo", "Empty", {});
    outer.set();
    nested.set();
    empty.set();
    EXPECT_EQ(outer.m_alignment, 1u);
    EXPECT_EQ(nested.m_alignment, 8u);
    EXPECT_EQ(outer.m_dependencies, (AnyType::TypeSet{model.find("Char8"), model.find("Geo::Inner"),
                                                      model.find("Float64")}));
    EXPECT_TRUE(empty.m_isSet);
    EXPECT_EQ(empty.m_alignment, 1u);
    EXPECT_EQ(empty.m_size, 0u);
    EXPECT_TRUE(empty.isFixedLength());
}

TEST(TypeCompletion, TopicKeyTypes) {
    TypeModelBuilder model;
    model.structure("Geo", "Deep", {{"c", "UInt64"}});
    model.structure("Geo", "Inner", {{"b", "Int16"}, {"deep", "Deep"}, {"s", "String8"}});
    Structure& topic =
        model.structure("Geo", "Topic", {{"id", "Int32"}, {"a", "Inner"}, {"name", "String8"}});
    topic.m_isTopic = true;
    topic.m_keyPaths = {"a.b", "id", "a.deep.c", "a.x", "nothing", "a", "b"};
    topic.set();
    ASSERT_EQ(topic.m_keyTypes.size(), 7u);
    EXPECT_EQ(topic.m_keyTypes[0], model.find("Int16"));
    EXPECT_EQ(topic.m_keyTypes[1], model.find("Int32"));
    EXPECT_EQ(topic.m_keyTypes[2], model.find("UInt64"));
    EXPECT_EQ(topic.m_keyTypes[3], nullptr);
    EXPECT_EQ(topic.m_keyTypes[4], nullptr);
    EXPECT_EQ(topic.m_keyTypes[5], model.find("Geo::Inner"));
    EXPECT_EQ(topic.m_keyTypes[6], nullptr);  // "b" is only below "a"

    // Not a topic: no key types, whatever paths it carries.
    Structure& plain = model.structure("Geo", "Plain", {{"id", "Int32"}});
    plain.m_keyPaths = {"id"};
    plain.set();
    EXPECT_TRUE(plain.m_keyTypes.empty());

    // Paths go on below a member whose type is an alias chain of a structure, completed or
    // not; the member itself keeps its alias type.
    model.alias("Geo", "InnerAlias", "Inner");
    model.alias("Geo", "InnerAlias2", "InnerAlias");
    Structure& viaAlias =
        model.structure("Geo", "ViaAlias", {{"a", "InnerAlias"}, {"z", "InnerAlias2"}});
    EXPECT_EQ(viaAlias.getKeysAnyType2({"a.b", "a", "z.deep.c"}, ""),
              (std::vector<AnyType*>{model.find("Int16"), model.find("Geo::InnerAlias"),
                                     model.find("UInt64")}));
    viaAlias.m_isTopic = true;
    viaAlias.m_keyPaths = {"z.deep.c", "a.s"};
    viaAlias.set();
    EXPECT_EQ(viaAlias.m_keyTypes,
              (std::vector<AnyType*>{model.find("UInt64"), model.find("String8")}));
}

TEST(TypeCompletion, CyclesAreRefused) {
    struct Case {
        const char* name;
        std::function<AnyType*(TypeModelBuilder&)> build;
        const char* text;  // empty: only the exception type is checked
    };
    const Case cases[] = {
        {"structure containing itself",
         [](TypeModelBuilder& m) -> AnyType* {
             return &m.structure("Geo", "T", {{"a", "Int32"}, {"self", "T"}});
         },
         "Не верен базовый тип (цикл). Tип Geo::T ссылается сам на себя"},
        {"structure through another one",
         [](TypeModelBuilder& m) -> AnyType* {
             m.structure("Geo", "B", {{"a", "A"}});
             return &m.structure("Geo", "A", {{"b", "B"}});
         },
         "Не верен базовый тип (цикл). Tип Geo::A ссылается сам на себя"},
        {"structure through a sequence",
         [](TypeModelBuilder& m) -> AnyType* {
             m.sequence("Geo", "List", "Node");
             return &m.structure("Geo", "Node", {{"next", "List"}});
         },
         "Не верен базовый тип (цикл). Tип Geo::Node ссылается сам на себя"},
        {"alias cycle",
         [](TypeModelBuilder& m) -> AnyType* {
             m.alias("Geo", "B", "A");
             return &m.alias("Geo", "A", "B");
         },
         "Не верен базовый тип (цикл). Тип Geo::A ссылается сам на себя"},
        {"sequence of itself",
         [](TypeModelBuilder& m) -> AnyType* { return &m.sequence("Geo", "S", "S"); },
         "Не верен базовый тип (цикл). Тип Geo::S ссылается сам на себя"},
        {"array of itself",
         [](TypeModelBuilder& m) -> AnyType* { return &m.array("Geo", "R", "R", {2}); }, ""},
        {"map of itself",
         [](TypeModelBuilder& m) -> AnyType* { return &m.map("Geo", "M", "Int32", "M"); }, ""},
        {"union of itself",
         [](TypeModelBuilder& m) -> AnyType* {
             return &m.unionType("Geo", "U", "Int32", {{"1", "U"}});
         },
         ""},
        {"alias of a sequence of the alias",
         [](TypeModelBuilder& m) -> AnyType* {
             m.sequence("Geo", "S", "A");
             return &m.alias("Geo", "A", "S");
         },
         ""},
    };
    for (const Case& c : cases) {
        TypeModelBuilder model;
        AnyType* type = c.build(model);
        try {
            type->set();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const NLX::INVALID_BASE_TYPE2& error) {
            if (*c.text != '\0') {
                EXPECT_STREQ(error.what(), c.text) << c.name;
            }
        }
        EXPECT_FALSE(type->m_isSet) << c.name;
        // A refused cycle leaves no loop behind for the queries.
        EXPECT_FALSE(type->isLenghthAsSimple()) << c.name;
    }
}

TEST(TypeCompletion, RepeatedMemberTypesAreNoCycle) {
    TypeModelBuilder model;
    model.bitSet("Geo", "Flags", 4);
    model.structure("Geo", "Point", {{"x", "Int32"}});
    model.unionType("Geo", "Choice", "Int16", {{"1", "Point"}, {"2", "Point"}});
    Structure& twice = model.structure(
        "Geo", "Twice",
        {{"f", "Flags"}, {"g", "Flags"}, {"p", "Point"}, {"q", "Point"}, {"c", "Choice"}});
    EXPECT_NO_THROW(twice.set());
    EXPECT_TRUE(twice.m_isSet);
    EXPECT_EQ(twice.m_alignment, 1u);
}

TEST(TypeCompletion, UnionCases) {
    TypeModelBuilder model;
    model.structure("Geo", "Point", {{"x", "Float32"}});
    model.sequence("Geo", "Points", "Point");
    model.enumeration("Geo", "Kind", UINT_32_TYPE);
    Union& choice = model.unionType("Geo", "Choice", "Kind", {{"A", "Point"}, {"B", "Points"}});
    choice.set();
    EXPECT_TRUE(choice.m_isSet);
    EXPECT_EQ(choice.m_discriminatorType, model.find("Geo::Kind"));
    ASSERT_EQ(choice.m_caseTypes.size(), 2u);
    // In the order of the ordered case table, whatever the hashed one does.
    std::size_t i = 0;
    for (const auto& entry : choice.m_cases) {
        EXPECT_EQ(choice.m_caseTypes[i++], choice.getAnyTypeByString(entry.second.m_typeName));
    }
    // The discriminator and what the case types depend on; not the case types themselves.
    EXPECT_EQ(choice.m_dependencies,
              (AnyType::TypeSet{model.find("Geo::Kind"), model.find("UInt32"),
                                model.find("Geo::Point"), model.find("Float32")}));

    // Enough cases that the hashed table's order is not the label order.
    const char* const kinds[] = {"Int16", "Float32", "Geo::Point", "Byte"};
    TypeModelBuilder::Members many;
    std::vector<AnyType*> expected;
    for (char label = 'A'; label <= 'P'; ++label) {
        const char* type = kinds[(label * 7) % 4];
        many.push_back({std::string(1, label), type});
        expected.push_back(model.find(type));
    }
    Union& wide = model.unionType("Geo", "Wide", "Char8", many);
    wide.set();
    EXPECT_EQ(wide.m_caseTypes, expected);

    Union& empty = model.unionType("Geo", "Empty", "Int16", {});
    empty.set();
    EXPECT_TRUE(empty.m_isSet);
    EXPECT_TRUE(empty.m_caseTypes.empty());
}

TEST(TypeCompletion, UnknownNamesPassThrough) {
    TypeModelBuilder model;
    Structure& broken = model.structure("Geo", "Broken", {{"x", "Missing"}});
    try {
        broken.set();
        FAIL() << "no error";
    } catch (const NLX::ZetException& error) {
        EXPECT_STREQ(error.what(), "Ошибка. Тип данных Geo::Missing неопределен!");
    }
    EXPECT_FALSE(broken.m_isSet);
}

// A chain of n types L0 -> L1 -> ... -> L(n-1) -> Int32, each link of the given kind.
TEST(TypeCompletion, ChainsDeeperThanTheLimitAreRefused) {
    const std::uint32_t limit = AnyType::MAX_NESTING;
    enum class Link { Alias, Structure, Sequence, Map };
    auto build = [](TypeModelBuilder& model, Link link, std::uint32_t n) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::string name = "L" + std::to_string(i);
            const std::string next = i + 1 < n ? "L" + std::to_string(i + 1) : "Int32";
            switch (link) {
                case Link::Alias:
                    model.alias("Geo", name, next);
                    break;
                case Link::Structure:
                    model.structure("Geo", name, {{"a", "Byte"}, {"next", next}});
                    break;
                case Link::Sequence:
                    model.sequence("Geo", name, next);
                    break;
                case Link::Map:
                    model.map("Geo", name, "Int16", next);
                    break;
            }
        }
    };
    struct Row {
        const char* name;
        Link link;
        std::uint32_t length;
        bool fromFarEnd;      // each link completed after the one it refers to
        const char* refused;  // the type named in the refusal; null: accepted
    };
    const Row rows[] = {
        {"aliases at the limit", Link::Alias, limit, false, nullptr},
        {"structures at the limit, far end first", Link::Structure, limit, true, nullptr},
        {"aliases over the limit", Link::Alias, limit + 1, false, "Geo::L256"},
        {"aliases over the limit, far end first", Link::Alias, limit + 1, true, "Geo::L0"},
        {"structures over the limit", Link::Structure, limit + 1, false, "Geo::L256"},
        {"structures over the limit, far end first", Link::Structure, limit + 1, true, "Geo::L0"},
        {"sequences far over the limit", Link::Sequence, 20000, false, "Geo::L256"},
        {"maps over the limit, far end first", Link::Map, limit + 1, true, "Geo::L0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TypeModelBuilder model;
        build(model, row.link, row.length);
        AnyType* top = model.find("Geo::L0");
        std::string error;
        try {
            if (row.fromFarEnd) {
                for (std::uint32_t i = row.length; i-- > 0;) {
                    model.find("Geo::L" + std::to_string(i))->set();
                }
            } else {
                top->set();
            }
        } catch (const NLX::ZetException& refusal) {
            error = refusal.what();
        }
        if (row.refused == nullptr) {
            EXPECT_EQ(error, "");
            EXPECT_TRUE(top->m_isSet);
            // Every link, Int32, and the Byte member of the structures.
            EXPECT_EQ(top->m_dependencies.size(), row.length + (row.link == Link::Alias ? 0 : 1));
            // An alias chain is followed to its end by this query.
            EXPECT_EQ(top->isLenghthAsSimple(), row.link == Link::Alias);
        } else {
            EXPECT_EQ(error, std::string("Ошибка: AnyType::set. Тип ") + row.refused +
                                 " вложен глубже 256 уровней");
            EXPECT_FALSE(top->m_isSet);
        }
    }
}
