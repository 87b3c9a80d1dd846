#pragma once

#include <dirent.h>

#include <fstream>
#include <sstream>
#include <string>

#include "common/log/Logger.h"
#include "common/res/ResourceManager.h"

// Lets a test see the engine's log records: loads the engine's message texts, opens the
// readable log to every severity and reads back what the process logger wrote into the
// working directory.
class LogCapture {
public:
    LogCapture() {
        vexares::ResourceManager::getInstance().initialise("rtps_strings_ru.res");
        vexalog::Logger::getLogger().setLogLevelReadable(7);
    }

    // Everything in the readable log files of the working directory.
    static std::string text() {
        std::string all;
        DIR* dir = opendir(".");
        if (dir == nullptr) {
            return all;
        }
        while (dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            const std::string prefix = vexalog::Logger::getLogger().getPrefix();
            if (name.compare(0, prefix.size(), prefix) == 0 && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".log") == 0) {
                std::ifstream in(name, std::ios::binary);
                std::ostringstream s;
                s << in.rdbuf();
                all += s.str();
            }
        }
        closedir(dir);
        return all;
    }

    // How often `needle` occurs in the log.
    static size_t count(std::string const& needle) {
        const std::string all = text();
        size_t n = 0;
        for (size_t pos = all.find(needle); pos != std::string::npos;
             pos = all.find(needle, pos + needle.size())) {
            ++n;
        }
        return n;
    }
};
