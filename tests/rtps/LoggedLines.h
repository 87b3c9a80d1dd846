#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

#include "common/log/Logger.h"
#include "common/res/ResourceManager.h"

// Loads the engine's message texts, as a participant does; true when they are there.
inline bool loadEngineTexts() {
    setenv("VEXA_HOME", VEXA_STAGE_DIR, 0);
    const unsigned loaded =
        vexares::ResourceManager::getInstance().initialise("rtps_strings_ru.res");
    return loaded == vexares::ResourceManager::RES_OK ||
           loaded == vexares::ResourceManager::RES_ALREADY_LOADED;
}

// Lines of the process logger's first readable file that hold `text`.
inline int loggedLines(const std::string& text) {
    const std::string name = std::string(vexalog::Logger::getLogger().getPrefix()) + "00.log";
    std::ifstream in(name);
    int count = 0;
    std::string line;
    while (std::getline(in, line)) {
        count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
}
