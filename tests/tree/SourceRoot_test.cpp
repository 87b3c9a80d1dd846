// The repository root as a program run from it sees it: a configuration file there would be
// read in place of the one under conf/, so none may sit there.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

TEST(SourceRoot, HoldsNoConfigurationFile) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(VEXA_SOURCE_DIR)) {
        if (entry.path().extension() == ".cfg") {
            found.push_back(entry.path().filename().string());
        }
    }
    EXPECT_TRUE(found.empty()) << "configuration files belong under conf/: " << found.front();
}
