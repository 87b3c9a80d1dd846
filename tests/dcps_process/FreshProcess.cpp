#include "FreshProcess.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace vexatest {

bool freshProcessHome(char const* config, bool withTexts) {
    char const* staged = std::getenv("VEXA_HOME");
    char dir[] = "fresh_XXXXXX";
    if (staged == nullptr || mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        std::fprintf(stderr, "no fresh directory (VEXA_HOME %s)\n", staged ? staged : "unset");
        return false;
    }
    std::string const texts = std::string(staged) + "/resources/strings/dcps_strings_ru.res";
    if (mkdir("home", 0700) != 0 || mkdir("home/resources", 0700) != 0 ||
        mkdir("home/resources/strings", 0700) != 0) {
        return false;
    }
    if (withTexts) {
        std::ifstream in(texts, std::ios::binary);
        std::ofstream out("home/resources/strings/dcps_strings_ru.res", std::ios::binary);
        out << in.rdbuf();
        if (!in || !out) {
            std::fprintf(stderr, "cannot copy %s\n", texts.c_str());
            return false;
        }
    }
    if (config != nullptr) {
        std::ofstream cfg("dcps.cfg");
        cfg << config;
        if (!cfg) {
            return false;
        }
    }
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
        return false;
    }
    return setenv("VEXA_HOME", (std::string(cwd) + "/home").c_str(), 1) == 0;
}

}  // namespace vexatest
