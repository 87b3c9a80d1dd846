#include "common/log/Logger.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/NonRegularFiles.h"
#include "common/res/ResourceManager.h"

using vexalog::Logger;

namespace {

constexpr unsigned kText = 9501;    // "текст %s" / "%s"
constexpr unsigned kPlain = 9502;   // "%s" / "%s"
constexpr unsigned kNoText = 9599;  // in no file

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) {
        out.push_back(line);
    }
    return out;
}

struct BinaryRecord {
    uint32_t total;
    int64_t seconds;
    uint16_t ms;
    uint8_t severity;
    uint32_t id;
    std::string module;
    std::string text;
};

// Splits a binary log into records; fails the test on a record that does not add up.
std::vector<BinaryRecord> binaryRecords(const std::string& data) {
    std::vector<BinaryRecord> out;
    size_t pos = 0;
    while (pos < data.size()) {
        BinaryRecord r{};
        EXPECT_GE(data.size() - pos, Logger::BINARY_HEADER);
        if (data.size() - pos < Logger::BINARY_HEADER) {
            break;
        }
        const char* p = data.data() + pos;
        uint32_t m = 0, t = 0;
        std::memcpy(&r.total, p, 4);
        std::memcpy(&r.seconds, p + 4, 8);
        std::memcpy(&r.ms, p + 12, 2);
        std::memcpy(&r.severity, p + 14, 1);
        std::memcpy(&r.id, p + 15, 4);
        std::memcpy(&m, p + 19, 4);
        EXPECT_LE(pos + 27 + m, data.size());
        if (pos + 27 + m > data.size()) {
            break;
        }
        r.module.assign(p + 23, m);
        std::memcpy(&t, p + 23 + m, 4);
        EXPECT_EQ(r.total, 27 + m + t);
        EXPECT_LE(pos + r.total, data.size());
        if (r.total != 27 + m + t || pos + r.total > data.size()) {
            break;
        }
        r.text.assign(p + 27 + m, t);
        out.push_back(r);
        pos += r.total;
    }
    return out;
}

// Every test works in a directory of its own: log files and configuration files stay apart.
class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        m_home = here;
        std::string dir = m_home + "/logger.XXXXXX";
        ASSERT_NE(mkdtemp(&dir[0]), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        writeFile("logger_test.res", "9501=текст %s\n%s\n9502=%s\n%s\n");
        const unsigned s = vexares::ResourceManager::getInstance().initialise("logger_test.res");
        ASSERT_TRUE(s == 0 || s == 6) << s;
    }
    void TearDown() override { ASSERT_EQ(chdir(m_home.c_str()), 0); }

    // A logger whose dcps.cfg in the working directory gives these two level words.
    static std::unique_ptr<Logger> makeLogger(const char* readable, const char* binary) {
        writeFile("dcps.cfg", std::string("DCPS.READABLE_LOG_LEVEL=") + readable +
                                  "\nDCPS.BINARY_LOG_LEVEL=" + binary + "\n");
        return std::make_unique<Logger>("t");
    }

    std::string m_home;
};

}  // namespace

TEST_F(LoggerTest, LevelsDecideWhichFileGetsTheRecord) {
    const struct {
        int readable;
        int binary;
        int severity;
        bool toReadable;
        bool toBinary;
    } cases[] = {
        {3, 5, 2, true, true},  {3, 5, 4, false, true}, {3, 5, 6, false, false},
        {5, 3, 4, true, false}, {3, 3, 3, true, true},  {0, 7, 1, false, true},
        {7, 0, 7, true, false}, {3, 5, -1, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "levels " << c.readable << "/" << c.binary << " severity " << c.severity);
        std::remove("vexa00.log");
        std::remove("vexa00.bin");
        auto log = makeLogger("НЕ_ВЫВОДИТЬ", "НЕ_ВЫВОДИТЬ");
        log->setLogLevelReadable(c.readable);
        log->setLogLevelBinary(c.binary);
        EXPECT_EQ(log->logMessage("Mod", c.severity, kText, "x"), 0);
        EXPECT_EQ(readFile("vexa00.log").find("Mod текст x\n") != std::string::npos, c.toReadable);
        EXPECT_EQ(binaryRecords(readFile("vexa00.bin")).size(), c.toBinary ? 1u : 0u);
    }
}

