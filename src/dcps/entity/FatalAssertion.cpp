#include "dcps/entity/FatalAssertion.h"

#include <cstdio>
#include <cstdlib>

#include "common/log/Logger.h"
#include "common/res/DcpsMessages.h"

namespace vexa::dcps {

void fatalAssertion(char const* module, char const* condition) {
    vexalog::Logger::getLogger().logMessage(module, 1, vexares::DCPS_MSG_FATAL_ASSERTION,
                                            condition);
    std::fprintf(stderr, "%s: assertion failed: %s\n", module, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace vexa::dcps
