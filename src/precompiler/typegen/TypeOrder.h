#ifndef TESSGEN_TYPEGEN_TYPEORDER_H
#define TESSGEN_TYPEGEN_TYPEORDER_H

#include "precompiler/frontend/ConstructedTypes.h"
#include "precompiler/frontend/PrimitiveTypes.h"
#include "precompiler/frontend/TypeRegistration.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace NLX {

// The types of one compilation: every registered type by name, and the order in which the
// type-code generator declares them, each type after everything its declaration needs.
//
// Registration enters each module's types in the type set and in the process-wide name map
// AnyType::m_mapNameAnyTypePtr, and refuses (NLX::ZetException) a constructed type whose
// qualified name equals another registered name or differs from it only in letter case:
// the set would silently keep only one of them.
//
// The order only grows: each sort() appends the registered types not yet placed, so the types
// of earlier modules keep their places. The types must have been completed (set()) before;
// set() refuses cycles and nesting deeper than AnyType::MAX_NESTING, so placement, which
// recurses along the dependencies, is bounded. String8 and String32 are never placed: no
// module declares them.
class TypeOrder {
public:
    // The 13 primitives and the two base strings into the type set and names.
    void getBasePrimitiveTypes(PrimitiveTypes& primitives, std::map<std::string, AnyType*>& names);
    // The module's constructed types, names qualified, into the type set and names.
    void getConstructedTypes(const std::string& module, ConstructedTypes& types,
                             std::map<std::string, AnyType*>& names);

    // Appends the types not yet placed, pass by pass: aliases of primitives; enumerations;
    // bounded strings; bit sets; arrays; sequences; maps; unions; structures (each pass
    // followed by the aliases of its kind); then every alias still left, in name order.
    // Returns 1.
    int sort();
    // Places the type after its dependencies (for a union also its case types), visited in
    // name order; 1 when it placed the type, 0 when it was placed before.
    int addType(AnyType* type);
    // Every registered type of the kind, in name order, then the aliases whose direct target
    // is of the kind.
    void addType(TypeKind kind);
    // addType(STRING_TYPE) without String8 and String32.
    void addTypeString();
    // Every two types of the order that NLX::compare finds structurally equal enter each
    // other's same-types set.
    void setSameTypes();

    TypeNameSet& types() { return m_types; }
    const std::vector<AnyType*>& order() const { return m_order; }

private:
    bool placed(const AnyType* type) const;
    // The placed-or-not aliases whose direct target satisfies the test, in name order.
    template <typename Test>
    void addAliases(Test test);

    TypeNameSet m_types;
    std::set<std::string> m_placedNames;
    std::vector<AnyType*> m_order;
    std::set<const AnyType*> m_placing;  // addType calls running inside each other
};

}  // namespace NLX

#endif
