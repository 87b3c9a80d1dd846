#pragma once

#include "common/log/Logger.h"
#include "common/res/RtpsMessages.h"

namespace RTPS {

// Severities of the process logger used here.
constexpr int SEVERITY_ERROR = vexalog::Logger::SEV_ERROR;
constexpr int SEVERITY_WARNING = vexalog::Logger::SEV_WARNING;
constexpr int SEVERITY_DEBUG2 = vexalog::Logger::SEV_DEBUG_2;

// Every log record of the transport goes through here to the logger of the process that loaded
// libtrellis. The arguments must match the text of the id (see RtpsMessages.h).
template <class... Args>
inline void transportLog(const char* module, int severity, unsigned id, Args... args) {
    vexalog::Logger& logger = vexalog::Logger::getLogger();
    if (severity <= logger.getLogLevelReadable() || severity <= logger.getLogLevelBinary()) {
        logger.logMessage(module, severity, id, args...);
    }
}

// Whether some log set takes records of this severity. Per-datagram traces ask first, so that
// their arguments (the clock) cost nothing when nobody keeps them.
inline bool transportLogs(int severity) {
    const vexalog::Logger& logger = vexalog::Logger::getLogger();
    return severity <= logger.getLogLevelReadable() || severity <= logger.getLogLevelBinary();
}

}  // namespace RTPS
