#include "common/conf/ConfigurationSource.h"

#include <string>

#include "common/conf/ConfigurationManager.h"
#include "common/log/Logger.h"

namespace vexaconf {

void logConfigurationSource(const ConfigurationManager& config, const char* module, unsigned fromId,
                            unsigned shadowsId) {
    vexalog::Logger& logger = vexalog::Logger::getLogger();
    const std::string path = config.getFilePath();
    logger.logMessage(
        module, vexalog::Logger::SEV_CONFIG, fromId, config.getFileName(),
        path.empty() ? "файл не найден, действуют встроенные значения" : path.c_str());
    const std::string installed = config.shadowedPath();
    if (!installed.empty()) {
        logger.logMessage(module, vexalog::Logger::SEV_WARNING, shadowsId, path.c_str(),
                          installed.c_str());
    }
}

}  // namespace vexaconf
