#include "precompiler/frontend/AnyType.h"

#include "precompiler/frontend/INVALID_BASE_TYPE2.h"

#include "ZetException.h"

#include <algorithm>

std::map<std::string, AnyType*> AnyType::m_mapNameAnyTypePtr;
std::uint32_t AnyType::s_activeSets = 0;
TypeRep AnyType::m_TypeRep;

AnyType::AnyType(Shared shared, ExtensibilityKind extensibility)
    : SharedElem(shared), m_extensibility(extensibility) {}

bool AnyType::isComlexType() const {
    return (m_Kind >= MAP_TYPE && m_Kind <= BITSET_TYPE) || m_Kind == UNION_TYPE ||
           m_Kind == STRUCTURE_TYPE;
}

bool AnyType::isContainer() const {
    return m_Kind == MAP_TYPE || m_Kind == SEQUENCE_TYPE || m_Kind == ARRAY_TYPE;
}

bool AnyType::isPrimitiveBase() const {
    return NLX::isPrimitive(m_Kind);
}

// Only an alias has another type behind it, and it answers these itself.
bool AnyType::isStringBase() const {
    return m_Kind == STRING_TYPE;
}

bool AnyType::isLenghthAsSimple() const {
    return isPrimitiveBase() || m_Kind == BITSET_TYPE || m_Kind == ENUMERATION_TYPE;
}

AnyType::TypeSet AnyType::set() {
    return TypeSet();
}

AnyType* AnyType::getAnyTypePtrBase() {
    return this;
}

AnyType* AnyType::getAnyTypeByString(std::string name) const {
    const auto& names = m_mapNameAnyTypePtr;
    auto found = names.find(name);
    if (found != names.end()) {
        return found->second;
    }
    const std::string key =
        name.find("::") == std::string::npos ? m_moduleName + "::" + name : name;
    found = names.find(key);
    if (found != names.end()) {
        return found->second;
    }
    throw NLX::ZetException("Ошибка. Тип данных " + key + " неопределен!");
}

std::string AnyType::getRealType(const std::string& module) {
    if (isPrimitiveBase()) {
        return getAnyTypePtrBase()->m_cppName;
    }
    if (m_Kind == ALIAS_TYPE) {
        AnyType* target = getAnyTypePtrBase();
        // An alias not yet completed has no target; it is spelled by its own name.
        if (target != nullptr) {
            return target->getRealType(module);
        }
    }
    // String8 and String32 belong to no module: their C++ spelling, never a bare model name.
    if (m_moduleName.empty()) {
        return m_cppName;
    }
    return module == m_moduleName ? m_shortName : m_qualifiedName;
}

bool AnyType::isFixedLength() const {
    auto variable = [](TypeKind kind) {
        return kind == MAP_TYPE || kind == SEQUENCE_TYPE || kind == STRING_TYPE ||
               kind == UNION_TYPE;
    };
    if (variable(m_Kind)) {
        return false;
    }
    for (const AnyType* type : m_dependencies) {
        if (variable(type->m_Kind)) {
            return false;
        }
    }
    return true;
}

void AnyType::setPackBuild(enBuildPack value) {
    m_packBuild = value;
    for (AnyType* type : m_sameTypes) {
        type->m_packBuild = value;
    }
}

void AnyType::setUnPackBuild(enBuildPack value) {
    m_unPackBuild = value;
    for (AnyType* type : m_sameTypes) {
        type->m_unPackBuild = value;
    }
}

void AnyType::setNextBuild(enBuildPack value) {
    m_nextBuild = value;
    for (AnyType* type : m_sameTypes) {
        type->m_nextBuild = value;
    }
}

void AnyType::set_lenPackedBuild(enBuildPack value) {
    m_lenPackedBuild = value;
    for (AnyType* type : m_sameTypes) {
        type->m_lenPackedBuild = value;
    }
}

namespace {

NLX::ZetException tooDeep(const AnyType& type) {
    return NLX::ZetException("Ошибка: AnyType::set. Тип " + type.m_qualifiedName +
                             " вложен глубже " + std::to_string(AnyType::MAX_NESTING) + " уровней");
}

}  // namespace

AnyType::SetGuard::SetGuard(AnyType& type) : m_type(type) {
    if (type.m_setInProgress) {
        // A structure's text is kept byte for byte, its Latin "T" included; the other kinds
        // spell the word in Cyrillic.
        const char* const what = type.m_Kind == STRUCTURE_TYPE ? ". Tип " : ". Тип ";
        throw NLX::INVALID_BASE_TYPE2(std::string("Не верен базовый тип (цикл)") + what +
                                      type.m_qualifiedName + " ссылается сам на себя");
    }
    if (s_activeSets >= MAX_NESTING) {
        throw tooDeep(type);
    }
    ++s_activeSets;
    type.m_setInProgress = true;
}

AnyType::SetGuard::~SetGuard() {
    --s_activeSets;
    m_type.m_setInProgress = false;
}

void AnyType::SetGuard::complete(const std::vector<AnyType*>& alsoReferenced) {
    std::uint32_t deepest = 0;
    for (const AnyType* type : m_type.m_dependencies) {
        deepest = std::max(deepest, type->m_nesting);
    }
    for (const AnyType* type : alsoReferenced) {
        deepest = std::max(deepest, type->m_nesting);
    }
    if (deepest >= MAX_NESTING) {
        throw tooDeep(m_type);
    }
    m_type.m_nesting = deepest + 1;
}