TEST_F(LoggerTest, BothLevelsOffWriteNothingNotEvenTheStartRecord) {
    auto log = makeLogger("НЕ_ВЫВОДИТЬ", "НЕ_ВЫВОДИТЬ");
    EXPECT_EQ(log->getLogLevelReadable(), 0);
    EXPECT_EQ(log->getLogLevelBinary(), 0);
    EXPECT_EQ(log->logMessage("Mod", 1, kText, "x"), 0);
    EXPECT_FALSE(exists("vexa00.log"));
    EXPECT_FALSE(exists("vexa00.bin"));
}

// The start record reaches the binary log always and the readable log when its level allows;
// the address comes from rtps.cfg.
// The logger reads dcps.cfg and rtps.cfg from the working directory when it is made: names
// there that are no regular file leave it its defaults instead of hanging the first log call.
TEST_F(LoggerTest, ConfigurationNamesThatAreNoFileLeaveTheDefaults) {
    const auto files = vexatest::makeNonRegularFiles("nonregular", ".cfg");
    ASSERT_EQ(files.size(), 3u);
    for (const auto& f : files) {
        SCOPED_TRACE(f.what);
        ASSERT_EQ(::rename(f.name.c_str(), "dcps.cfg"), 0);
        ASSERT_EQ(::symlink("dcps.cfg", "rtps.cfg"), 0);
        const int rc = vexatest::runWithinASecond([] {
            Logger logger("t");
            CHILD_CHECK(logger.getLogLevelReadable() == Logger::SEV_WARNING);
            CHILD_CHECK(logger.getLogLevelBinary() == Logger::SEV_CONFIG);
            CHILD_CHECK(logger.getMaxFilesReadable() == 2);
            char address[16];
            CHILD_CHECK(logger.getIpAddress(address, sizeof address) == 0);
            CHILD_CHECK(std::string(address) == "127.0.0.1");
            return 0;
        });
        EXPECT_EQ(rc, 0) << (rc == vexatest::CHILD_CRASHED + SIGALRM ? "still reading" : "");
        ::unlink("dcps.cfg");
        ::unlink("rtps.cfg");
    }
}

TEST_F(LoggerTest, StartRecordAndAddressField) {
    writeFile("rtps.cfg", "BUSINESS.DEFAULT_UNICAST_IP=10.9.8.7\n");
    auto log = makeLogger("ОТЛАДКА_2", "КОНФИГУРАЦИЯ");
    char address[16];
    EXPECT_EQ(log->getIpAddress(address, 15), 4);
    ASSERT_EQ(log->getIpAddress(address, sizeof address), 0);
    EXPECT_STREQ(address, "10.9.8.7");
    const auto records = binaryRecords(readFile("vexa00.bin"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].total, 27u + 16u + 1u);
    EXPECT_EQ(records[0].module, "Logger::Logger()");
    EXPECT_EQ(records[0].text, "|");
    EXPECT_EQ(records[0].severity, 5);
    EXPECT_EQ(records[0].id, 0u);
    // The prefix is kept, but the files always carry the default one.
    EXPECT_STREQ(log->getPrefix(), "t");
    EXPECT_FALSE(exists("t00.bin"));
    const auto text = lines(readFile("vexa00.log"));
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].rfind("10.9.8.7 ", 0), 0u) << text[0];
    EXPECT_NE(text[0].find(" КОНФИГУРАЦИЯ   Logger::Logger() "), std::string::npos) << text[0];
}

TEST_F(LoggerTest, BinaryRecordLayout) {
    auto log = makeLogger("НЕ_ВЫВОДИТЬ", "НЕ_ВЫВОДИТЬ");  // no start record
    log->setLogLevelBinary(7);
    timeval before{};
    gettimeofday(&before, nullptr);
    ASSERT_EQ(log->logMessage("RTPS", 6, kPlain, "abc"), 0);
    const std::string data = readFile("vexa00.bin");
    ASSERT_EQ(data.size(), 34u);
    const unsigned char expectedHead[] = {34, 0, 0, 0};
    EXPECT_EQ(std::memcmp(data.data(), expectedHead, 4), 0);
    int64_t seconds = 0;
    uint16_t ms = 0;
    std::memcpy(&seconds, data.data() + 4, 8);
    std::memcpy(&ms, data.data() + 12, 2);
    EXPECT_GE(seconds, before.tv_sec);
    EXPECT_LE(seconds, before.tv_sec + 5);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(data[14], 6);
    EXPECT_EQ(std::string(data.data() + 15, 4), std::string("\x1E\x25\x00\x00", 4));  // 9502
    EXPECT_EQ(std::string(data.data() + 19, 8), std::string("\x04\x00\x00\x00RTPS", 8));
    EXPECT_EQ(std::string(data.data() + 27, 7), std::string("\x03\x00\x00\x00"
                                                            "abc",
                                                            7));
}

