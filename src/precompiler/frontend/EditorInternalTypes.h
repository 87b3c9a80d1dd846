#ifndef TESSGEN_FRONTEND_EDITORINTERNALTYPES_H
#define TESSGEN_FRONTEND_EDITORINTERNALTYPES_H

// Records of one model file, element for element and all values as the texts found in the
// file. Nothing here is checked or converted. The flags, colours, second names, the second
// string list and the editor references belong to the graphical model editor: the precompiler
// only initialises and copies them.

#include <QColor>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

namespace EditorInternalTypes {

// Kind codes of the type records (the type model's numbering).
enum RecordKind : std::int32_t {
    KIND_UNKNOWN_PRIMITIVE = -1,
    KIND_ENUMERATION = 14,
    KIND_MAP = 15,
    KIND_SEQUENCE = 16,
    KIND_ARRAY = 17,
    KIND_STRING = 18,
    KIND_BITSET = 19,
    KIND_ALIAS = 20,
    KIND_UNION = 21,
    KIND_STRUCTURE = 22
};

// Handle the editor keeps on its own objects; zero when read from a file.
using EditorReference = std::uint64_t;

struct AloneModule {
    QString m_includeNamespace;
    QString m_includeFile;
    QString m_annotations;
};

struct Primitive {
    QString m_name;
    QString m_type;
    QString m_key;
    QString m_definition;
    bool m_editorFlags[4] = {};
    std::int32_t m_kind = KIND_UNKNOWN_PRIMITIVE;  // 1..13 by m_type
    QColor m_color{Qt::red};
    EditorReference m_editorRef = 0;
};

struct Enumerator {
    QString m_name;
    QString m_value;
    QString m_definition;
    bool m_editorFlags[2] = {};
};

struct Enumeration {
    QString m_name;
    QString m_secondName;
    QString m_key;
    QString m_extensibility;
    QString m_type;  // underlying integer type
    bool m_editorFlags[6] = {};
    QList<Enumerator> m_enumerators;
    QString m_definition;
    QColor m_color{Qt::red};
    std::int32_t m_kind = KIND_ENUMERATION;
    EditorReference m_editorRef = 0;
};

struct MapData {
    QString m_name;
    QString m_secondName;
    QString m_typeElement;
    QString m_typeMapKey;
    QString m_elementMaxLength;
    QString m_definition;
    QString m_shared;
    bool m_editorFlags[6] = {};
    QColor m_color{Qt::red};
    std::int32_t m_kind = KIND_MAP;
    EditorReference m_editorRef = 0;
};

struct Sequence {
    QString m_name;
    QString m_secondName;
    QString m_seqType;
    QString m_memberMaxLength;
    QString m_shared;
    bool m_editorFlags[5] = {};
    QString m_definition;
    QColor m_color{Qt::red};
    std::int32_t m_kind = KIND_SEQUENCE;
    EditorReference m_editorRef = 0;
};

struct Array {
    QString m_name;
    QString m_secondName;
    QString m_type;
    QString m_shared;
    QString m_bounds;  // dimensions separated by one blank
    QString m_key;
    bool m_editorFlags[6] = {};
    QString m_definition;
    QColor m_color{Qt::red};
    std::int32_t m_kind = KIND_ARRAY;
    EditorReference m_editorRef = 0;
};

struct String {
    QString m_name;
    QString m_secondName;
    QString m_type;
    QString m_key;
    QString m_maxLength;
    bool m_editorFlags[5] = {};
    QColor m_color{Qt::red};
    QString m_definition;
    std::int32_t m_kind = KIND_STRING;
    EditorReference m_editorRef = 0;
};

struct BitElement {
    QString m_name;
    QString m_flush;
    QString m_definition;
    bool m_editorFlags[2] = {};
};

struct BitSet {
    QString m_name;
    QString m_secondName;
    QString m_bound;
    QVector<BitElement> m_bitElements;
    bool m_editorFlags[4] = {};
    QColor m_color{Qt::red};
    QString m_definition;
    std::int32_t m_kind = KIND_BITSET;
    EditorReference m_editorRef = 0;
};

struct Alias {
    QString m_name;
    QString m_secondName;
    QString m_type;
    bool m_editorFlags[3] = {};
    QString m_definition;
    QColor m_color{Qt::red};
    std::int32_t m_kind = KIND_ALIAS;
    EditorReference m_editorRef = 0;
};

struct Werbatim {
    QString m_language;
    QString m_placement;
    QString m_text;
};

struct QMemberAgregate {
    QString m_name;
    QString m_type;
    QString m_key;
    QString m_shared;
    QString m_optional;
    QString m_default;
    bool m_editorFlags[7] = {};
    QString m_definition;
};

// One case of a union: its label text and its member.
using UnionCase = QPair<QString, QMemberAgregate>;

struct Union {
    QString m_nameUnion;
    QString m_secondName;
    QString m_typeDiscriminant;
    QString m_key;
    QVector<UnionCase> m_cases;
    QVector<Werbatim> m_verbatims;
    bool m_editorFlags[6] = {};
    QColor m_color{Qt::red};
    QString m_definition;
    std::int32_t m_kind = KIND_UNION;
    EditorReference m_editorRef = 0;
};

struct StructureQ {
    QString m_name;
    QString m_secondName;
    QList<QMemberAgregate> m_members;
    QVector<Werbatim> m_verbatims;
    bool m_editorFlags[4] = {};
    QColor m_color{Qt::red};
    QString m_definition;
    std::int32_t m_kind = KIND_STRUCTURE;
    EditorReference m_editorRef = 0;
};

struct TopicType {
    QString m_structName;
    QString m_keys;  // key member names joined with ", "
    bool m_editorFlags[4] = {};
    QColor m_color{Qt::red};
    QString m_definition;
};

// The records of one model file (one module).
struct VEXA_Types {
    QVector<AloneModule> m_includedModules;
    QString m_modelName;
    QString m_purpose;
    QString m_version;
    QString m_modificationDate;
    QString m_description;
    bool m_editorFlags[2] = {};
    QColor m_color;  // invalid: the editor sets it
    QString m_namespace;
    QList<Primitive> m_primitives;
    QList<Enumeration> m_enumerations;
    QList<MapData> m_maps;
    QList<Sequence> m_sequences;
    QList<Array> m_arrays;
    QList<String> m_strings;
    QList<String> m_editorStrings;  // the editor's own string list; never read from a file
    QList<BitSet> m_bitSets;
    QList<Alias> m_aliases;
    QList<Union> m_unions;
    QList<StructureQ> m_structures;
    QList<TopicType> m_topicTypes;
    bool m_editorFlag = false;

    // Names of one list each, in list order.
    QStringList getNamesEnumTypes() const;
    QStringList getNamesMapTypes() const;
    QStringList getNamesArrayTypes() const;
    QStringList getNamesStringTypes() const;  // the file's strings only
    QStringList getNamesBitSetTypes() const;
    QStringList getNamesUnionTypes() const;
    QStringList getNamesStructTypes() const;

    // Every type name (topic types excepted) in a fixed order: primitives, enumerations, maps,
    // sequences, arrays, the editor's strings, the file's strings, bit sets, aliases, unions,
    // structures. A name in several lists appears once per list entry.
    QStringList getAllTypesNames() const;
};

}  // namespace EditorInternalTypes

#endif
