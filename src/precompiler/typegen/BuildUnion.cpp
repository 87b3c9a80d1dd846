#include "precompiler/typegen/BuildUnion.h"

#include "precompiler/frontend/Union.h"

namespace NLX {

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

void BuildUnion::compile(Union* unionType, const std::string&) {
    m_firstUnion = false;
    *m_forwardDeclarations << "class " << unionType->m_shortName << ";\n";
}

}  // namespace NLX
