#ifndef TESSGEN_PACKGEN_BUILDEPACK_H
#define TESSGEN_PACKGEN_BUILDEPACK_H

#include "vexa_pack.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

class ResourceDDS;
class Structure;

namespace NLX {

class Logger;

// The pack-code generator of one module, built by the model compiler at the start of every
// module with its nine fields in this order and deleted at the next. For now it writes
// nothing: the CDR functions of the topics come later, with the same fields and entry.
struct BuildePack {
    std::ostream* m_header;    // model_DCPS_Pack.h, not owned
    std::ostream* m_source;    // model_DCPS_Pack.cpp, not owned
    std::string m_moduleName;  // the module's namespace
    bool m_shiftDeclared;      // scratch flag of the length writer; false at the start
    VEXA_PACK::EnEncapsulation m_encapsulation;  // CDR_LE
    ResourceDDS* m_templates;                    // the code template table, not owned
    // Function-name suffix per encapsulation: CDR_LE "", CDR_BE "CH".
    std::map<VEXA_PACK::EnEncapsulation, std::string> m_suffixes;
    // The encapsulations the read side is written for: CDR_LE, then CDR_BE.
    std::vector<VEXA_PACK::EnEncapsulation> m_encapsulations;
    Logger* m_logger;  // not owned

    // Called for every structure of the module right after its class; writes the CDR
    // functions of a topic structure into the two pack files, nothing for any other.
    void createTopic(Structure* structure);
};

}  // namespace NLX

#endif
