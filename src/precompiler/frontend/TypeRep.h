#ifndef TESSGEN_FRONTEND_TYPEREP_H
#define TESSGEN_FRONTEND_TYPEREP_H

#include "precompiler/frontend/TypeKind.h"

#include <map>
#include <set>
#include <string>

// The two spellings of the primitive kinds: the name a model file uses ("Int32") and the C++
// spelling of generated code ("int32_t"), with the reverse tables. Lookups are exact and never
// add entries.
class TypeRep {
public:
    TypeRep();

    void setBaseCPP_TypeNames();
    void setBaseDDS_TypeNames();

    // Empty for kinds without a name (0 and 14..22).
    std::string getCPP(TypeKind kind) const;
    std::string getDDS(TypeKind kind) const;
    // The kind whose C++ spelling is exactly text; NO_TYPE when there is none.
    TypeKind getCPP(const std::string& text) const;
    // One of the 13 primitive names, "String8" or "String32".
    bool isBasicTypeDDS(std::string name) const;

private:
    std::map<TypeKind, std::string> m_ddsByKind;
    std::map<TypeKind, std::string> m_cppByKind;
    std::map<std::string, TypeKind> m_kindByCpp;
    std::set<std::string> m_cppNames;
    std::set<std::string> m_basicDdsNames;
    std::set<std::string> m_cppNames2;
};

#endif
