#ifndef TESSGEN_TYPEGEN_XML_VEXA_PARSER_H
#define TESSGEN_TYPEGEN_XML_VEXA_PARSER_H

#include <memory>
#include <string>
#include <vector>

#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/TopicDataTypes.h"

class Reader;

namespace NLX {

class Logger;

// The compile driver: one compilation of one model. For now it reads, validates and checks the
// model and builds its type model; the generators that write the result directory come later.
class XML_VEXA_parser {
public:
    // logger is not owned; programPath is argv[0]; packType is the packing variant.
    XML_VEXA_parser(Logger* logger, char* programPath, int packType);
    XML_VEXA_parser(const XML_VEXA_parser&) = delete;
    XML_VEXA_parser& operator=(const XML_VEXA_parser&) = delete;
    ~XML_VEXA_parser();

    // Every model error leaves as NLX::ZetException.
    void compile(const std::string& modelPath, const std::string& resultDirectory,
                 bool scopedEnumerations);

private:
    [[maybe_unused]] Logger* m_logger;
    [[maybe_unused]] int m_packType;
    // The type model of the compiled model, module by module, and its topics.
    std::vector<DDS_Types> m_types;
    std::vector<TopicDataTypes> m_topics;
    std::unique_ptr<Reader> m_reader;
};

}  // namespace NLX

#endif
