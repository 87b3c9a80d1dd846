#include "common/res/ResourceManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/NonRegularFiles.h"
#include "common/res/DcpsMessages.h"

using vexares::ResourceManager;

namespace {

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace

TEST(ResourceManager, StartMessageNeedsNoFile) {
    EXPECT_STREQ(ResourceManager::getString(ResourceManager::LOG_START_MESSAGE), "");
    EXPECT_STREQ(ResourceManager::getBinaryString(ResourceManager::LOG_START_MESSAGE), "|");
    EXPECT_STREQ(ResourceManager::getWstring(ResourceManager::LOG_START_MESSAGE), L"");
}

TEST(ResourceManager, LoadStatuses) {
    ResourceManager& rm = ResourceManager::getInstance();
    writeFile("statuses.res", "9001=a\nb\n");
    EXPECT_EQ(rm.initialise(nullptr), 1u);
    EXPECT_EQ(rm.initialise("no-such-file.res"), 4u);
    EXPECT_EQ(rm.initialise("statuses.res"), 0u);
    EXPECT_TRUE(rm.findList("statuses.res"));
    EXPECT_EQ(rm.initialise("statuses.res"), 6u);
    // Another spelling of the same file is another list.
    EXPECT_EQ(rm.initialise("./statuses.res"), 0u);
    EXPECT_STREQ(ResourceManager::getString(9001), "a");
    EXPECT_EQ(ResourceManager::getString(9002), nullptr);
    // A name that cannot fit in the path buffer together with VEXA_HOME.
    EXPECT_EQ(rm.initialise(std::string(2100, 'n').c_str()), 2u);
}

// A refused file changes nothing; the newest list wins for an id two lists hold.
TEST(ResourceManager, RefusalKeepsChainAndNewestWins) {
    ResourceManager& rm = ResourceManager::getInstance();
    writeFile("older.res", "9101=old\nold-b\n9102=keep\nkeep-b\n");
    writeFile("newer.res", "9101=new\nnew-b\n");
    writeFile("broken.res", "9101=bad\nbad-b\n9103=x\ny\n");
    ASSERT_EQ(rm.initialise("older.res"), 0u);
    testing::internal::CaptureStdout();
    EXPECT_EQ(rm.initialise("broken.res"), 5u);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(rm.findList("broken.res"));
    EXPECT_STREQ(ResourceManager::getString(9101), "old");
    ASSERT_EQ(rm.initialise("newer.res"), 0u);
    EXPECT_STREQ(ResourceManager::getString(9101), "new");
    EXPECT_STREQ(ResourceManager::getBinaryString(9101), "new-b");
    EXPECT_STREQ(ResourceManager::getString(9102), "keep");
    EXPECT_EQ(ResourceManager::getString(9103), nullptr);
}

// A name that is no regular file is refused at once with the loader's message: nothing blocks,
// spins or grows, and the chain stays as it was.
TEST(ResourceManager, NoRegularFileIsRefusedAtOnce) {
    const auto files = vexatest::makeNonRegularFiles("nonregular", ".res");
    ASSERT_EQ(files.size(), 3u);
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        const int rc = vexatest::runWithinASecond([&f] {
            testing::internal::CaptureStdout();
            const unsigned status = ResourceManager::getInstance().initialise(f.name.c_str());
            const std::string printed = testing::internal::GetCapturedStdout();
            CHILD_CHECK(status == 5);
            CHILD_CHECK(printed == "ResourceManager: Not a regular file.");
            CHILD_CHECK(!ResourceManager::getInstance().findList(f.name.c_str()));
            return 0;
        });
        EXPECT_EQ(rc, 0) << (rc == vexatest::CHILD_CRASHED + SIGALRM ? "still reading" : "");
    }
}

// With no file in the working directory the installed one is found through VEXA_HOME.
TEST(ResourceManager, FindsInstalledFileThroughVexaHome) {
    ResourceManager& rm = ResourceManager::getInstance();
    ASSERT_EQ(rm.initialise("dcps_strings_ru.res"), 0u);
    EXPECT_TRUE(rm.findList("dcps_strings_ru.res"));
    ASSERT_NE(ResourceManager::getString(vexares::DCPS_MSG_APPLICATION_OUTPUT), nullptr);
}

// Threads that load at once: exactly one loads, the others see the list; lookups run meanwhile.
TEST(ResourceManager, ConcurrentLoadsLoadOnce) {
    ResourceManager& rm = ResourceManager::getInstance();
    writeFile("race.res", "9201=r\nb\n");
    std::atomic<int> loaded{0}, already{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            const unsigned s = rm.initialise("race.res");
            (s == 0 ? loaded : already)++;
            EXPECT_TRUE(s == 0 || s == 6) << s;
            EXPECT_STREQ(ResourceManager::getString(9201), "r");
        });
    }
    go = true;
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(loaded.load(), 1);
    EXPECT_EQ(already.load(), 7);
}

TEST(ResourceManager, MultibyteLength) {
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    EXPECT_EQ(ResourceManager::mbslen("Привет!"), 7u);
    EXPECT_EQ(ResourceManager::mbslen("a\xFF"), static_cast<size_t>(-1));
    setlocale(LC_CTYPE, "C");
}
