#ifndef TESSGEN_FRONTEND_MEMBERAGREGATE_H
#define TESSGEN_FRONTEND_MEMBERAGREGATE_H

#include <cstdint>
#include <string>

// One member of a structure or one case member of a union.
struct MemberAgregate {
    std::uint32_t m_shared = 0;  // 1 "true", 2 "false", 0 not given
    bool m_optional = false;
    bool m_key = false;  // structure members only
    std::string m_definition;
    bool m_default = false;  // union case members only: the default case
    std::string m_name;
    std::string m_typeName;  // resolved with AnyType::getAnyTypeByString
};

#endif
