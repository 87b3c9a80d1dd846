// The structure class: preparation, class frame, comment, topic glue and data members.
#include "precompiler/typegen/BuildStruct.h"

#include "precompiler/frontend/ElementSpelling.h"
#include "precompiler/frontend/Enumeration.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/typegen/CommentText.h"
#include "precompiler/typegen/FinalType.h"
#include "precompiler/typegen/GeneratorError.h"
#include "precompiler/typegen/NameCheck.h"
#include "precompiler/typegen/Placeholders.h"

#include "Indent.h"
#include "NlxUtils.h"
#include "ResourceDDS.h"
#include "ZetException.h"

#include <cassert>
#include <set>

namespace NLX {

namespace {

// What templates 6 and 25 declare in a topic class, and nameOfType beside them.
const char* const kTopicMembers[] = {"hasKey",       "keyHash",  "lenPacked", "maxlenPacked",
                                     "keylenPacked", "pack",     "packKey",   "unpack",
                                     "unpackKey",    "keyEqual", "nameOfType"};

std::string padded(const std::string& text, std::size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

// A type text the class spells without a namespace, so that a member function of that name
// would change its meaning inside the class.
bool unqualified(const std::string& typeText) {
    return typeText.find("::") == std::string::npos && typeText.find(' ') == std::string::npos;
}

}  // namespace

BuildStruct::BuildStruct(std::ostringstream* forwardDeclarations, std::ostringstream* classBodies,
                         std::ostringstream* definitions, ResourceDDS* templates, Logger* logger)
    : m_forwardDeclarations(forwardDeclarations),
      m_classBodies(classBodies),
      m_definitions(definitions),
      m_templates(templates),
      m_logger(logger) {}

void BuildStruct::refuse(const char* function, int line, const std::string& text) const {
    NLX::refuse(m_logger, "BuildStruct", function, line, text);
}

void BuildStruct::compile(Structure* ptrStructureType, const std::string& modulName) {
    assert(ptrStructureType != nullptr);
    assert(!modulName.empty());
    m_structure = ptrStructureType;
    m_module = modulName;
    m_firstStructure = false;
    m_isTopic = false;
    // Its explicit constructor and == would be left without initialisers and operands.
    if (m_structure->m_members.empty()) {
        refuse(__func__, __LINE__,
               "Структура " + m_structure->m_qualifiedName + " не содержит полей");
    }
    set();
    buildComment();
    std::ostringstream& out = *m_classBodies;
    out << "class " << m_className << " {\n";
    out << Indent::shiftIndent(1u) << "public:\n";
    buildTopick_DATA_SERVICE();
    buildConstructor();
    buildExplicitConstructor();
    buildCopyConstructor();
    buildMoveConstructor();
    buildOperatorCopy();
    buildOperatorMove();
    buildOperatorCompare();
    buildMemberAccessors();
    buildAttributes();
    out << "};\n";
}

void BuildStruct::set() {
    m_typeTexts.clear();
    m_parameterTypes.clear();
    m_memberNames.clear();
    m_memberComments.clear();
    m_memberTypes.clear();
    m_memberCount = m_structure->m_members.size();
    m_referenceParameters = false;
    m_className = m_structure->m_shortName;
    for (const MemberAgregate& member : m_structure->m_members) {
        m_memberComments.push_back(member.m_definition);
        m_memberNames.push_back(member.m_name);
        AnyType* type = m_structure->getAnyTypeByString(member.m_typeName);
        m_memberTypes.push_back(type);
        // String8 and String32 by their C++ spelling from every module.
        const std::string text = elementSpelling(*type, m_module);
        m_typeTexts.push_back(text);
        if (type->isComlexType()) {
            m_referenceParameters = true;
            m_parameterTypes.push_back(text + " const &");
        } else {
            m_parameterTypes.push_back(text);
        }
    }
    if (!m_referenceParameters) {
        m_parameterTypes.clear();
    }
    if (m_structure->m_isTopic) {
        m_isTopic = true;
        checkKeyPaths();
    }
    checkMemberNames();
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        // One loop per dimension, each line indented once more: the text would grow with the
        // square of the dimensions.
        const DefaultInit init = defaultInit(i);
        if (init.kind == DefaultInit::LOOPS && init.depth > AnyType::MAX_NESTING) {
            refuse(__func__, __LINE__,
                   "Модуль " + m_module + ", структура " + m_structure->m_qualifiedName +
                       ": поле " + m_memberNames[i] + " - массив больше чем из " +
                       std::to_string(AnyType::MAX_NESTING) + " измерений");
        }
    }
    m_typeWidth = maxLenthStrInCont(m_typeTexts);
    m_parameterWidth = maxLenthStrInCont(m_parameterTypes);
    m_nameWidth = maxLenthStrInCont(m_memberNames);
}

void BuildStruct::checkKeyPaths() {
    for (const std::string& path : m_structure->m_keyPaths) {
        const Structure* inside = m_structure;
        for (const std::string& piece : getVctKey(path)) {
            // Below a member that is no structure nothing more is looked up.
            if (inside == nullptr) {
                break;
            }
            AnyType* type = nullptr;
            try {
                type = inside->getMemberAnyType(piece);
            } catch (const ZetException& error) {
                refuse(__func__, __LINE__, error.what());
            }
            // A key path may go on through an alias of a structure.
            AnyType* behind = finalType(type);
            inside = behind != nullptr && behind->m_Kind == STRUCTURE_TYPE
                         ? static_cast<const Structure*>(behind)
                         : nullptr;
        }
    }
}

void BuildStruct::checkMemberNames() {
    std::set<std::string> taken = {m_className};
    for (const std::string& text : m_typeTexts) {
        if (unqualified(text)) {
            taken.insert(text);
        }
    }
    if (m_isTopic) {
        taken.insert(std::begin(kTopicMembers), std::end(kTopicMembers));
    }
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        if (defaultInit(i).kind == DefaultInit::MEMSET) {
            taken.insert("memset");  // the default constructor calls it unqualified
        }
    }
    std::set<std::string> seen;
    const std::string head = "Модуль " + m_module + ", структура " + m_structure->m_qualifiedName;
    for (const std::string& name : m_memberNames) {
        const std::string fault = nameFault(name, taken);
        if (!fault.empty()) {
            refuse(__func__, __LINE__, head + ": имя поля " + name + " " + fault);
        }
        if (!seen.insert(name).second) {
            refuse(__func__, __LINE__, head + ": поле " + name + " повторяется");
        }
    }
}

