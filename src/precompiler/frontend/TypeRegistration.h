#ifndef TESSGEN_FRONTEND_TYPEREGISTRATION_H
#define TESSGEN_FRONTEND_TYPEREGISTRATION_H

// Qualifying the names of a module's types and collecting the types of a compilation into
// one set ordered by name.

#include "precompiler/frontend/ConstructedTypes.h"
#include "precompiler/frontend/PrimitiveTypes.h"
#include "precompiler/frontend/stringLess.h"

#include <set>
#include <string>
#include <vector>

namespace NLX {

using TypeNameSet = std::set<AnyType*, stringLess>;

// For every element in order: module name and short name are set, the name is qualified as
// module::name (except "String8" and "String32") and the element enters the set. Runs once
// per vector: a second run would qualify twice.
template <typename T>
void setupAnyTypesPtr(const std::string& module, std::vector<T>& types, TypeNameSet& set) {
    for (T& type : types) {
        type.m_moduleName = module;
        type.m_shortName = type.m_qualifiedName;
        if (type.m_qualifiedName != "String8" && type.m_qualifiedName != "String32") {
            type.m_qualifiedName = module + "::" + type.m_qualifiedName;
        }
        set.insert(&type);
    }
}

// setupAnyTypesPtr over enumerations, aliases, arrays, bit sets, maps, sequences, strings,
// structures and unions, in that order.
void getBasePrimitives(const std::string& module, ConstructedTypes& types, TypeNameSet& set);
// The 13 primitives and the two base strings enter the set, in vector order.
void getBasePrimitives(PrimitiveTypes& primitives, TypeNameSet& set);
// An element-by-element copy.
PrimitiveTypes getBasePrimitives(const PrimitiveTypes& primitives);
// Every constructed type enters the set, in the order above, with its names unchanged.
void getBasePrimitives(ConstructedTypes& types, TypeNameSet& set);

}  // namespace NLX

#endif
