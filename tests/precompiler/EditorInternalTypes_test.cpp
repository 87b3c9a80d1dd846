#include "precompiler/frontend/EditorInternalTypes.h"

#include <gtest/gtest.h>

using namespace EditorInternalTypes;

namespace {

String stringNamed(const char* name) {
    String s;
    s.m_name = QString::fromUtf8(name);
    return s;
}

}  // namespace

TEST(EditorInternalTypes, FreshRecordsCarryTheEditorDefaults) {
    const Enumeration enumeration;
    const StructureQ structure;
    const Union unionRecord;
    const Primitive primitive;
    EXPECT_EQ(KIND_ENUMERATION, enumeration.m_kind);
    EXPECT_EQ(KIND_STRUCTURE, structure.m_kind);
    EXPECT_EQ(KIND_UNION, unionRecord.m_kind);
    EXPECT_EQ(-1, primitive.m_kind);
    EXPECT_EQ(QColor(Qt::red), structure.m_color);
    // The editor reference is copied around; it must not start indeterminate.
    EXPECT_EQ(0u, structure.m_editorRef);
    for (bool flag : structure.m_editorFlags) {
        EXPECT_FALSE(flag);
    }
    // The model's own colour belongs to the editor: invalid until it sets one.
    EXPECT_FALSE(VEXA_Types().m_color.isValid());
}

TEST(EditorInternalTypes, StringGetterReadsOnlyTheFileStringsWhileAllNamesPutTheEditorListFirst) {
    VEXA_Types model;
    model.m_strings.append(stringNamed("FileString"));
    model.m_editorStrings.append(stringNamed("EditorString"));
    EXPECT_EQ(QStringList({"FileString"}), model.getNamesStringTypes());
    EXPECT_EQ(QStringList({"EditorString", "FileString"}), model.getAllTypesNames());
}

TEST(EditorInternalTypes, AllNamesFollowTheFixedKindOrderAndLeaveTopicsOut) {
    VEXA_Types model;
    // Filled against the expected order, so a swapped pair of lists shows.
    StructureQ structure;
    structure.m_name = "S";
    model.m_structures.append(structure);
    Union unionRecord;
    unionRecord.m_nameUnion = "U";
    model.m_unions.append(unionRecord);
    Alias alias;
    alias.m_name = "A";
    model.m_aliases.append(alias);
    BitSet bitSet;
    bitSet.m_name = "B";
    model.m_bitSets.append(bitSet);
    model.m_strings.append(stringNamed("Str"));
    Array array;
    array.m_name = "Arr";
    model.m_arrays.append(array);
    Sequence sequence;
    sequence.m_name = "Seq";
    model.m_sequences.append(sequence);
    MapData map;
    map.m_name = "M";
    model.m_maps.append(map);
    Enumeration enumeration;
    enumeration.m_name = "E";
    model.m_enumerations.append(enumeration);
    Primitive primitive;
    primitive.m_name = "P";
    model.m_primitives.append(primitive);
    TopicType topic;
    topic.m_structName = "S";
    model.m_topicTypes.append(topic);

    EXPECT_EQ(QStringList({"P", "E", "M", "Seq", "Arr", "Str", "B", "A", "U", "S"}),
              model.getAllTypesNames());
}

TEST(EditorInternalTypes, GettersReturnTheNamesOfOneListInOrder) {
    VEXA_Types model;
    for (const char* name : {"Second", "First", "Second"}) {
        StructureQ s;
        s.m_name = name;
        model.m_structures.append(s);
    }
    Union named;
    named.m_nameUnion = "Choice";
    model.m_unions.append(named);
    model.m_unions.append(Union());  // a union without nameUnion has an empty name

    EXPECT_EQ(QStringList({"Second", "First", "Second"}), model.getNamesStructTypes());
    EXPECT_EQ(QStringList({"Choice", ""}), model.getNamesUnionTypes());
    EXPECT_TRUE(model.getNamesEnumTypes().isEmpty());
    EXPECT_TRUE(model.getNamesMapTypes().isEmpty());
}
