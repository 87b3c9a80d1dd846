#ifndef TESSGEN_TESTS_TYPEMODELBUILDER_H
#define TESSGEN_TESTS_TYPEMODELBUILDER_H

// Hand-built type objects for the type model tests: each helper fills an object the way the
// model conversion and the registration would, and enters it in the name registry. The
// registry is emptied when the builder is made and when it goes.

#include "precompiler/frontend/DDS_Types.h"

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

class TypeModelBuilder {
public:
    using Members = std::vector<std::pair<std::string, std::string>>;  // name, type name

    TypeModelBuilder() {
        AnyType::m_mapNameAnyTypePtr.clear();
        for (AnyType* type : m_primitives.getAll()) {
            AnyType::m_mapNameAnyTypePtr[type->m_qualifiedName] = type;
        }
    }
    TypeModelBuilder(const TypeModelBuilder&) = delete;
    TypeModelBuilder& operator=(const TypeModelBuilder&) = delete;
    ~TypeModelBuilder() { AnyType::m_mapNameAnyTypePtr.clear(); }

    AnyType* find(const std::string& qualifiedName) {
        return AnyType::m_mapNameAnyTypePtr.at(qualifiedName);
    }

    Structure& structure(const std::string& module, const std::string& name,
                         const Members& members) {
        Structure& type = add(m_structures, module, name, STRUCTURE_TYPE);
        type.m_cppName = name;
        type.m_cppTypeText = name;
        for (const auto& member : members) {
            MemberAgregate entry;
            entry.m_name = member.first;
            entry.m_typeName = member.second;
            type.m_members.push_back(entry);
        }
        return type;
    }

    Alias& alias(const std::string& module, const std::string& name, const std::string& target) {
        Alias& type = add(m_aliases, module, name, ALIAS_TYPE);
        type.m_cppName = target;
        type.m_targetTypeName = target;
        return type;
    }

    Sequence& sequence(const std::string& module, const std::string& name,
                       const std::string& element) {
        Sequence& type = add(m_sequences, module, name, SEQUENCE_TYPE, SHARED_FALSE);
        type.m_cppName = "std::vector";
        type.m_elementTypeName = element;
        type.m_fixedLength = false;
        return type;
    }

    Array& array(const std::string& module, const std::string& name, const std::string& element,
                 std::vector<std::uint64_t> dimensions) {
        Array& type = add(m_arrays, module, name, ARRAY_TYPE, SHARED_FALSE);
        type.m_cppName = name;
        type.m_elementTypeName = element;
        type.m_dimensions = std::move(dimensions);
        return type;
    }

    String& string(const std::string& module, const std::string& name, const std::string& element,
                   std::uint64_t maxLength) {
        String& type = add(m_strings, module, name, STRING_TYPE);
        type.m_elementTypeName = element;
        type.m_maxLength = maxLength;
        type.m_fixedLength = false;
        type.m_packBuild = type.m_unPackBuild = type.m_lenPackedBuild = BUILD_NOT_NEEDED;
        return type;
    }

    Enumeration& enumeration(const std::string& module, const std::string& name,
                             TypeKind underlying) {
        Enumeration& type = add(m_enumerations, module, name, ENUMERATION_TYPE);
        type.m_cppName = name;
        type.m_cppTypeText = "enum class " + name;
        type.m_TypeOfEnum = underlying;
        type.m_packBuild = type.m_unPackBuild = type.m_lenPackedBuild = BUILD_NOT_NEEDED;
        return type;
    }

    Map& map(const std::string& module, const std::string& name, const std::string& key,
             const std::string& value) {
        Map& type = add(m_maps, module, name, MAP_TYPE, SHARED_FALSE);
        type.m_cppName = name;
        type.m_cppTypeText = "...";
        type.m_keyTypeName = key;
        type.m_valueTypeName = value;
        type.m_fixedLength = false;
        return type;
    }

    Union& unionType(const std::string& module, const std::string& name,
                     const std::string& discriminator, const Members& cases) {
        Union& type = add(m_unions, module, name, UNION_TYPE);
        type.m_cppName = name;
        type.m_discriminatorTypeName = discriminator;
        type.m_fixedLength = false;
        for (const auto& entry : cases) {
            MemberAgregate member;
            member.m_name = "m_" + entry.first;
            member.m_typeName = entry.second;
            type.m_cases[entry.first] = member;
            type.m_hashedCases[entry.first] = member;
        }
        return type;
    }

    BitSet& bitSet(const std::string& module, const std::string& name, std::int32_t bound) {
        BitSet& type = add(m_bitSets, module, name, BITSET_TYPE);
        type.m_cppName = name;
        type.m_bound = bound;
        type.m_size = type.m_alignment = bound <= 8 ? 1 : bound <= 16 ? 2 : bound <= 32 ? 4 : 8;
        type.m_packBuild = type.m_unPackBuild = BUILD_DONE;
        type.m_lenPackedBuild = BUILD_NOT_NEEDED;
        return type;
    }

private:
    template <typename T>
    T& add(std::deque<T>& store, const std::string& module, const std::string& name, TypeKind kind,
           Shared shared = SHARED_NOT_GIVEN) {
        store.emplace_back(shared, EXTENSIBILITY_FINAL);
        T& type = store.back();
        type.m_Kind = kind;
        type.m_moduleName = module;
        type.m_shortName = name;
        type.m_qualifiedName = module.empty() ? name : module + "::" + name;
        AnyType::m_mapNameAnyTypePtr[type.m_qualifiedName] = &type;
        return type;
    }

    PrimitiveTypes m_primitives;
    std::deque<Structure> m_structures;
    std::deque<Alias> m_aliases;
    std::deque<Sequence> m_sequences;
    std::deque<Array> m_arrays;
    std::deque<String> m_strings;
    std::deque<Enumeration> m_enumerations;
    std::deque<Map> m_maps;
    std::deque<Union> m_unions;
    std::deque<BitSet> m_bitSets;
};

#endif
