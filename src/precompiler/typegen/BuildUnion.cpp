// The union class: preparation, comment, default constructor and data members.
#include "precompiler/typegen/BuildUnion.h"

#include "precompiler/frontend/Enumeration.h"
#include "precompiler/frontend/Union.h"
#include "precompiler/typegen/CaseLabels.h"
#include "precompiler/typegen/CommentText.h"
#include "precompiler/typegen/GeneratorError.h"
#include "precompiler/typegen/NameCheck.h"

#include "Indent.h"
#include "NlxUtils.h"

#include <cassert>
#include <set>

namespace NLX {

namespace {

std::string padded(const std::string& text, std::size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

}  // namespace

BuildUnion::BuildUnion(const std::string& notActiveText, const std::string& notSetText, Msg* texts,
                       std::ostringstream* forwardDeclarations, std::ostringstream* classBodies,
                       std::ostringstream* definitions, Logger* logger)
    : m_notActiveText(notActiveText),
      m_notSetText(notSetText),
      m_texts(texts),
      m_forwardDeclarations(forwardDeclarations),
      m_classBodies(classBodies),
      m_definitions(definitions),
      m_logger(logger) {}

void BuildUnion::refuse(const char* function, int line, const std::string& text) const {
    NLX::refuse(m_logger, "BuildUnion", function, line, text);
}

void BuildUnion::compile(Union* unionType, const std::string& module) {
    assert(unionType != nullptr);
    m_union = unionType;
    m_firstUnion = false;
    m_module = module;
    set();
    buildComment();
    std::ostringstream& out = *m_classBodies;
    out << "class " << m_className << " {\n";
    out << Indent::shiftIndent(1u) << "public:\n";
    buildConstructor();
    buildCopyConstructor();
    buildMoveConstructor();
    buildOperatorCopy();
    buildOperatorMove();
    buildOperatorCompare();
    buildMemberAccessors();
    buildAttributes();
    out << "};\n";
}

void BuildUnion::set() {
    m_labels.clear();
    m_caseMember.clear();
    m_memberNames.clear();
    m_typeTexts.clear();
    m_memberComments.clear();
    m_memberTypes.clear();
    m_className = m_union->m_shortName;
    m_storage = "m_" + m_className;
    m_storageType = m_className + "_storage";
    const std::string head = "Модуль " + m_module + ", объединение " + m_union->m_qualifiedName;

    AnyType* declared = m_union->m_discriminatorType != nullptr
                            ? m_union->m_discriminatorType
                            : m_union->getAnyTypeByString(m_union->m_discriminatorTypeName);
    AnyType* base = discriminatorBase(*m_union);
    if (base == nullptr) {
        refuse(__func__, __LINE__,
               head + ": тип дискриминанта " + m_union->m_discriminatorTypeName +
                   " не Boolean, не Byte, не целый, не Char8, не Char32 и не перечисление");
    }
    // Also through aliases, and qualified for another module's enumeration.
    m_discriminator = declared->getRealType(m_module);
    m_switchSubject = switchSubject(*m_union, "m_d");
    m_discriminatorInit = "m_d(0), ";
    if (base->m_Kind == ENUMERATION_TYPE) {
        const auto* enumeration = static_cast<const Enumeration*>(base);
        // The first issue's declaration pass refuses empty enumerations; one never gets here.
        if (enumeration->m_enumerators.empty()) {
            refuse(__func__, __LINE__,
                   head + ": перечисление дискриминанта " + base->m_qualifiedName +
                       " не содержит элементов");
        }
        m_discriminatorInit = "m_d(" + base->m_qualifiedName +
                              "::" + enumeration->m_enumerators.front().m_name + "),";
    }

    if (m_union->m_cases.empty()) {
        refuse(__func__, __LINE__, head + " не содержит вариантов");
    }
    std::size_t defaults = 0;
    std::size_t caseIndex = 0;
    for (const auto& entry : m_union->m_cases) {
        const MemberAgregate& member = entry.second;
        AnyType* type = caseIndex < m_union->m_caseTypes.size()
                            ? m_union->m_caseTypes[caseIndex]
                            : m_union->getAnyTypeByString(member.m_typeName);
        if (!type->isFixedLength()) {
            // The text and its place in the log are the ones users know.
            NLX::refuse(m_logger, "BuildUnion", "set", 130,
                        "В типах данных union реализовано использование только типов с "
                        "фиксированным размером!!!");
        }
        if (member.m_default) {
            m_defaultCase = caseIndex;
            ++defaults;
        }
        std::size_t index = 0;
        while (index < m_memberNames.size() && m_memberNames[index] != member.m_name) {
            ++index;
        }
        if (index == m_memberNames.size()) {
            m_memberNames.push_back(member.m_name);
            m_memberTypes.push_back(type);
            m_typeTexts.push_back(type->getRealType(m_module));
            m_memberComments.push_back(member.m_definition);
        } else if (m_memberTypes[index] != type) {
            refuse(__func__, __LINE__,
                   head + ": поле " + member.m_name + " повторяется с другим типом " +
                       member.m_typeName);
        }
        m_caseMember.push_back(index);
        ++caseIndex;
    }
    if (defaults != 1) {
        refuse(__func__, __LINE__,
               head + ": вариантов по умолчанию " + std::to_string(defaults) +
                   ", а должен быть ровно один");
    }
    checkMemberNames();
    m_labels = caseLabels(*m_union, m_module, m_logger);
    m_typeWidth = maxLenthStrInCont(m_typeTexts);
    m_nameWidth = maxLenthStrInCont(m_memberNames);
}

void BuildUnion::checkMemberNames() {
    // m_d, m_d_set, _d(), the class, its storage and what the class spells unqualified.
    std::set<std::string> taken = {"d", "d_set", "_d", m_className, m_storageType};
    for (const std::string& text : m_typeTexts) {
        if (text.find("::") == std::string::npos && text.find(' ') == std::string::npos) {
            taken.insert(text);
        }
    }
    if (m_discriminator.find("::") == std::string::npos) {
        taken.insert(m_discriminator);
    }
    for (const std::string& name : m_memberNames) {
        const std::string fault = nameFault(name, taken);
        if (!fault.empty()) {
            refuse(__func__, __LINE__,
                   "Модуль " + m_module + ", объединение " + m_union->m_qualifiedName +
                       ": имя поля " + name + " " + fault);
        }
    }
}

void BuildUnion::buildComment() {
    *m_forwardDeclarations << "class " << m_className << ";\n";
    std::ostringstream& out = *m_classBodies;
    out << "/**\n";
    out << "* @class " << m_union->m_qualifiedName << "\n";
    out << "* @brief ";
    if (!m_union->m_verbatims.empty()) {
        out << commentText(m_union->m_verbatims.front().m_text);
    }
    out << "\n";
    if (!m_union->m_definition.empty()) {
        out << "* \n";
        out << "* " << commentText(m_union->m_definition) << "\n";
    }
    out << "* @author AUTOGENERATE\n";
    out << "* @date " << UTF16toUTF8(getCurrentTimeString()) << "\n";
    out << "*/\n";
}

void BuildUnion::buildConstructor() {
    std::ostringstream& out = *m_classBodies;
    const std::string i2 = Indent::shiftIndent(2u);
    out << i2 << "/**\n";
    out << i2 << "* @brief Конструктор по умолчанию\n";
    out << i2 << "*/\n";
    out << i2 << m_className << "() : " << m_discriminatorInit << m_storage
        << "(), m_d_set(false) {};\n";
}

void BuildUnion::buildAttributes() {
    std::ostringstream& out = *m_classBodies;
    const std::string i2 = Indent::shiftIndent(2u);
    const std::string i3 = Indent::shiftIndent(3u);
    out << i2 << "/**\n";
    out << i2 << "* @brief Атрибуты класса\n";
    out << i2 << "*/\n";
    out << i2 << padded(m_discriminator, m_typeWidth) << " m_d; /**< Дискриминант */\n";
    out << "\n";
    // Named, with empty special members: a member with a constructor of its own (a structure,
    // a bit set) would delete those of an unnamed union, and with them the class's.
    out << i2 << "union " << m_storageType << " {\n";
    out << i3 << m_storageType << "() {}\n";
    out << i3 << "~" << m_storageType << "() {}\n";
    for (std::size_t i = 0; i < m_memberNames.size(); ++i) {
        out << i3 << padded(m_typeTexts[i], m_typeWidth) << " ";
        const std::string member = "m_" + m_memberNames[i] + ";";
        if (m_memberComments[i].empty()) {
            out << member << "\n";
        } else {
            out << padded(member, m_nameWidth + 3) << " /**< " << commentText(m_memberComments[i])
                << " */\n";
        }
    }
    out << i2 << "} " << m_storage << ";\n";
    out << i2 << "bool m_d_set; /**< */\n";
}

std::string BuildUnion::storageOf(std::size_t member) const {
    return m_storage + ".m_" + m_memberNames[member];
}

}  // namespace NLX
