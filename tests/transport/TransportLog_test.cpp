#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "FakeParticipant.h"
#include "LoopbackSetup.h"
#include "common/log/Logger.h"
#include "common/res/ResourceManager.h"
#include "rtps/io/TransportErrors.h"
#include "transport/InputBufferPool.h"
#include "transport/RTPSDataTransportImpl.h"

namespace {

using namespace std::chrono_literals;
using vexatest::udpLocator;

// Everything the readable log files of the working directory hold.
std::string readableLog() {
    std::string all;
    if (DIR* dir = opendir(".")) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.rfind("vexa", 0) == 0 && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".log") == 0) {
                std::ifstream file(name);
                std::stringstream text;
                text << file.rdbuf();
                all += text.str();
            }
        }
        closedir(dir);
    }
    return all;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class TransportLog : public ::testing::Test {
protected:
    void SetUp() override {
        vexares::ResourceManager::getInstance().initialise("rtps_strings_ru.res");
        vexalog::Logger::getLogger().setLogLevelReadable(vexalog::Logger::SEV_WARNING);
    }
};

// The failures that lose something are written to the log with their particulars.
TEST_F(TransportLog, FailuresAreLoggedWithTheirParticulars) {
    vexatest::writeTrellisConfig("TRANSPORT.BUFFER_SIZE = 1000\n");
    vexatest::FakeParticipant participant;
    RTPS::RTPSDataTransportImpl transport(&participant);
    ASSERT_TRUE(transport.init());

    RTPS::Locator_t foreign = udpLocator("10.11.12.13", 7440);
    EXPECT_THROW(transport.addReceiver(&foreign), RTPS::WrongLocator);

    RTPS::Locator_t local = udpLocator("127.0.0.1", 7441);
    ASSERT_NE(transport.addReceiver(&local), nullptr);
    vexatest::PlainSocket peer;
    ASSERT_TRUE(peer.sendTo("127.0.0.1", 7441, std::string(1001, 'o')));
    ASSERT_TRUE(peer.sendTo("127.0.0.1", 7441, "after"));
    ASSERT_TRUE(participant.waitFor(1));

    const std::string log = readableLog();
    EXPECT_NE(log.find("Не удалось открыть приёмник 10.11.12.13:7440 (шаг bind"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Датаграмма длиной 1001 байт больше буфера приёма (1000 байт) и "
                       "отброшена, порт 7441"),
              std::string::npos)
        << log;
}

// A taker of an empty send pool warns at every wait step, not once.
// The per-datagram traces of sending and receiving are written, with their time, when the
// readable log takes their severity, and not otherwise.
TEST_F(TransportLog, PerDatagramTracesFollowTheLogLevel) {
    const std::string sent =
        "Отправлена датаграмма низкого приоритета: 6 байт, получатель 127.0.0.1:7442, "
        "результат 6, время ";
    const std::string received = "Принята датаграмма: 6 байт, порт 7442, время ";
    struct Case {
        int level;
        size_t traces;
    } const cases[] = {{vexalog::Logger::SEV_DEBUG_2, 1}, {vexalog::Logger::SEV_WARNING, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        vexalog::Logger::getLogger().setLogLevelReadable(c.level);
        const std::string before = readableLog();
        {
            vexatest::writeTrellisConfig();
            vexatest::FakeParticipant participant;
            RTPS::RTPSDataTransportImpl transport(&participant);
            ASSERT_TRUE(transport.init());
            RTPS::Locator_t local = udpLocator("127.0.0.1", 7442);
            ASSERT_NE(transport.addReceiver(&local), nullptr);
            RTPS::RTPSSender* sender = transport.addSender(&local, RTPS::TRANSPORT_PRIORITY_LOW);
            ASSERT_NE(sender, nullptr);
            RTPS::TransportBuffer* buffer = transport.getTransportBuffer();
            ASSERT_NE(buffer, nullptr);
            std::memcpy(buffer->data, "traced", 6);
            buffer->length = 6;
            sender->sendData(buffer, RTPS::TRANSPORT_PRIORITY_LOW);
            ASSERT_TRUE(participant.waitFor(1));
        }
        const std::string after = readableLog();
        EXPECT_EQ(occurrences(after, sent), occurrences(before, sent) + c.traces) << after;
        EXPECT_EQ(occurrences(after, received), occurrences(before, received) + c.traces) << after;
        if (c.traces != 0) {
            // The time is read for the record: microseconds since the epoch, not 0.
            const size_t at = after.rfind(received);
            ASSERT_NE(at, std::string::npos);
            EXPECT_NE(after.compare(at + received.size(), 2, "0 "), 0);
        }
    }
    vexalog::Logger::getLogger().setLogLevelReadable(vexalog::Logger::SEV_WARNING);
}

TEST_F(TransportLog, EmptySendPoolWarnsEveryWaitStep) {
    const std::string warning = "Нет свободных буферов отправки";
    const size_t before = occurrences(readableLog(), warning);
    RTPS::InputBufferPool pool(1);
    RTPS::TransportBuffer* only = pool.getTransportBuffer();
    std::thread taker([&] { pool.getTransportBuffer(); });
    std::this_thread::sleep_for(100ms);
    pool.freeTransportBuffer(only);
    taker.join();
    EXPECT_GE(occurrences(readableLog(), warning), before + 3);
}

}  // namespace
