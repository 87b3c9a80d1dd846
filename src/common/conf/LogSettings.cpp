#include "common/conf/LogSettings.h"

#include "common/conf/ConfigurationManager.h"
#include "common/log/Logger.h"

namespace vexaconf {

void applyLogSettings(const ConfigurationManager& manager) {
    using M = ConfigurationManager;
    using Setter = int (vexalog::Logger::*)(int);
    static const struct {
        M::CONFIGURATION_PARAMETERS code;
        Setter set;
    } settings[] = {
        {M::DCPS_READABLE_LOG_LEVEL, &vexalog::Logger::setLogLevelReadable},
        {M::DCPS_READABLE_LOG_FILES_NUMBER, &vexalog::Logger::setMaxFilesReadable},
        {M::DCPS_READABLE_LOG_FILE_SIZE, &vexalog::Logger::setMaxSizeReadable},
        {M::DCPS_BINARY_LOG_LEVEL, &vexalog::Logger::setLogLevelBinary},
        {M::DCPS_BINARY_LOG_FILES_NUMBER, &vexalog::Logger::setMaxFilesBinary},
        {M::DCPS_BINARY_LOG_FILE_SIZE, &vexalog::Logger::setMaxSizeBinary},
    };
    for (const auto& s : settings) {
        int value = 0;
        // Only values the file itself holds; defaults would undo settings made in code.
        if (manager.getIntParameter(s.code, &value) == M::CONF_OK) {
            (vexalog::Logger::getLogger().*s.set)(value);
        }
    }
}

}  // namespace vexaconf