TEST_F(LoggerTest, RotationTruncatesTheNextFileInTurn) {
    writeFile("vexa01.log", "old content\n");
    auto log = makeLogger("ОТЛАДКА_2", "НЕ_ВЫВОДИТЬ");
    log->setMaxFilesReadable(2);
    ASSERT_EQ(log->logMessage("M", 3, kText, "r1"), 0);
    const size_t line = readFile("vexa00.log").size();
    log->setMaxSizeReadable(static_cast<int>(2 * line + line / 2));
    for (const char* r : {"r2", "r3", "r4", "r5"}) {
        ASSERT_EQ(log->logMessage("M", 3, kText, r), 0);
    }
    const auto first = lines(readFile("vexa00.log"));
    const auto second = lines(readFile("vexa01.log"));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NE(first[0].find("текст r5"), std::string::npos);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_NE(second[0].find("текст r3"), std::string::npos);
    EXPECT_NE(second[1].find("текст r4"), std::string::npos);
    EXPECT_FALSE(exists("vexa02.log"));
}

// At start a file with room is appended to; when none has room the oldest is truncated.
TEST_F(LoggerTest, FirstFileChoice) {
    const struct {
        const char* what;
        size_t size0, size1;
        time_t age0, age1;  // seconds in the past
        const char* expectedFile;
        bool keepsOld;
    } cases[] = {
        {"first has room", 10, 10, 0, 0, "vexa00.log", true},
        {"second has room", 1000, 10, 0, 0, "vexa01.log", true},
        {"all full, second older", 1000, 1000, 100, 200, "vexa01.log", false},
        {"all full, first older", 1000, 1000, 300, 200, "vexa00.log", false},
        {"all full, equal times", 1000, 1000, 100, 100, "vexa00.log", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const time_t now = time(nullptr);
        const std::string names[2] = {"vexa00.log", "vexa01.log"};
        const size_t sizes[2] = {c.size0, c.size1};
        const time_t ages[2] = {c.age0, c.age1};
        for (int i = 0; i < 2; ++i) {
            writeFile(names[i], std::string(sizes[i] - 1, 'o') + "\n");
            const timespec times[2] = {{now - ages[i], 0}, {now - ages[i], 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, names[i].c_str(), times, 0), 0);
        }
        auto log = makeLogger("ОТЛАДКА_2", "НЕ_ВЫВОДИТЬ");
        log->setMaxFilesReadable(2);
        log->setMaxSizeReadable(1000);
        ASSERT_EQ(log->logMessage("M", 3, kText, "new"), 0);
        const std::string content = readFile(c.expectedFile);
        EXPECT_NE(content.find("текст new"), std::string::npos);
        EXPECT_EQ(content.find("ooo") != std::string::npos, c.keepsOld);
    }
}

TEST_F(LoggerTest, IdWithoutTextAnswers4) {
    auto log = makeLogger("ОТЛАДКА_2", "ОТЛАДКА_2");
    EXPECT_EQ(log->logMessage("M", 3, kNoText), 4);
    log->setLogLevelReadable(0);
    EXPECT_EQ(log->logMessage("M", 3, kNoText), 4);  // the binary set needs its text too
    log->setLogLevelBinary(0);
    EXPECT_EQ(log->logMessage("M", 3, kNoText), 0);  // below both levels: not even looked up
}

// Nothing overflows; a cut binary text carries the length really written.
TEST_F(LoggerTest, OverlongModuleAndTextAreCut) {
    const std::string longModule(5000, 'M');
    const std::string longText(5000, 'T');
    const struct {
        const char* what;
        const std::string& module;
        uint32_t moduleBytes;
        uint32_t textBytes;
    } cases[] = {
        {"long text", std::string("RTPS"), 4, 2048 - 27 - 4},
        {"long module", longModule, 2048 - 27, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove("vexa00.log");
        std::remove("vexa00.bin");
        auto log = makeLogger("НЕ_ВЫВОДИТЬ", "НЕ_ВЫВОДИТЬ");
        log->setLogLevelReadable(7);
        log->setLogLevelBinary(7);
        ASSERT_EQ(log->logMessage(c.module.c_str(), 3, kPlain, longText.c_str()), 0);
        const std::string readable = readFile("vexa00.log");
        EXPECT_EQ(readable.size(), Logger::TEXT_SIZE - 1);
        EXPECT_EQ(readable.back(), '\n');
        EXPECT_EQ(lines(readable).size(), 1u);
        const auto records = binaryRecords(readFile("vexa00.bin"));
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].module.size(), c.moduleBytes);
        EXPECT_EQ(records[0].text.size(), c.textBytes);
        EXPECT_EQ(records[0].total, 2048u);
    }
}

