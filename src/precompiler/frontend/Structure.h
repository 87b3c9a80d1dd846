#ifndef TESSGEN_FRONTEND_STRUCTURE_H
#define TESSGEN_FRONTEND_STRUCTURE_H

#include "precompiler/frontend/AnyType.h"
#include "precompiler/frontend/MemberAgregate.h"
#include "precompiler/frontend/Verbatim.h"

#include <string>
#include <vector>

class Structure final : public AnyType {
public:
    using AnyType::AnyType;

    // Completes every member type; the alignment becomes the first member's (1 without
    // members); a topic structure gets its key member types. A structure that contains
    // itself, directly or through other types, throws NLX::INVALID_BASE_TYPE2.
    TypeSet set() override;

    // The type of the member of that name; NLX::ZetException when there is none.
    AnyType* getMemberAnyType(const std::string& member) const;
    // One entry per key path ("a" or "a.b" for member b of structure member a): the type of
    // the member it names below prefix, null where none matches. A path goes on below a
    // member of structure type, also when the member's type is an alias (chain) of one.
    std::vector<AnyType*> getKeysAnyType2(const std::vector<std::string>& keyPaths,
                                          const std::string& prefix) const;

    std::vector<MemberAgregate> m_members;  // model order
    std::vector<Verbatim> m_verbatims;
    bool m_isTopic = false;
    std::vector<std::string> m_keyPaths;  // member names joined by ".", outermost first
    std::vector<AnyType*> m_keyTypes;     // one per key path, filled by set() for topics
};

#endif
