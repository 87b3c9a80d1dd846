#ifndef TESSGEN_TYPEGEN_GENERATORERROR_H
#define TESSGEN_TYPEGEN_GENERATORERROR_H

#include <string>

namespace NLX {

class Logger;

// How a code generator refuses: one severity-2 line "../src/<file>:<function>:<line>: <text>"
// (when there is a logger), then NLX::ZetException with the bare text. Nothing of the refused
// type has been written at that point.
[[noreturn]] void refuse(Logger* logger, const char* file, const char* function, int line,
                         const std::string& text);

}  // namespace NLX

#endif
