#ifndef TESSGEN_FRONTEND_TOPICDATATYPES_H
#define TESSGEN_FRONTEND_TOPICDATATYPES_H

#include "precompiler/frontend/Structure.h"

#include <map>
#include <string>
#include <vector>

// The topics of one module. The structures are elements of the same module's DDS_Types.
struct TopicDataTypes {
    std::string m_moduleName;
    // Key member paths of each topic structure, commas removed ("a.b" for a nested member).
    std::map<Structure*, std::vector<std::string>> m_keys;
    std::map<std::string, Structure*> m_topics;  // by name; the reader leaves it empty
};

#endif
