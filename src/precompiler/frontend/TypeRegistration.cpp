#include "precompiler/frontend/TypeRegistration.h"

namespace NLX {

namespace {

template <typename T>
void insertAll(std::vector<T>& types, TypeNameSet& set) {
    for (T& type : types) {
        set.insert(&type);
    }
}

}  // namespace

void getBasePrimitives(const std::string& module, ConstructedTypes& types, TypeNameSet& set) {
    setupAnyTypesPtr(module, types.m_enumerations, set);
    setupAnyTypesPtr(module, types.m_aliases, set);
    setupAnyTypesPtr(module, types.m_arrays, set);
    setupAnyTypesPtr(module, types.m_bitSets, set);
    setupAnyTypesPtr(module, types.m_maps, set);
    setupAnyTypesPtr(module, types.m_sequences, set);
    setupAnyTypesPtr(module, types.m_strings, set);
    setupAnyTypesPtr(module, types.m_structures, set);
    setupAnyTypesPtr(module, types.m_unions, set);
}

void getBasePrimitives(PrimitiveTypes& primitives, TypeNameSet& set) {
    for (AnyType* type : primitives.getAll()) {
        set.insert(type);
    }
}

PrimitiveTypes getBasePrimitives(const PrimitiveTypes& primitives) {
    return primitives;
}

void getBasePrimitives(ConstructedTypes& types, TypeNameSet& set) {
    insertAll(types.m_enumerations, set);
    insertAll(types.m_aliases, set);
    insertAll(types.m_arrays, set);
    insertAll(types.m_bitSets, set);
    insertAll(types.m_maps, set);
    insertAll(types.m_sequences, set);
    insertAll(types.m_strings, set);
    insertAll(types.m_structures, set);
    insertAll(types.m_unions, set);
}

}  // namespace NLX
