// The structure class: the accessors named after each member, all inline.
#include "precompiler/typegen/BuildStruct.h"

#include "precompiler/frontend/Structure.h"

#include "Indent.h"

namespace NLX {

namespace {

struct Accessor {
    std::string brief;
    std::string detail;  // the @param or @return line
    std::string head;
    std::string body;
};

}  // namespace

void BuildStruct::buildMemberAccessors() {
    std::ostringstream& out = *m_classBodies;
    const std::string i2 = Indent::shiftIndent(2u);
    const std::string i3 = Indent::shiftIndent(3u);
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        const std::string& n = m_memberNames[i];
        const std::string& t = m_typeTexts[i];
        // Primitives and enumerations, also behind one alias, by value; everything else by
        // reference.
        AnyType* type = m_memberTypes[i];
        AnyType* base = type->m_Kind == ALIAS_TYPE ? type->getAnyTypePtrBase() : type;
        const bool byValue =
            base != nullptr && (isPrimitive(base->m_Kind) || base->m_Kind == ENUMERATION_TYPE);
        std::vector<Accessor> accessors;
        if (byValue) {
            accessors.push_back({"* @brief Задание значения полю m_" + n,
                                 "* @param[in] value Задаваемое значение типа " + t,
                                 "inline void " + n + "(" + t + " value) {",
                                 "m_" + n + "= value;"});
            accessors.push_back({"* @brief Получение значения поля m_" + n,
                                 "* @return Значение поля m_" + n + " типа " + t,
                                 "inline " + t + " " + n + "() const {", "return m_" + n + ";"});
        } else {
            accessors.push_back({"* @brief Копирование данных объекта value в поле m_" + n,
                                 "* @param[in] value Объект копирования типа " + t,
                                 "inline void " + n + "(" + t + " const& value) {",
                                 "m_" + n + "= value;"});
            accessors.push_back({"* @brief Перемещение данных объекта value в поле m_" + n,
                                 "* @param[in] value Объект перемещения типа " + t,
                                 "inline void " + n + "(" + t + " && value) {",
                                 "m_" + n + "= std::move(value);"});
            accessors.push_back({"* @brief Получение константной ссылки на поле m_" + n,
                                 "* @return Константная ссылка на поле m_" + n + " типа " + t,
                                 "inline const " + t + "& " + n + "() const {",
                                 "return m_" + n + ";"});
        }
        accessors.push_back({"* @brief Получение ссылки на поле m_" + n,
                             "* @return Ссылка на поле m_" + n + " типа " + t,
                             "inline " + t + "& " + n + "() {", "return m_" + n + ";"});
        for (const Accessor& accessor : accessors) {
            out << i2 << "/**\n";
            out << i2 << accessor.brief << "\n";
            out << i2 << accessor.detail << "\n";
            out << i2 << "*/\n";
            out << i2 << accessor.head << "\n";
            out << i3 << accessor.body << "\n";
            out << i2 << "}\n\n";
        }
    }
}

}  // namespace NLX
