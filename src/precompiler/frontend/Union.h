#ifndef TESSGEN_FRONTEND_UNION_H
#define TESSGEN_FRONTEND_UNION_H

#include "precompiler/frontend/AnyType.h"
#include "precompiler/frontend/MemberAgregate.h"
#include "precompiler/frontend/Verbatim.h"

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class Union final : public AnyType {
public:
    using AnyType::AnyType;

    // Resolves the discriminator and the case types. The case types come in the order of the
    // ordered case table m_cases, the one case order of both generators.
    TypeSet set() override;

    std::string m_discriminatorTypeName;
    std::map<std::string, MemberAgregate> m_cases;                  // by case label
    std::unordered_map<std::string, MemberAgregate> m_hashedCases;  // the same content
    std::vector<Verbatim> m_verbatims;
    std::vector<AnyType*> m_caseTypes;
    AnyType* m_discriminatorType = nullptr;
};

#endif
