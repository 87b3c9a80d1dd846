// Reader::ConvertData and Reader::ConvertTopics: the editor records of one model, all texts,
// become the type model's objects. Type references stay names here; set() resolves them later.
// The checker has refused bad names and numbers before: a text that is no number gives 0.

#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/Reader.h"
#include "precompiler/frontend/TopicDataTypes.h"

#include <QStringList>

#include <cstdint>
#include <string>

using namespace EditorInternalTypes;

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}

bool isTrue(const QString& text) {
    return text == QLatin1String("true");
}

std::uint32_t sharedSetting(const QString& text) {
    if (text == QLatin1String("true")) {
        return SHARED_TRUE;
    }
    if (text == QLatin1String("false")) {
        return SHARED_FALSE;
    }
    return SHARED_NOT_GIVEN;
}

TypeKind enumerationKind(const QString& text) {
    static const struct {
        const char* name;
        TypeKind kind;
    } kinds[] = {{"Int16", INT_16_TYPE},   {"UInt16", UINT_16_TYPE}, {"Int32", INT_32_TYPE},
                 {"UInt32", UINT_32_TYPE}, {"Int64", INT_64_TYPE},   {"UInt64", UINT_64_TYPE}};
    for (const auto& entry : kinds) {
        if (text == QLatin1String(entry.name)) {
            return entry.kind;
        }
    }
    return INT_32_TYPE;
}

std::int64_t enumeratorValue(const QString& text, TypeKind kind) {
    switch (kind) {
        case INT_16_TYPE:
            return text.toInt();
        case UINT_16_TYPE:
            return text.toUInt();
        case UINT_32_TYPE:
            return static_cast<std::int64_t>(text.toULong());
        case INT_64_TYPE:
            return text.toLongLong();
        case UINT_64_TYPE:
            return static_cast<std::int64_t>(text.toULongLong());
        default:
            return text.toLong();
    }
}

// Size and alignment of a bit set by its number of bits.
std::uint32_t bitSetSize(std::int32_t bound) {
    if (bound <= 8) {
        return 1;
    }
    if (bound <= 16) {
        return 2;
    }
    if (bound <= 32) {
        return 4;
    }
    return 8;
}

std::vector<Verbatim> verbatims(const QVector<Werbatim>& records) {
    std::vector<Verbatim> result;
    for (const Werbatim& record : records) {
        result.push_back({utf8(record.m_language), utf8(record.m_placement), utf8(record.m_text)});
    }
    return result;
}

// The conversion of one model, whose names S() strips of the model's own namespace.
class Converter {
public:
    explicit Converter(const QString& nameSpace) : m_nameSpace(nameSpace) {}

    std::string S(const QString& name) const {
        return utf8(Reader::RemoveNamespace(name, m_nameSpace));
    }

    MemberAgregate member(const QMemberAgregate& record, bool unionCase) const {
        MemberAgregate result;
        result.m_shared = sharedSetting(record.m_shared);
        result.m_optional = isTrue(record.m_optional);
        result.m_key = !unionCase && isTrue(record.m_key);
        result.m_definition = utf8(record.m_definition);
        result.m_default = unionCase && isTrue(record.m_default);
        result.m_name = utf8(record.m_name);
        result.m_typeName = S(record.m_type);
        return result;
    }

    // A new object of the class with the kind, name and definition every record gives.
    template <typename T>
    T object(TypeKind kind, Shared shared, const QString& name, const QString& definition) const {
        T type(shared, EXTENSIBILITY_FINAL);
        type.m_Kind = kind;
        type.m_qualifiedName = S(name);
        type.m_definition = utf8(definition);
        return type;
    }

private:
    QString m_nameSpace;
};

}  // namespace

