#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/Reader.h"
#include "precompiler/frontend/TopicDataTypes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace E = EditorInternalTypes;

namespace {

class ModelConversionTest : public ::testing::Test {
protected:
    ModelConversionTest() { m_model.m_namespace = "Geo"; }

    DDS_Types convert() {
        DDS_Types types;
        m_reader.ConvertData(m_model, &types);
        return types;
    }

    E::QMemberAgregate member(const char* name, const char* type) {
        E::QMemberAgregate record;
        record.m_name = name;
        record.m_type = type;
        return record;
    }

    E::VEXA_Types m_model;
    Reader m_reader{nullptr, nullptr, nullptr, nullptr};
};

TEST_F(ModelConversionTest, MapNamesLoseTheirOwnModule) {
    E::MapData map;
    map.m_name = "Geo::Table";
    map.m_typeElement = "Geo::Point";
    map.m_typeMapKey = "Int32";
    map.m_elementMaxLength = "12";
    map.m_definition = "Таблица";
    m_model.m_maps.append(map);
    map.m_name = "Geo::Far";
    map.m_typeElement = "Other::Point";
    map.m_elementMaxLength = "many";
    m_model.m_maps.append(map);
    const DDS_Types types = convert();
    EXPECT_EQ(types.m_moduleName, "Geo");
    const Map& table = types.m_constructedTypes.m_maps[0];
    EXPECT_EQ(table.m_Kind, MAP_TYPE);
    EXPECT_EQ(table.m_qualifiedName, "Table");
    EXPECT_EQ(table.m_cppName, "Table");
    EXPECT_EQ(table.m_valueTypeName, "Point");
    EXPECT_EQ(table.m_keyTypeName, "Int32");
    EXPECT_EQ(table.m_maxLength, 12);
    EXPECT_EQ(table.m_shared, SHARED_FALSE);
    EXPECT_EQ(table.m_cppTypeText, "...");
    EXPECT_EQ(table.m_definition, "Таблица");
    EXPECT_FALSE(table.m_fixedLength);
    EXPECT_EQ(table.m_extensibility, EXTENSIBILITY_FINAL);
    const Map& far = types.m_constructedTypes.m_maps[1];
    EXPECT_EQ(far.m_valueTypeName, "Other::Point");
    EXPECT_EQ(far.m_maxLength, 0);  // no number
}

TEST_F(ModelConversionTest, ArrayDimensions) {
    const struct {
        const char* bounds;
        std::vector<std::uint64_t> dimensions;
    } rows[] = {
        {"3 4", {3, 4}}, {"3  4", {3, 0, 4}}, {"7", {7}}, {"", {0}}, {"2 x", {2, 0}},
    };
    for (const auto& row : rows) {
        E::Array array;
        array.m_name = "Geo::Grid";
        array.m_type = "Geo::Cell";
        array.m_bounds = row.bounds;
        array.m_key = "true";
        m_model.m_arrays = {array};
        const DDS_Types types = convert();
        const Array& grid = types.m_constructedTypes.m_arrays[0];
        EXPECT_EQ(grid.m_dimensions, row.dimensions) << row.bounds;
        EXPECT_EQ(grid.m_elementTypeName, "Cell");
        EXPECT_EQ(grid.m_shared, SHARED_FALSE);
        EXPECT_TRUE(grid.m_key);
        EXPECT_EQ(grid.m_cppName, "Grid");
    }
}

TEST_F(ModelConversionTest, BitSetSizeByBound) {
    const struct {
        const char* bound;
        std::uint64_t size;
    } rows[] = {{"1", 1},  {"8", 1},  {"9", 2},  {"16", 2},  {"17", 4},
                {"32", 4}, {"33", 8}, {"64", 8}, {"100", 8}, {"", 1}};
    for (const auto& row : rows) {
        E::BitSet record;
        record.m_name = "Flags";
        record.m_bound = row.bound;
        E::BitElement element;
        element.m_name = "ON";
        element.m_flush = "-3";
        record.m_bitElements.append(element);
        m_model.m_bitSets = {record};
        const DDS_Types types = convert();
        const BitSet& flags = types.m_constructedTypes.m_bitSets[0];
        EXPECT_EQ(flags.m_size, row.size) << row.bound;
        EXPECT_EQ(flags.m_alignment, row.size) << row.bound;
        EXPECT_EQ(flags.m_packBuild, BUILD_DONE);
        EXPECT_EQ(flags.m_unPackBuild, BUILD_DONE);
        EXPECT_EQ(flags.m_lenPackedBuild, BUILD_NOT_NEEDED);
        EXPECT_EQ(flags.m_nextBuild, BUILD_PENDING);
        EXPECT_EQ(flags.m_elements[0].m_flush, -3);
    }
}

TEST_F(ModelConversionTest, EnumerationTypeAndValues) {
    const struct {
        const char* type;
        const char* value;
        TypeKind kind;
        std::int64_t expected;
    } rows[] = {
        {"Int16", "-5", INT_16_TYPE, -5},
        {"Int16", "40000", INT_16_TYPE, 40000},  // read as int, range is the checker's
        {"UInt16", "-1", UINT_16_TYPE, 0},
        {"UInt64", "18446744073709551615", UINT_64_TYPE, -1},
        {"Int64", "-9000000000", INT_64_TYPE, -9000000000},
        {"int16", "70000", INT_32_TYPE, 70000},  // case matters: not a known type
        {"", "x", INT_32_TYPE, 0},
    };
    for (const auto& row : rows) {
        E::Enumeration record;
        record.m_name = "Geo::Mode";
        record.m_type = row.type;
        record.m_key = "TRUE";
        E::Enumerator enumerator;
        enumerator.m_name = "A";
        enumerator.m_value = row.value;
        record.m_enumerators.append(enumerator);
        m_model.m_enumerations = {record};
        const DDS_Types types = convert();
        const Enumeration& mode = types.m_constructedTypes.m_enumerations[0];
        EXPECT_EQ(mode.m_TypeOfEnum, row.kind) << row.type;
        EXPECT_EQ(mode.m_enumerators[0].m_value, row.expected) << row.type << " " << row.value;
        EXPECT_EQ(mode.m_cppTypeText, "enum class Mode");
        EXPECT_FALSE(mode.m_key);
        EXPECT_EQ(mode.m_packBuild, BUILD_NOT_NEEDED);
    }
}

TEST_F(ModelConversionTest, StringsSequencesAndAliases) {
    const struct {
        const char* maxLength;
        std::uint64_t expected;
    } rows[] = {{"16", 16}, {"-1", String::UNBOUNDED}, {"", 0}};
    for (const auto& row : rows) {
        E::String record;
        record.m_name = "Geo::Name";
        record.m_type = "Geo::Letter";
        record.m_maxLength = row.maxLength;
        m_model.m_strings = {record};
        const DDS_Types types = convert();
        const String& name = types.m_constructedTypes.m_strings[0];
        EXPECT_EQ(name.m_maxLength, row.expected) << row.maxLength;
        EXPECT_EQ(name.m_elementTypeName, "Letter");
        EXPECT_EQ(name.m_shared, SHARED_NOT_GIVEN);
        EXPECT_EQ(name.m_lenPackedBuild, BUILD_NOT_NEEDED);
        EXPECT_FALSE(name.m_fixedLength);
    }
    E::Sequence sequence;
    sequence.m_name = "Geo::Points";
    sequence.m_seqType = "Other::Point";
    sequence.m_memberMaxLength = "100";
    m_model.m_sequences.append(sequence);
    E::Alias alias;
    alias.m_name = "Geo::Place";
    alias.m_type = "Geo::Point";
    m_model.m_aliases.append(alias);
    const DDS_Types types = convert();
    const Sequence& points = types.m_constructedTypes.m_sequences[0];
    EXPECT_EQ(points.m_cppName, "std::vector");
    EXPECT_EQ(points.m_elementTypeName, "Other::Point");
    EXPECT_EQ(points.m_maxLength, 100);
    const Alias& place = types.m_constructedTypes.m_aliases[0];
    EXPECT_EQ(place.m_qualifiedName, "Place");
    EXPECT_EQ(place.m_targetTypeName, "Point");
    EXPECT_EQ(place.m_cppName, "Point");
    EXPECT_EQ(place.m_targetType, nullptr);
}

TEST_F(ModelConversionTest, MembersAndCases) {
    E::StructureQ structure;
    structure.m_name = "Geo::Point";
    const struct {
        const char* shared;
        std::uint32_t expected;
    } sharedRows[] = {{"true", 1}, {"false", 2}, {"TRUE", 0}, {"", 0}};
    for (const auto& row : sharedRows) {
        E::QMemberAgregate m = member("x", "Geo::Inner");
        m.m_shared = row.shared;
        m.m_key = "true";
        m.m_optional = "true";
        m.m_default = "true";
        structure.m_members.append(m);
    }
    E::Werbatim verbatim;
    verbatim.m_language = "c++";
    verbatim.m_placement = "before";
    verbatim.m_text = "// text";
    structure.m_verbatims.append(verbatim);
    m_model.m_structures.append(structure);

    E::Union record;
    record.m_nameUnion = "Geo::Choice";
    record.m_typeDiscriminant = "Geo::Mode";
    E::QMemberAgregate first = member("first", "Int32");
    E::QMemberAgregate second = member("second", "Geo::Point");
    second.m_default = "true";
    second.m_key = "true";
    record.m_cases = {{"1", first}, {"2", member("other", "Int8")}, {"1", second}};
    m_model.m_unions.append(record);

    const DDS_Types types = convert();
    const Structure& point = types.m_constructedTypes.m_structures[0];
    EXPECT_EQ(point.m_cppTypeText, "Point");
    EXPECT_FALSE(point.m_isTopic);
    ASSERT_EQ(point.m_members.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(point.m_members[i].m_shared, sharedRows[i].expected) << sharedRows[i].shared;
        EXPECT_TRUE(point.m_members[i].m_key);
        EXPECT_TRUE(point.m_members[i].m_optional);
        EXPECT_FALSE(point.m_members[i].m_default);  // only union cases carry it
        EXPECT_EQ(point.m_members[i].m_typeName, "Inner");
    }
    EXPECT_EQ(point.m_verbatims[0].m_text, "// text");
    EXPECT_EQ(point.m_verbatims[0].m_placement, "before");

    const Union& choice = types.m_constructedTypes.m_unions[0];
    EXPECT_EQ(choice.m_discriminatorTypeName, "Mode");
    ASSERT_EQ(choice.m_cases.size(), 2u);
    ASSERT_EQ(choice.m_hashedCases.size(), 2u);
    for (const MemberAgregate* later : {&choice.m_cases.at("1"), &choice.m_hashedCases.at("1")}) {
        EXPECT_EQ(later->m_name, "second");
        EXPECT_EQ(later->m_typeName, "Point");
        EXPECT_TRUE(later->m_default);
        EXPECT_FALSE(later->m_key);
    }
    EXPECT_FALSE(choice.m_fixedLength);
}

TEST_F(ModelConversionTest, TopicKeys) {
    for (const char* name : {"Geo::Point", "Geo::Line"}) {
        E::StructureQ structure;
        structure.m_name = name;
        m_model.m_structures.append(structure);
    }
    const struct {
        const char* structName;
        const char* keys;
    } topics[] = {
        {"Geo::Point", "id, name"}, {"Line", "a.b ,  c"},
        {"Geo::Line", "a , b,"},  // replaces the Line entry above
        {"Missing", "id"},          {"Other::Point", "id"},
    };
    for (const auto& topic : topics) {
        E::TopicType record;
        record.m_structName = topic.structName;
        record.m_keys = topic.keys;
        m_model.m_topicTypes.append(record);
    }
    DDS_Types types = convert();
    TopicDataTypes result;
    result.m_topics["stale"] = nullptr;
    m_reader.ConvertTopics(m_model, &types, &result);
    EXPECT_EQ(result.m_moduleName, "Geo");
    EXPECT_TRUE(result.m_topics.empty());
    Structure* point = &types.m_constructedTypes.m_structures[0];
    Structure* line = &types.m_constructedTypes.m_structures[1];
    ASSERT_EQ(result.m_keys.size(), 2u);
    EXPECT_EQ(result.m_keys.at(point), (std::vector<std::string>{"id", "name"}));
    EXPECT_EQ(result.m_keys.at(line), (std::vector<std::string>{"a", "", "b"}));
}

}  // namespace
