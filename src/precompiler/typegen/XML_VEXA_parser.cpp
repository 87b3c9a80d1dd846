#include "precompiler/typegen/XML_VEXA_parser.h"

#include "precompiler/frontend/Reader.h"

namespace NLX {

XML_VEXA_parser::XML_VEXA_parser(Logger* logger, char* programPath, int packType)
    : m_logger(logger),
      m_packType(packType),
      m_reader(new Reader(&m_types, &m_topics, logger, programPath)) {}

XML_VEXA_parser::~XML_VEXA_parser() = default;

void XML_VEXA_parser::compile(const std::string& modelPath, const std::string&, bool) {
    m_reader->readXMLFile(modelPath);
}

}  // namespace NLX
