#include "precompiler/frontend/Structure.h"

#include "precompiler/frontend/Alias.h"

#include "ZetException.h"

namespace {

// The type an alias chain ends in (the type itself when it is no alias). A completed alias
// knows its target; one not yet completed is followed by name. Chains longer than the nesting
// limit cannot come out of set(), and end the walk here.
const AnyType* behindAliases(const AnyType* type) {
    for (std::uint32_t step = 0; type != nullptr && type->m_Kind == ALIAS_TYPE; ++step) {
        if (step > AnyType::MAX_NESTING) {
            return nullptr;
        }
        const auto* alias = static_cast<const Alias*>(type);
        type = alias->m_targetType != nullptr ? alias->m_targetType
                                              : alias->getAnyTypeByString(alias->m_targetTypeName);
    }
    return type;
}

}  // namespace

AnyType::TypeSet Structure::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    // A member type that leads back here re-enters this set() while it is still running.
    SetGuard guard(*this);
    m_fixedLength = true;
    AnyType* firstMemberType = nullptr;
    for (const MemberAgregate& member : m_members) {
        AnyType* type = getAnyTypeByString(member.m_typeName);
        if (firstMemberType == nullptr) {
            firstMemberType = type;
        }
        m_dependencies.insert(type);
        const TypeSet memberDependencies = type->set();
        if (m_fixedLength) {
            m_fixedLength = type->isFixedLength();
        }
        m_dependencies.insert(memberDependencies.begin(), memberDependencies.end());
    }
    guard.complete();
    m_alignment = firstMemberType != nullptr ? firstMemberType->m_alignment : 1;
    if (m_isTopic) {
        m_keyTypes = getKeysAnyType2(m_keyPaths, std::string());
    }
    m_isSet = true;
    return m_dependencies;
}

AnyType* Structure::getMemberAnyType(const std::string& member) const {
    for (const MemberAgregate& candidate : m_members) {
        if (candidate.m_name == member) {
            return getAnyTypeByString(candidate.m_typeName);
        }
    }
    throw NLX::ZetException("В структуре " + m_qualifiedName + " нет поля " + member);
}

std::vector<AnyType*> Structure::getKeysAnyType2(const std::vector<std::string>& keyPaths,
                                                 const std::string& prefix) const {
    std::vector<AnyType*> result(keyPaths.size(), nullptr);
    for (const MemberAgregate& member : m_members) {
        const std::string path = prefix.empty() ? member.m_name : prefix + "." + member.m_name;
        AnyType* type = getAnyTypeByString(member.m_typeName);
        bool deeperPathWanted = false;
        for (std::size_t i = 0; i < keyPaths.size(); ++i) {
            if (keyPaths[i] == path) {
                result[i] = type;
            } else if (keyPaths[i].compare(0, path.size() + 1, path + ".") == 0) {
                deeperPathWanted = true;
            }
        }
        // Descending only while some key path goes on below this member also bounds the
        // recursion by the key paths' length, whatever the structures contain.
        const AnyType* inside = deeperPathWanted ? behindAliases(type) : nullptr;
        if (inside != nullptr && inside->m_Kind == STRUCTURE_TYPE) {
            const std::vector<AnyType*> inner =
                static_cast<const Structure*>(inside)->getKeysAnyType2(keyPaths, path);
            for (std::size_t i = 0; i < inner.size(); ++i) {
                if (inner[i] != nullptr) {
                    result[i] = inner[i];
                }
            }
        }
    }
    return result;
}