std::vector<std::string> BuildStruct::getVctKey(const std::string& key) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = key.find('.', start);
        pieces.push_back(key.substr(start, dot - start));
        if (dot == std::string::npos) {
            return pieces;
        }
        start = dot + 1;
    }
}

std::string BuildStruct::getDefaultValue(AnyType* type) const {
    // The whole alias chain: a member behind two aliases must not stay uninitialised.
    AnyType* base = finalType(type);
    if (base == nullptr) {
        return std::string();
    }
    if (base->m_Kind == BOOLEAN_TYPE) {
        return "false";
    }
    if (base->isPrimitiveBase()) {
        return "0";
    }
    if (base->m_Kind == ENUMERATION_TYPE) {
        const auto* enumeration = static_cast<const Enumeration*>(base);
        if (!enumeration->m_enumerators.empty()) {
            return base->m_qualifiedName + "::" + enumeration->m_enumerators.front().m_name;
        }
    }
    return std::string();
}

void BuildStruct::buildComment() {
    *m_forwardDeclarations << "class " << m_className << ";\n";
    std::ostringstream& out = *m_classBodies;
    out << "/**\n";
    out << "* @class " << m_structure->m_qualifiedName << "\n";
    out << "* @brief ";
    if (!m_structure->m_verbatims.empty()) {
        out << commentText(m_structure->m_verbatims.front().m_text);
    }
    out << "\n";
    out << "* @author AUTOGENERATE\n";
    out << "* @date " << UTF16toUTF8(getCurrentTimeString()) << "\n";
    out << "*/\n";
}

void BuildStruct::buildTopick_DATA_SERVICE() {
    if (!m_isTopic) {
        return;
    }
    const std::string i2 = Indent::shiftIndent(2u);
    *m_classBodies << i2 << "static const char* nameOfType;\n";
    *m_definitions << "const char* " << m_className << "::nameOfType = \"" << m_module
                   << "::" << m_className << "\";\n";
    const Placeholders topic = {{"TOPIC", m_className}};
    const ResourceDDS::res methods =
        m_structure->m_keyPaths.empty() ? ResourceDDS::res::T25 : ResourceDDS::res::T6;
    for (const std::string& line : substitute(m_templates->get(methods), topic)) {
        *m_classBodies << i2 << line << "\n";
    }
    for (const std::string& line : substitute(m_templates->get(ResourceDDS::res::T30), topic)) {
        *m_definitions << line << "\n";
    }
}

void BuildStruct::buildAttributes() {
    std::ostringstream& out = *m_classBodies;
    const std::string i2 = Indent::shiftIndent(2u);
    out << i2 << "/**\n";
    out << i2 << "* @name Атрибуты класса\n";
    out << i2 << "* @{\n";
    out << i2 << "*/\n";
    for (std::size_t i = 0; i < m_memberCount; ++i) {
        out << i2 << padded(m_typeTexts[i], m_typeWidth) << " ";
        const std::string member = "m_" + m_memberNames[i] + ";";
        if (m_memberComments[i].empty()) {
            out << member << "\n";
        } else {
            out << padded(member, m_nameWidth + 3) << " /**< " << commentText(m_memberComments[i])
                << " */\n";
        }
    }
    out << i2 << "/**\n";
    out << i2 << "* @}\n";
    out << i2 << "*/\n";
}

}  // namespace NLX
