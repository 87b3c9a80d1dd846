#include "precompiler/typegen/GeneratorError.h"

#include "ZetException.h"
#include "common/nlx/Logger.h"

namespace NLX {

void refuse(Logger* logger, const char* file, const char* function, int line,
            const std::string& text) {
    if (logger != nullptr) {
        logger->log("../src/", std::string(file), ":", std::string(function), ":",
                    std::to_string(line), ": ", text, Logger::SEV_ERROR);
    }
    throw ZetException(text);
}

}  // namespace NLX
