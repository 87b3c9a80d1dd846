#include "precompiler/typegen/BuildStruct.h"

#include "precompiler/frontend/Structure.h"

namespace NLX {

BuildStruct::BuildStruct(std::ostringstream* forwardDeclarations, std::ostringstream* classBodies,
                         std::ostringstream* definitions, ResourceDDS* templates, Logger* logger)
    : m_forwardDeclarations(forwardDeclarations),
      m_classBodies(classBodies),
      m_definitions(definitions),
      m_templates(templates),
      m_logger(logger) {}

void BuildStruct::compile(Structure* structure, const std::string&) {
    m_firstStructure = false;
    *m_forwardDeclarations << "class " << structure->m_shortName << ";\n";
}

}  // namespace NLX
