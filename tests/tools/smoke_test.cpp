#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// The launcher gives every test its own working directory and VEXA_HOME.
TEST(Harness, VexaHomePointsAtTheStage) {
    const char* home = std::getenv("VEXA_HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(std::string(home), VEXA_STAGE_DIR);
}