// A set whose file cannot be opened skips the record and tries again on the next one.
TEST_F(LoggerTest, UnopenableFileSkipsTheRecord) {
    // Directories in the place of the first files: chosen (they have room), but not openable.
    ASSERT_EQ(mkdir("vexa00.log", 0755), 0);
    ASSERT_EQ(mkdir("vexa00.bin", 0755), 0);
    auto log = makeLogger("НЕ_ВЫВОДИТЬ", "НЕ_ВЫВОДИТЬ");
    log->setLogLevelReadable(7);
    log->setLogLevelBinary(7);
    EXPECT_EQ(log->logMessage("M", 3, kText, "lost"), 0);
    ASSERT_EQ(rmdir("vexa00.log"), 0);
    ASSERT_EQ(rmdir("vexa00.bin"), 0);
    EXPECT_EQ(log->logMessage("M", 3, kText, "kept"), 0);
    EXPECT_EQ(lines(readFile("vexa00.log")).size(), 1u);
    EXPECT_NE(readFile("vexa00.log").find("текст kept"), std::string::npos);
    EXPECT_EQ(binaryRecords(readFile("vexa00.bin")).size(), 1u);
}

TEST(LoggerFormat, ReadableLineLayout) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 7;
    local.tm_min = 8;
    local.tm_sec = 9;
    char line[Logger::TEXT_SIZE];
    const size_t n = Logger::formatReadableLine(line, "127.0.0.1", local, 4, 2, "Mod", "txt");
    const std::string expected = "127.0.0.1 2026.03.05 07:08:09.004 ОШИБКА         Mod txt\n";
    EXPECT_EQ(std::string(line, n), expected);
    local.tm_mon = 11;
    local.tm_mday = 31;
    Logger::formatReadableLine(line, "", local, 999, 7, "M", "");
    EXPECT_STREQ(line, " 2026.12.31 07:08:09.999 ОТЛАДКА_2      M \n");
}

TEST(LoggerFormat, FitsSeverity) {
    std::tm local{};
    local.tm_year = 126;
    local.tm_mday = 1;
    auto line = [&](int severity) {
        char out[Logger::TEXT_SIZE];
        Logger::formatReadableLine(out, "192.168.100.200", local, 0, severity, "Module", "text");
        return std::string(out);
    };
    const struct {
        int lineSeverity;
        int level;
        bool exact;
        bool fits;
    } cases[] = {
        {3, 3, false, true},  {3, 2, false, false}, {3, 7, false, true}, {3, 7, true, false},
        {6, 6, true, true},   {7, 6, false, false}, {7, 7, true, true},  {1, 1, false, true},
        {4, 3, false, false}, {0, 7, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Logger::fitsSeverity(line(c.lineSeverity).c_str(), c.level, c.exact), c.fits)
            << c.lineSeverity << " " << c.level << " " << c.exact;
    }
    EXPECT_FALSE(Logger::fitsSeverity(line(3).substr(0, 67).c_str(), 7, false));
    EXPECT_FALSE(Logger::fitsSeverity("short", 7, false));
    EXPECT_FALSE(Logger::fitsSeverity(nullptr, 7, false));
}

