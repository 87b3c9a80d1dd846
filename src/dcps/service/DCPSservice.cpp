#include "dcps/service/DCPSservice.h"

#include <cstdio>

#include "common/conf/ConfigurationManager.h"
#include "common/conf/ConfigurationSource.h"
#include "common/log/Logger.h"
#include "common/os/OsStatus.h"
#include "common/res/DcpsMessages.h"
#include "common/res/ResourceManager.h"
#include "dcps/service/DPFactory.h"

namespace vexa::dcps {

using vexaconf::ConfigurationManager;

namespace {
char const MODULE[] = "DCPSservice::DCPSservice";
}

DCPSservice& DCPSservice::getInstance() {
    static DCPSservice service;
    return service;
}

DCPSservice::DCPSservice() {
    ready_ = false;
    vexa::OsInitialize();
    priorityOffset_ = 1;

    unsigned const loaded =
        vexares::ResourceManager::getInstance().initialise("dcps_strings_ru.res");
    if (loaded == vexares::ResourceManager::RES_NOT_FOUND) {
        std::printf("Error: Resource file \"dcps_strings_ru.res\" not found\n");
        return;
    }
    if (loaded != vexares::ResourceManager::RES_OK &&
        loaded != vexares::ResourceManager::RES_ALREADY_LOADED) {
        std::printf("Error reading resource file: \"dcps_strings_ru.res\" \n");
        return;
    }

    configuration_ = std::make_unique<ConfigurationManager>(ConfigurationManager::SET_DCPS);
    unsigned const read = configuration_->read(true);
    vexaconf::logConfigurationSource(*configuration_, MODULE, vexares::DCPS_MSG_CONFIG_SOURCE,
                                     vexares::DCPS_MSG_CONFIG_SHADOWS_INSTALLED);
    if (read != ConfigurationManager::CONF_OK &&
        read != ConfigurationManager::CONF_FILE_NOT_FOUND) {
        vexalog::Logger::getLogger().logMessage(MODULE, 2, vexares::DCPS_MSG_CONFIG_UNREADABLE,
                                                configuration_->getFileName(), read);
        return;
    }

    char home[ConfigurationManager::PATH_SIZE] = {};
    ConfigurationManager::getVexaHome(sizeof home, home);
    home_ = home;

    if (read == ConfigurationManager::CONF_OK) {
        configuration_->getIntParameter(ConfigurationManager::DCPS_MAX_SAMPLES_PER_DW_LIMIT,
                                        &maxSamplesPerWriter_);
        configuration_->getIntParameter(ConfigurationManager::DCPS_MAX_SAMPLES_PER_DR_LIMIT,
                                        &maxSamplesPerReader_);
        configuration_->getIntParameter(
            ConfigurationManager::DCPS_NUMBER_OF_PREALLOCATED_SAMPLES_PER_READER,
            &preallocatedPerReader_);
        configuration_->getIntParameter(ConfigurationManager::DCPS_COLLECT_GARBAGE_PERIOD,
                                        &collectPeriod_);
    }

    factory_ = std::make_unique<DPFactory>(collectPeriod_);
    ready_ = factory_->isReady();

    vexalog::Logger::getLogger().logMessage(MODULE, 5, vexares::DCPS_MSG_SERVICE_STARTED, 1, 0,
                                            1928, "RT:release");
}

DCPSservice::~DCPSservice() = default;

}  // namespace vexa::dcps
