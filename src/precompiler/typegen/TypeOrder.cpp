#include "precompiler/typegen/TypeOrder.h"

#include "precompiler/frontend/TypeCompare.h"

#include "ZetException.h"

#include <algorithm>

namespace NLX {

namespace {

bool isBaseString(const AnyType* type) {
    return type->m_Kind == STRING_TYPE &&
           (type->m_qualifiedName == "String8" || type->m_qualifiedName == "String32");
}

template <typename T>
void enter(std::vector<T>& types, std::map<std::string, AnyType*>& names) {
    for (T& type : types) {
        names[type.m_qualifiedName] = &type;
    }
}

template <typename T>
void refuseNamesakes(const std::string& module, std::vector<T>& types, const TypeNameSet& set) {
    for (T& type : types) {
        const auto found = set.find(&type);
        if (found != set.end() && *found != &type) {
            throw ZetException("Модуль " + module + ": имена типов " + (*found)->m_qualifiedName +
                               " и " + type.m_qualifiedName +
                               " совпадают или различаются только регистром букв");
        }
    }
}

}  // namespace

void TypeOrder::getBasePrimitiveTypes(PrimitiveTypes& primitives,
                                      std::map<std::string, AnyType*>& names) {
    getBasePrimitives(primitives, m_types);
    for (AnyType* type : primitives.getAll()) {
        names[type->m_qualifiedName] = type;
    }
}

void TypeOrder::getConstructedTypes(const std::string& module, ConstructedTypes& types,
                                    std::map<std::string, AnyType*>& names) {
    getBasePrimitives(module, types, m_types);
    // The set kept the first of two names equal up to letter case; the other would be lost.
    refuseNamesakes(module, types.m_enumerations, m_types);
    refuseNamesakes(module, types.m_aliases, m_types);
    refuseNamesakes(module, types.m_arrays, m_types);
    refuseNamesakes(module, types.m_bitSets, m_types);
    refuseNamesakes(module, types.m_maps, m_types);
    refuseNamesakes(module, types.m_sequences, m_types);
    refuseNamesakes(module, types.m_strings, m_types);
    refuseNamesakes(module, types.m_structures, m_types);
    refuseNamesakes(module, types.m_unions, m_types);
    enter(types.m_enumerations, names);
    enter(types.m_aliases, names);
    enter(types.m_arrays, names);
    enter(types.m_bitSets, names);
    enter(types.m_maps, names);
    enter(types.m_sequences, names);
    enter(types.m_strings, names);
    enter(types.m_structures, names);
    enter(types.m_unions, names);
}

bool TypeOrder::placed(const AnyType* type) const {
    return m_placedNames.count(type->m_qualifiedName) != 0;
}

int TypeOrder::addType(AnyType* type) {
    if (placed(type) || isBaseString(type)) {
        return 0;
    }
    // set() has refused cycles already; should one get here all the same, it ends the run
    // instead of the stack.
    if (!m_placing.insert(type).second) {
        throw ZetException("Ошибка: TypeOrder::addType. Тип " + type->m_qualifiedName +
                           " зависит сам от себя");
    }
    std::vector<AnyType*> needed(type->m_dependencies.begin(), type->m_dependencies.end());
    if (type->m_Kind == UNION_TYPE) {
        // A union holds its case types by value: their definitions come first.
        const auto& cases = static_cast<const Union*>(type)->m_caseTypes;
        needed.insert(needed.end(), cases.begin(), cases.end());
    }
    // By name, so that the output is the same in every run.
    std::sort(needed.begin(), needed.end(), [](const AnyType* a, const AnyType* b) {
        return stringLess()(a, b) ||
               (!stringLess()(b, a) && a->m_qualifiedName < b->m_qualifiedName);
    });
    for (AnyType* dependency : needed) {
        if (dependency != nullptr && !placed(dependency)) {
            addType(dependency);
        }
    }
    m_placing.erase(type);
    m_order.push_back(type);
    m_placedNames.insert(type->m_qualifiedName);
    return 1;
}

template <typename Test>
void TypeOrder::addAliases(Test test) {
    for (AnyType* type : m_types) {
        if (type->m_Kind != ALIAS_TYPE) {
            continue;
        }
        const AnyType* target = type->getAnyTypePtrBase();
        if (target != nullptr && test(target)) {
            addType(type);
        }
    }
}

void TypeOrder::addType(TypeKind kind) {
    for (AnyType* type : m_types) {
        if (type->m_Kind == kind) {
            addType(type);
        }
    }
    addAliases([kind](const AnyType* target) { return target->m_Kind == kind; });
}

void TypeOrder::addTypeString() {
    for (AnyType* type : m_types) {
        if (type->m_Kind == STRING_TYPE && !isBaseString(type)) {
            addType(type);
        }
    }
    addAliases([](const AnyType* target) {
        return target->m_Kind == STRING_TYPE && !isBaseString(target);
    });
}

int TypeOrder::sort() {
    addAliases([](const AnyType* target) { return isPrimitive(target->m_Kind); });
    addType(ENUMERATION_TYPE);
    addTypeString();
    addType(BITSET_TYPE);
    addType(ARRAY_TYPE);
    addType(SEQUENCE_TYPE);
    addType(MAP_TYPE);
    addType(UNION_TYPE);
    addType(STRUCTURE_TYPE);
    // Aliases of aliases and of the base strings belong to no pass.
    addAliases([](const AnyType*) { return true; });
    return 1;
}

void TypeOrder::setSameTypes() {
    const std::size_t n = m_order.size();
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            if (compare(m_order[i], m_order[j])) {
                m_order[i]->m_sameTypes.insert(m_order[j]);
                m_order[j]->m_sameTypes.insert(m_order[i]);
            }
        }
    }
}

}  // namespace NLX