TEST_F(LoggerTest, TextHelpers) {
    EXPECT_EQ(Logger::sprintf_(kText, "Ω"), "текст Ω");
    EXPECT_EQ(Logger::sprintf_(kNoText), "");
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    EXPECT_EQ(Logger::wsprintf_(kText, "мир"), L"текст мир");
    setlocale(LC_CTYPE, "C");
    EXPECT_EQ(Logger::wsprintf_(kNoText), L"");
    EXPECT_EQ(Logger::printf(kNoText), 4);
    testing::internal::CaptureStdout();
    Logger::printf(kText, "п");
    Logger::printf("%d|", 12);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "текст п12|");

    EXPECT_EQ(Logger::utf8ToWstring("Привет"), L"Привет");
    EXPECT_EQ(Logger::utf8ToWstring("a\xFF"), L"");
    std::wstring appended = L"x";
    Logger::utf8ToWstring("ё", appended);
    EXPECT_EQ(appended, L"xё");
    char out[16];
    EXPECT_EQ(Logger::widecharToUtf8(out, L"Привет", sizeof out), 13u);
    EXPECT_STREQ(out, "Привет");
    EXPECT_EQ(Logger::widecharToUtf8(out, L"Привет", 12), 0xFFFFFFFFu);
    EXPECT_EQ(Logger::getUtf8Length(L"Привет"), 13u);
    EXPECT_EQ(Logger::utf8ToCurrentLocale("ж"), "ж");
    EXPECT_EQ(Logger::wideLiteralToWstring(L"ж"), L"ж");
}

// Records of several threads stay whole and none is lost.
TEST_F(LoggerTest, ConcurrentRecordsStayWhole) {
    auto log = makeLogger("НЕ_ВЫВОДИТЬ", "НЕ_ВЫВОДИТЬ");
    log->setLogLevelReadable(7);
    log->setLogLevelBinary(7);
    constexpr int kThreads = 4;
    constexpr int kRecords = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&log, t] {
            const std::string text = "thread" + std::to_string(t) + std::string(50, '.') + "end";
            for (int i = 0; i < kRecords; ++i) {
                log->logMessage("Worker", 4, kPlain, text.c_str());
                if (i == kRecords / 2) {
                    log->setLogLevelReadable(7);  // setters race with records
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    const auto text = lines(readFile("vexa00.log"));
    ASSERT_EQ(text.size(), static_cast<size_t>(kThreads * kRecords));
    for (const auto& l : text) {
        ASSERT_EQ(l.substr(l.size() - 3), "end") << l;
    }
    EXPECT_EQ(binaryRecords(readFile("vexa00.bin")).size(),
              static_cast<size_t>(kThreads * kRecords));
}

// The application hook logs message 4 of the installed DCPS texts through the process logger.
// A holder of the output keeps every other thread's record back until it lets go; creating the
// lock again keeps the one that is held. Without the lock, holding does nothing.
TEST_F(LoggerTest, OutputLockHoldsRecordsBackAndCanBeDeleted) {
    auto logger = makeLogger("ОТЛАДКА_2", "НЕ_ВЫВОДИТЬ");
    const auto written = [] { return readFile("vexa00.log"); };
    logger->lockOutput();
    logger->createLock();
    std::thread other([&logger] { logger->logMessage("m", 4, kText, "held"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(written().find("held"), std::string::npos) << "written while the output was held";
    logger->unlockOutput();
    other.join();
    EXPECT_NE(written().find("held"), std::string::npos);

    logger->deleteLock();
    logger->lockOutput();
    logger->lockOutput();
    EXPECT_EQ(logger->logMessage("m", 4, kText, "unlocked"), 0);
    logger->unlockOutput();
    logger->unlockOutput();
    EXPECT_NE(written().find("unlocked"), std::string::npos);
    logger->createLock();
    EXPECT_EQ(logger->logMessage("m", 4, kText, "again"), 0);
    EXPECT_NE(written().find("again"), std::string::npos);
}

TEST_F(LoggerTest, ApplicationHook) {
    const unsigned s = vexares::ResourceManager::getInstance().initialise(
        VEXA_STAGE_DIR "/resources/strings/dcps_strings_ru.res");
    ASSERT_TRUE(s == 0 || s == 6) << s;
    Logger& log = Logger::getLogger();
    log.setLogLevelReadable(7);
    EXPECT_TRUE(vexalog::cstr2log(99, "a", 5, "b"));
    EXPECT_TRUE(vexalog::cstr2log(-3, nullptr, 6, "c"));
    const auto text = lines(readFile("vexa00.log"));
    ASSERT_EQ(text.size(), 2u);
    EXPECT_NE(text[0].find("ОТЛАДКА_2      Application Output: Вывод приложения [7]: a 5 b"),
              std::string::npos)
        << text[0];
    EXPECT_NE(text[1].find("БЕЗУСЛОВНОЕ    Application Output: Вывод приложения [1]:  6 c"),
              std::string::npos)
        << text[1];
}
