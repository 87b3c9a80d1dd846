#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "rtps/io/RTPSRouter.h"

using RTPS::RTPSRouter;

TEST(RTPSRouter, PerWriterAddressesFromUnicastAddressAndIndex) {
    struct Case {
        const char* unicast;
        unsigned index;
        const char* first;  // null: no per-writer group at all
        const char* second;
    };
    const Case cases[] = {
        {"10.1.2.17", 3, "239.17.3.0", "239.17.3.1"},
        {"192.168.100.255", 119, "239.255.119.0", "239.255.119.1"},
        {"127.0.0.1", 0, "239.1.0.0", "239.1.0.1"},
        // Texts with no usable last octet, and an index that is not an octet.
        {"", 3, nullptr, nullptr},
        {"localhost", 3, nullptr, nullptr},
        {"10.1.2.", 3, nullptr, nullptr},
        {"10.1.2.256", 3, nullptr, nullptr},
        {"10.1.2.1x", 3, nullptr, nullptr},
        {"10.1.2.0017", 3, nullptr, nullptr},
        {"10.1.2.17", 256, nullptr, nullptr},
    };
    for (Case const& c : cases) {
        RTPSRouter router(c.unicast, c.index);
        std::optional<std::string> first = router.getGroupAddress();
        std::optional<std::string> second = router.getGroupAddress();
        if (c.first == nullptr) {
            EXPECT_FALSE(first.has_value()) << c.unicast << " " << c.index;
            EXPECT_FALSE(second.has_value()) << c.unicast << " " << c.index;
        } else {
            EXPECT_EQ(first.value_or("none"), c.first) << c.unicast;
            EXPECT_EQ(second.value_or("none"), c.second) << c.unicast;
        }
    }
}

TEST(RTPSRouter, The257thPerWriterRequestGetsNone) {
    RTPSRouter router("10.1.2.17", 3);
    for (int slot = 0; slot < 256; ++slot) {
        ASSERT_EQ(router.getGroupAddress().value_or("none"), "239.17.3." + std::to_string(slot));
    }
    EXPECT_FALSE(router.getGroupAddress().has_value());
    EXPECT_FALSE(router.getGroupAddress().has_value());
    // Topic groups do not use the slots.
    EXPECT_EQ(router.getGroupAddress(std::string()), "239.183.4.206");
}

TEST(RTPSRouter, ConcurrentWritersNeverShareASlot) {
    RTPSRouter router("10.0.0.5", 7);
    std::mutex m;
    std::multiset<std::string> given;
    int refused = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i) {
                std::optional<std::string> a = router.getGroupAddress();
                std::lock_guard<std::mutex> g(m);
                if (a) {
                    given.insert(*a);
                } else {
                    ++refused;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(given.size(), 256u);
    EXPECT_EQ(std::set<std::string>(given.begin(), given.end()).size(), 256u);
    EXPECT_EQ(refused, 8 * 40 - 256);
}

TEST(RTPSRouter, TopicAddressesComeFromTheCrc24OfTheName) {
    RTPSRouter one("10.1.2.17", 3);
    RTPSRouter other("172.16.0.9", 41);
    struct Case {
        std::string topic;
        const char* address;
    };
    const Case cases[] = {
        {"", "239.183.4.206"},                 // CRC-24 0xB704CE
        {"DCPSParticipant", "239.25.236.35"},  // 0x19EC23
        {"Topic847", "239.186.217.157"},       // 0xBAD99D
        {std::string("a\0b", 3), nullptr},     // a name with a NUL byte is hashed whole
    };
    for (Case const& c : cases) {
        std::string a = one.getGroupAddress(c.topic);
        EXPECT_EQ(a, one.getGroupAddress(c.topic)) << c.topic;
        EXPECT_EQ(a, other.getGroupAddress(c.topic)) << c.topic;
        if (c.address != nullptr) {
            EXPECT_EQ(a, c.address) << c.topic;
        }
    }
    EXPECT_NE(one.getGroupAddress(std::string("a\0b", 3)), one.getGroupAddress("a"));
}

TEST(RTPSRouter, TopicsWithTheSameCrcShareTheirGroupAndTheClashIsLogged) {
    LogCapture log;
    const std::string clash =
        "Тема \"Topic171000\" получает тот же групповой адрес, что и тема \"Topic847\"";
    const size_t before = LogCapture::count(clash);
    RTPSRouter router("10.1.2.17", 3);
    // Both names hash to 0xBAD99D.
    EXPECT_EQ(router.getGroupAddress("Topic847"), "239.186.217.157");
    EXPECT_EQ(router.getGroupAddress("Topic171000"), "239.186.217.157");
    EXPECT_EQ(router.getGroupAddress("Topic847"), "239.186.217.157");
    EXPECT_EQ(LogCapture::count(clash), before + 1);
    EXPECT_EQ(LogCapture::count("(CRC-24 0xBAD99D)"), before + 1);
}
