// The declaration pass: one type at a time in declaration order, each into the text buffer of
// its group, and the enumerations of a module in both of their forms.
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "precompiler/packgen/BuildePack.h"
#include "precompiler/typegen/BuildStruct.h"
#include "precompiler/typegen/BuildUnion.h"
#include "precompiler/typegen/CommentText.h"
#include "precompiler/typegen/FinalType.h"
#include "precompiler/typegen/IntegerLiteral.h"
#include "precompiler/typegen/NameCheck.h"

#include "Indent.h"

#include <algorithm>
#include <set>

namespace NLX {

namespace {

using R = ResourceDDS::res;

std::string padded(const std::string& text, std::size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

}  // namespace

void XML_VEXA_parser::checkTypeName(const AnyType* type) {
    const std::string fault = nameFault(type->m_shortName, m_topicNames);
    if (!fault.empty()) {
        refuse(__func__, __LINE__,
               "Модуль " + m_currentModule + ", тип " + type->m_qualifiedName + ": имя " +
                   type->m_shortName + " " + fault);
    }
}

void XML_VEXA_parser::writeTypedef(std::ostringstream& out, const std::string& target,
                                   const AnyType* type) {
    out << "typedef " << target << " " << type->m_shortName << ";";
    if (!type->m_definition.empty()) {
        out << " /**< " << commentText(type->m_definition) << " */";
    }
    out << "\n";
}

void XML_VEXA_parser::createALLDeclarations(AnyType* type) {
    if (type->m_moduleName != m_currentModule || type->m_Kind <= ENUMERATION_TYPE) {
        return;
    }
    checkTypeName(type);
    switch (type->m_Kind) {
        case MAP_TYPE:
        case SEQUENCE_TYPE:
        case ARRAY_TYPE:
            if (m_firstContainer) {
                m_containers << m_templates.getStr(R::T12, 0, -1) << "\n";
            }
            createContainerDeclarations(type);
            break;
        case STRING_TYPE:
            if (m_firstString) {
                m_strings << m_templates.getStr(R::T14, 0, -1) << "\n";
            }
            createDeclarations(static_cast<String*>(type));
            break;
        case BITSET_TYPE: {
            const auto* bitset = static_cast<const BitSet*>(type);
            checkBitSet(*bitset);
            if (m_firstBitSet) {
                Indent::close();
                m_forwardDeclarations << m_templates.getStr(R::T11, 0, -1) << "\n";
                m_classBodies << m_templates.getStr(R::T4, 0, -1) << "\n";
                m_firstBitSet = false;
            }
            createDeclarations(bitset);
            break;
        }
        case ALIAS_TYPE: {
            log(Logger::SEV_DEBUG_2, "Генерируем описание и алиаса ", type->m_qualifiedName);
            auto* alias = static_cast<Alias*>(type);
            // The buffer of the kind the chain ends in: an alias of an alias of a container
            // must follow the container's typedef, an alias of a union the union's
            // forward declaration.
            const AnyType* target = finalType(alias);
            const TypeKind kind = target != nullptr ? target->m_Kind : NO_TYPE;
            if (isPrimitive(kind)) {
                if (m_firstAlias) {
                    m_primitiveAliases << m_templates.getStr(R::T15, 0, -1) << "\n";
                    m_firstAlias = false;
                }
                createDeclarations(alias, m_primitiveAliases);
            } else if (kind == MAP_TYPE || kind == SEQUENCE_TYPE || kind == ARRAY_TYPE) {
                createDeclarations(alias, m_containers);
            } else if (kind == STRING_TYPE) {
                createDeclarations(alias, m_strings);
            } else if (kind == ENUMERATION_TYPE) {
                createDeclarations(alias, m_enumerations);
            } else if (kind == UNION_TYPE) {
                createDeclarations(alias, m_unionForwardDeclarations);
            } else {
                createDeclarations(alias, m_forwardDeclarations);
            }
            break;
        }
        case UNION_TYPE:
            log(Logger::SEV_DEBUG_2, "Генерируем описания и методы объединения типа ",
                type->m_shortName);
            if (m_buildUnion->m_firstUnion) {
                Indent::close();
                m_unionForwardDeclarations << m_templates.getStr(R::T10, 0, -1) << "\n";
                m_classBodies << m_templates.getStr(R::T5, 0, -1) << "\n";
            }
            m_buildUnion->compile(static_cast<Union*>(type), m_currentModule);
            break;
        case STRUCTURE_TYPE:
            log(Logger::SEV_DEBUG_2, "Генерируем описания и методы структуры типа ",
                type->m_qualifiedName);
            if (m_buildStruct->m_firstStructure) {
                Indent::close();
                m_forwardDeclarations << m_templates.getStr(R::T1, 0, -1) << "\n";
                m_classBodies << m_templates.getStr(R::T3, 0, -1) << "\n";
            }
            m_buildStruct->compile(static_cast<Structure*>(type), m_currentModule);
            m_buildPack->createTopic(static_cast<Structure*>(type));
            break;
        default:
            break;
    }
}

void XML_VEXA_parser::createDeclarations(Alias* alias, std::ostringstream& out) {
    // Seen from this module: another module's types qualified, the base strings and the
    // primitives by their C++ spelling.
    AnyType* target = alias->getAnyTypePtrBase();
    const std::string text =
        target != nullptr ? target->getRealType(m_currentModule) : alias->m_targetTypeName;
    writeTypedef(out, text, alias);
}

void XML_VEXA_parser::createDeclarations(String* text) {
    m_firstString = false;
    if (text->m_shortName == "String8" || text->m_shortName == "String32") {
        return;
    }
    log(Logger::SEV_DEBUG_2, "Генерируем описание строки ", text->m_shortName);
    // The bound is the model's business, not the typedef's: std::string<16> does not compile.
    const AnyType* character = finalType(text->getAnyTypeByString(text->m_elementTypeName));
    const TypeKind kind = character != nullptr ? character->m_Kind : NO_TYPE;
    if (kind != CHAR_8_TYPE && kind != CHAR_32_TYPE) {
        refuse(__func__, __LINE__,
               "Модуль " + m_currentModule + ", строка " + text->m_qualifiedName +
                   ": тип символа " + text->m_elementTypeName +
                   " не Char8, не Char32 и не алиас одного из них");
    }
    writeTypedef(m_strings, kind == CHAR_8_TYPE ? "std::string" : "std::wstring", text);
}

void XML_VEXA_parser::createContainerDeclarations(const AnyType* type) {
    m_firstContainer = false;
    log(Logger::SEV_DEBUG_2, "Генерируем описание контейнера ", type->m_shortName);
    writeTypedef(m_containers, type->m_cppTypeText, type);
}

void XML_VEXA_parser::checkEnumeration(const Enumeration& enumeration) {
    checkTypeName(&enumeration);
    const std::string head =
        "Модуль " + m_currentModule + ", перечисление " + enumeration.m_qualifiedName;
    if (enumeration.m_enumerators.empty()) {
        refuse(__func__, __LINE__, head + " не содержит элементов");
    }
    std::set<std::string> names;
    for (const Enumerator& enumerator : enumeration.m_enumerators) {
        const std::string fault = nameFault(enumerator.m_name);
        if (!fault.empty()) {
            refuse(__func__, __LINE__, head + ": имя элемента " + enumerator.m_name + " " + fault);
        }
        if (!names.insert(enumerator.m_name).second) {
            refuse(__func__, __LINE__, head + ": элемент " + enumerator.m_name + " повторяется");
        }
        if (!fitsIntegerKind(enumerator.m_value, enumeration.m_TypeOfEnum)) {
            refuse(__func__, __LINE__,
                   head + ": значение " + std::to_string(enumerator.m_value) + " элемента " +
                       enumerator.m_name + " вне диапазона типа " +
                       m_typeRep.getDDS(enumeration.m_TypeOfEnum));
        }
    }
}

void XML_VEXA_parser::createEnumDeclarations(const ConstructedTypes& types) {
    const std::vector<Enumeration>& enumerations = types.m_enumerations;
    if (enumerations.empty()) {
        return;
    }
    for (const Enumeration& enumeration : enumerations) {
        checkEnumeration(enumeration);
    }
    std::ostringstream& out = m_enumerations;
    Indent::close();
    out << m_templates.getStr(R::T9, 0, -1) << "\n";
    out << "\n";
    out << "#ifdef NLX_ENUM_CPP11\n";

    // The literal of every value, and the two column widths, per enumeration.
    std::vector<std::vector<std::string>> literals;
    std::vector<std::size_t> nameWidths;
    std::vector<std::size_t> valueWidths;
    for (const Enumeration& enumeration : enumerations) {
        std::vector<std::string> texts;
        std::size_t nameWidth = 0;
        std::size_t valueWidth = 0;
        for (const Enumerator& enumerator : enumeration.m_enumerators) {
            texts.push_back(integerLiteral(enumerator.m_value, enumeration.m_TypeOfEnum));
            nameWidth = std::max(nameWidth, enumerator.m_name.size());
            valueWidth = std::max(valueWidth, texts.back().size());
        }
        literals.push_back(texts);
        nameWidths.push_back(nameWidth);
        valueWidths.push_back(valueWidth);
    }

    for (std::size_t e = 0; e < enumerations.size(); ++e) {
        const Enumeration& enumeration = enumerations[e];
        const std::string& name = enumeration.m_shortName;
        const std::string indent = Indent::shiftIndent();
        const unsigned width = Indent::m_uiIndent;
        out << indent << "/**\n";
        out << indent << "* @enum " << name << "\n";
        out << AddComment(enumeration.m_definition, width > 0 ? width - 1 : 0);
        out << indent << "*/\n";
        out << indent << "enum class " << name << " : "
            << m_typeRep.getCPP(enumeration.m_TypeOfEnum) << " " << Indent::openBrace();
        const std::string inner = Indent::shiftIndent();
        const std::vector<Enumerator>& enumerators = enumeration.m_enumerators;
        for (std::size_t k = 0; k < enumerators.size(); ++k) {
            std::string comment = commentText(enumerators[k].m_definition);
            // "/**<a/" + "*/" would read as a comment opening inside the comment.
            if (!comment.empty() && comment.back() == '/') {
                comment += ' ';
            }
            out << inner << padded(enumerators[k].m_name, nameWidths[e]) << " = "
                << padded(literals[e][k], valueWidths[e])
                << (k + 1 < enumerators.size() ? ", /**<" : "  /**<") << comment << "*/\n";
        }
        out << Indent::closeBrace() << ";\n";
    }

    out << "#else\n";
    for (std::size_t e = 0; e < enumerations.size(); ++e) {
        const Enumeration& enumeration = enumerations[e];
        const std::string& name = enumeration.m_shortName;
        const std::string underlying = m_typeRep.getCPP(enumeration.m_TypeOfEnum);
        const std::string indent = Indent::shiftIndent();
        out << indent << "struct " << name << "_def "
            << " " << Indent::openBrace();
        out << Indent::shiftIndent() << "enum type : " << underlying << " " << Indent::openBrace();
        const std::string inner = Indent::shiftIndent();
        const std::vector<Enumerator>& enumerators = enumeration.m_enumerators;
        for (std::size_t k = 0; k < enumerators.size(); ++k) {
            out << inner << padded(enumerators[k].m_name, nameWidths[e]) << " = " << literals[e][k]
                << (k + 1 < enumerators.size() ? "," : "") << "\n";
        }
        out << Indent::closeBrace() << ";\n";
        out << Indent::closeBrace() << ";\n";
        out << indent << "typedef dds::core::safe_enum< " << name << "_def "
            << "> " << name << ";\n";
    }
    out << "#endif\n";
}

}  // namespace NLX
