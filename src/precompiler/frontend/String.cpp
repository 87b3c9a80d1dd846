#include "precompiler/frontend/String.h"

#include "precompiler/frontend/Alias.h"
#include "precompiler/frontend/INVALID_BASE_TYPE2.h"

#include "NlxUtils.h"

AnyType::TypeSet String::set() {
    if (m_isSet) {
        return m_dependencies;
    }
    m_size = 0;
    m_fixedLength = false;

    auto complete = [this](const char* text, std::uint64_t size) {
        m_cppTypeText = text;
        m_alignment = 4;
        m_size = size;
        if (m_maxLength != UNBOUNDED) {
            // Written as a signed 32-bit number: 4294967295 gives "<-1>".
            const auto bound = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_maxLength));
            m_cppTypeText += "<" + NLX::itoaZET(bound, 10) + ">";
        }
        m_isSet = true;
    };

    if (m_qualifiedName == "String8") {
        m_cppName = "std::string";
        complete("std::string", 0);
        return m_dependencies;
    }
    if (m_qualifiedName == "String32") {
        m_cppName = "std::wstring";
        complete("std::wstring", 0);
        return m_dependencies;
    }

    m_cppName = m_shortName;
    AnyType* element = getAnyTypeByString(m_elementTypeName);
    m_dependencies.insert(element);
    if (m_elementTypeName == "Char8") {
        complete("std::string", 0);
    } else if (m_elementTypeName == "Char32") {
        complete("std::wstring", 0);
    } else if (element->m_Kind == ALIAS_TYPE) {
        const std::string& target = static_cast<Alias*>(element)->m_targetTypeName;
        if (target == "Char32") {
            complete("std::wstring", 32);
        } else if (target == "Char8") {
            complete("std::string", 32);
        } else {
            throw NLX::INVALID_BASE_TYPE2("Не верен базовый тип (цикл) Тип String. Тип елемента " +
                                          m_elementTypeName);
        }
    }
    // Any other element leaves the string incomplete; the checker refuses such models.
    return m_dependencies;
}