void Reader::ConvertData(VEXA_Types model, DDS_Types* target) {
    target->m_moduleName = utf8(model.m_namespace);
    const Converter c(model.m_namespace);
    ConstructedTypes& types = target->m_constructedTypes;

    for (const MapData& record : qAsConst(model.m_maps)) {
        auto type = c.object<Map>(MAP_TYPE, SHARED_FALSE, record.m_name, record.m_definition);
        type.m_valueTypeName = c.S(record.m_typeElement);
        type.m_keyTypeName = c.S(record.m_typeMapKey);
        type.m_maxLength = record.m_elementMaxLength.toLong();
        type.m_cppName = type.m_qualifiedName;
        type.m_cppTypeText = "...";
        type.m_fixedLength = false;
        types.m_maps.push_back(type);
    }
    for (const EditorInternalTypes::Sequence& record : qAsConst(model.m_sequences)) {
        auto type =
            c.object<::Sequence>(SEQUENCE_TYPE, SHARED_FALSE, record.m_name, record.m_definition);
        type.m_elementTypeName = c.S(record.m_seqType);
        type.m_maxLength = record.m_memberMaxLength.toLong();
        type.m_cppName = "std::vector";
        type.m_fixedLength = false;
        types.m_sequences.push_back(type);
    }
    for (const EditorInternalTypes::Array& record : qAsConst(model.m_arrays)) {
        auto type = c.object<::Array>(ARRAY_TYPE, SHARED_FALSE, record.m_name, record.m_definition);
        type.m_elementTypeName = c.S(record.m_type);
        // One dimension per blank-separated part, outermost first; an empty part gives 0.
        for (const QString& part : record.m_bounds.split(QLatin1Char(' '))) {
            type.m_dimensions.push_back(static_cast<std::uint64_t>(part.toLong()));
        }
        type.m_key = isTrue(record.m_key);
        type.m_cppName = type.m_qualifiedName;
        types.m_arrays.push_back(type);
    }
    for (const EditorInternalTypes::String& record : qAsConst(model.m_strings)) {
        auto type =
            c.object<::String>(STRING_TYPE, SHARED_NOT_GIVEN, record.m_name, record.m_definition);
        type.m_elementTypeName = c.S(record.m_type);
        // -1 is all ones, the unbounded length.
        type.m_maxLength = static_cast<std::uint64_t>(record.m_maxLength.toLong());
        type.m_key = isTrue(record.m_key);
        type.m_fixedLength = false;
        type.m_packBuild = BUILD_NOT_NEEDED;
        type.m_unPackBuild = BUILD_NOT_NEEDED;
        type.m_lenPackedBuild = BUILD_NOT_NEEDED;
        types.m_strings.push_back(type);
    }
    for (const EditorInternalTypes::BitSet& record : qAsConst(model.m_bitSets)) {
        auto type =
            c.object<::BitSet>(BITSET_TYPE, SHARED_NOT_GIVEN, record.m_name, record.m_definition);
        type.m_bound = record.m_bound.toInt();
        for (const BitElement& element : record.m_bitElements) {
            type.m_elements.push_back({utf8(element.m_name), element.m_flush.toShort()});
        }
        type.m_cppName = type.m_qualifiedName;
        type.m_fixedLength = true;
        type.m_size = bitSetSize(type.m_bound);
        type.m_alignment = bitSetSize(type.m_bound);
        type.m_packBuild = BUILD_DONE;
        type.m_unPackBuild = BUILD_DONE;
        type.m_lenPackedBuild = BUILD_NOT_NEEDED;
        types.m_bitSets.push_back(type);
    }
    for (const EditorInternalTypes::Enumeration& record : qAsConst(model.m_enumerations)) {
        auto type = c.object<::Enumeration>(ENUMERATION_TYPE, SHARED_NOT_GIVEN, record.m_name,
                                            record.m_definition);
        type.m_TypeOfEnum = enumerationKind(record.m_type);
        type.m_key = isTrue(record.m_key);
        for (const EditorInternalTypes::Enumerator& enumerator : record.m_enumerators) {
            type.m_enumerators.push_back({utf8(enumerator.m_name),
                                          enumeratorValue(enumerator.m_value, type.m_TypeOfEnum),
                                          utf8(enumerator.m_definition)});
        }
        type.m_cppName = type.m_qualifiedName;
        type.m_cppTypeText = "enum class " + type.m_qualifiedName;
        type.m_packBuild = BUILD_NOT_NEEDED;
        type.m_unPackBuild = BUILD_NOT_NEEDED;
        type.m_lenPackedBuild = BUILD_NOT_NEEDED;
        types.m_enumerations.push_back(type);
    }
    for (const EditorInternalTypes::Alias& record : qAsConst(model.m_aliases)) {
        auto type =
            c.object<::Alias>(ALIAS_TYPE, SHARED_NOT_GIVEN, record.m_name, record.m_definition);
        type.m_targetTypeName = c.S(record.m_type);
        type.m_cppName = type.m_targetTypeName;
        types.m_aliases.push_back(type);
    }
    for (const EditorInternalTypes::Union& record : qAsConst(model.m_unions)) {
        auto type = c.object<::Union>(UNION_TYPE, SHARED_NOT_GIVEN, record.m_nameUnion,
                                      record.m_definition);
        type.m_discriminatorTypeName = c.S(record.m_typeDiscriminant);
        type.m_key = isTrue(record.m_key);
        type.m_verbatims = verbatims(record.m_verbatims);
        // A label given again replaces the earlier case in both tables.
        for (const UnionCase& entry : record.m_cases) {
            const std::string label = utf8(entry.first);
            const MemberAgregate member = c.member(entry.second, true);
            type.m_cases[label] = member;
            type.m_hashedCases[label] = member;
        }
        type.m_cppName = type.m_qualifiedName;
        type.m_fixedLength = false;
        types.m_unions.push_back(type);
    }
    for (const StructureQ& record : qAsConst(model.m_structures)) {
        auto type = c.object<Structure>(STRUCTURE_TYPE, SHARED_NOT_GIVEN, record.m_name,
                                        record.m_definition);
        type.m_verbatims = verbatims(record.m_verbatims);
        for (const QMemberAgregate& member : record.m_members) {
            type.m_members.push_back(c.member(member, false));
        }
        type.m_cppName = type.m_qualifiedName;
        type.m_cppTypeText = type.m_qualifiedName;
        types.m_structures.push_back(type);
    }
}

void Reader::ConvertTopics(VEXA_Types model, DDS_Types* types, TopicDataTypes* target) {
    TopicDataTypes topics;
    topics.m_moduleName = utf8(model.m_namespace);
    const Converter c(model.m_namespace);
    std::vector<Structure>& structures = types->m_constructedTypes.m_structures;

    for (const TopicType& record : qAsConst(model.m_topicTypes)) {
        const std::string name = c.S(record.m_structName);
        Structure* structure = nullptr;
        for (Structure& candidate : structures) {
            if (candidate.m_qualifiedName == name) {
                structure = &candidate;
                break;
            }
        }
        // The checker refuses topics of missing structures; one of another module is not
        // in this model's types and is passed over.
        if (structure == nullptr) {
            continue;
        }
        std::vector<std::string> keys;
        for (QString part : record.m_keys.split(QLatin1Char(' '))) {
            if (part.isEmpty()) {
                continue;
            }
            part.remove(QLatin1Char(','));
            keys.push_back(utf8(part));
        }
        topics.m_keys[structure] = keys;
    }
    *target = topics;
}
