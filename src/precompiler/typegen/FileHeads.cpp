// File heads, the module namespaces of the four files that hold them, and AddComment.
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "precompiler/typegen/CommentText.h"
#include "precompiler/typegen/Placeholders.h"

#include "Indent.h"
#include "NlxUtils.h"

namespace NLX {

namespace {

using R = ResourceDDS::res;

void writeLines(std::ofstream& out, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        out << line << "\n" << std::flush;
    }
}

// The lines of a template with "***" standing for the model name.
std::vector<std::string> withModel(ResourceDDS& templates, R key, const std::string& model) {
    std::vector<std::string> lines = templates.get(key);
    replace(lines, "***", model);
    return lines;
}

// "#ifndef NLX_<G>" and "#define NLX_<G>": the model name upper-cased, every byte that cannot
// stand in a macro name made '_' (a.b would end the macro at the dot and give all six files
// one guard).
void writeGuard(std::ofstream& out, const std::string& model, const char* suffix) {
    std::string guard = toUpperCase(model) + suffix;
    for (char& c : guard) {
        const bool fits =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!fits) {
            c = '_';
        }
    }
    out << "#ifndef NLX_" << guard << "\n" << std::flush;
    out << "#define NLX_" << guard << "\n" << std::flush;
}

// The second file's banner from the first's: its path and purpose in place of the first's.
std::vector<std::string> secondBanner(std::vector<std::string> first, const std::string& firstPath,
                                      const std::string& path, const std::string& firstPurpose,
                                      const std::string& purpose) {
    replace(first, commentText(firstPath), commentText(path));
    replace(first, firstPurpose, purpose);
    return first;
}

}  // namespace

std::vector<std::string> XML_VEXA_parser::banner(const std::string& purpose,
                                                 const std::string& path) {
    std::vector<std::string> lines = m_templates.get(R::T0);
    replace(lines, "purpose", purpose);
    replace(lines, "name", commentText(path));
    replace(lines, "source", commentText(m_modelPath));
    replace(lines, "date", m_generationTime);
    return lines;
}

void XML_VEXA_parser::CreateHeaderProjectTypes(const std::string& model) {
    const std::string purpose = m_templates.get(R::T8).at(0);
    const std::vector<std::string> head = banner(purpose, m_typesFiles.h);
    writeLines(m_typesHeader, head);
    writeLines(m_typesHeader, {"#ifdef WIN32", "#pragma warning(disable: 4100)", "#endif"});
    writeGuard(m_typesHeader, model, "_H");
    writeLines(m_typesHeader, m_templates.get(R::T22));
    if (m_enumCpp11) {
        writeLines(m_typesHeader, {"#ifndef NLX_ENUM_CPP11", "#define NLX_ENUM_CPP11", "#endif"});
    }
    writeLines(m_typesSource, secondBanner(head, m_typesFiles.h, m_typesFiles.cpp, purpose,
                                           m_templates.get(R::T16).at(0)));
    writeLines(m_typesSource, withModel(m_templates, R::T24, model));
}

void XML_VEXA_parser::CreateHeaderProjectDCPS(const std::string& model) {
    const std::string purpose = m_templates.get(R::T18).at(0);
    const std::vector<std::string> head = banner(purpose, m_dcpsFiles.hpp);
    writeLines(m_dcpsMain, head);
    writeGuard(m_dcpsMain, model, "_DCPS_HPP");
    writeLines(m_dcpsMain, withModel(m_templates, R::T27, model));
    writeLines(m_dcpsHeader, secondBanner(head, m_dcpsFiles.hpp, m_dcpsFiles.h, purpose,
                                          m_templates.get(R::T19).at(0)));
    writeGuard(m_dcpsHeader, model, "_DCPS_H");
    writeLines(m_dcpsHeader, withModel(m_templates, R::T28, model));
}

void XML_VEXA_parser::CreateHeaderProjectPack(const std::string& model) {
    const std::string purpose = m_templates.get(R::T20).at(0);
    const std::vector<std::string> head = banner(purpose, m_packFiles.h);
    writeLines(m_packHeader, head);
    writeGuard(m_packHeader, model, "_DCPS_PACK_H");
    writeLines(m_packHeader, withModel(m_templates, R::T29, model));
    writeLines(m_packSource, secondBanner(head, m_packFiles.h, m_packFiles.cpp, purpose,
                                          m_templates.get(R::T21).at(0)));
    writeLines(m_packSource, withModel(m_templates, R::T23, model));
    m_packHeader << std::flush;
    m_packSource << std::flush;
}

void XML_VEXA_parser::CreateNamespceForModuleTypes(std::string module) {
    m_typesHeader << "namespace " << module << " "
                  << " {\n"
                  << std::flush;
    m_typesSource << "namespace " << module << " " << Indent::openBrace() << std::flush;
}

void XML_VEXA_parser::CreateModuleDCPS(const std::string& module) {
    std::vector<const AnyType*> topics;
    for (const AnyType* type : m_order.types()) {
        if (type->m_Kind == STRUCTURE_TYPE && type->m_moduleName == module &&
            static_cast<const Structure*>(type)->m_isTopic) {
            topics.push_back(type);
        }
    }
    for (const AnyType* topic : topics) {
        m_dcpsMain << "REGISTER_TOPIC_TRAITS(::" << topic->m_qualifiedName << ")\n" << std::flush;
    }
    m_dcpsHeader << "\n" << std::flush;
    m_dcpsHeader << "namespace " << module << " {\n" << std::flush;
    for (const AnyType* topic : topics) {
        // One pass: a module MYTOPICS keeps its name.
        writeLines(m_dcpsHeader, substitute(m_templates.get(R::T32),
                                            {{"MODULE", module}, {"TOPIC", topic->m_shortName}}));
    }
}

void XML_VEXA_parser::CreateModuleNamespceDCPS_Pack(const std::string& module) {
    const std::string brace = Indent::openBrace();
    m_packHeader << "namespace " << module << " " << brace;
    m_packSource << "namespace " << module << " "
                 << " {\n";
    m_packHeader << std::flush;
    m_packSource << std::flush;
}

void XML_VEXA_parser::closeNamespase(const std::string& module) {
    m_packHeader << std::flush;
    m_packSource << std::flush;
    m_typesHeader << Indent::closeBrace() << " // close namespace " << module << "\n" << std::flush;
    m_typesSource << "} // close namespace " << module << "\n" << std::flush;
    m_packHeader << Indent::closeBrace() << " // close namespace " << module << "\n" << std::flush;
    m_packSource << "} // close namespace " << module << "\n" << std::flush;
    m_dcpsHeader << "} // close namespace " << module << "\n" << std::flush;
    for (std::ostringstream* buffer :
         {&m_classBodies, &m_definitions, &m_forwardDeclarations, &m_unionForwardDeclarations,
          &m_primitiveAliases, &m_enumerations, &m_containers, &m_strings}) {
        buffer->str(std::string());
        buffer->clear();
    }
    m_packHeader << std::flush;
    m_packSource << std::flush;
}

std::string XML_VEXA_parser::AddComment(const std::string& text, unsigned level) {
    const std::string indent = Indent::shiftIndent(level);
    std::string prefix = indent + "* @brief ";
    std::string result;
    std::istringstream lines(commentText(text));
    std::string line;
    // The end is noticed only by a read: "" gives one line, "a\n" a last empty one.
    while (!lines.eof()) {
        std::getline(lines, line);
        result += prefix + line + "\n";
        prefix = indent + "*        ";
    }
    return result;
}

}  // namespace NLX
