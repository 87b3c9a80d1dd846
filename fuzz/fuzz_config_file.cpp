// Configuration files are edited by hand: any content must leave a manager that answers every
// query without reading out of bounds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/conf/ConfigurationManager.h"

using vexaconf::ConfigurationManager;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the set; the rest is the file.
    const auto set = static_cast<ConfigurationManager::CONFIGURATION_SET>(data[0] % 5);
    static const std::string path = "fuzz-" + std::to_string(getpid()) + ".cfg";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return 0;
    }
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);

    ConfigurationManager manager(set, path.c_str());
    manager.read(false);
    char text[64];
    for (unsigned code = 0; code <= 41; ++code) {
        const auto c = static_cast<ConfigurationManager::CONFIGURATION_PARAMETERS>(code);
        int i = 0;
        bool b = false;
        manager.getIntParameter(c, &i);
        manager.getBoolParameter(c, &b);
        manager.getStringParameter(c, sizeof text, text);
        if (const vexaconf::ConfigurationParameter* p = manager.getParameter(c)) {
            manager.getParameter(p->getStringId(), sizeof text, text);
        }
    }
    char listing[4096];
    unsigned count = 0, length = 0;
    manager.getConfigurationStrings(sizeof listing, listing, count, length);
    std::remove(path.c_str());
    return 0;
}
