#include "common/nlx/Logger.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using NLX::Logger;

std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Keeps what reaches the console instead of printing it.
class CapturingLogger : public Logger {
public:
    using Logger::Logger;
    void prConsole(const std::wstring& text) override { console.push_back(text); }
    std::vector<std::wstring> console;
};

// Every logger test starts from the state of a freshly loaded process and captures the wide
// standard output.
class LoggerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(Logger::setLocale(), ""); }
    void SetUp() override {
        ASSERT_EQ(Logger::m_NumberOfLoggers, 0u);
        Logger::m_bl_LogOn = false;
        Logger::m_bl_LogToConsoleOn = false;
        Logger::m_bl_LogToFileOn = false;
        Logger::m_nMinSeverityToLog = 7;
        saved_ = std::wcout.rdbuf(wout_.rdbuf());
    }
    void TearDown() override { std::wcout.rdbuf(saved_); }
    std::wstring wout() const { return wout_.str(); }

private:
    std::wostringstream wout_;
    std::wstreambuf* saved_ = nullptr;
};

TEST_F(LoggerTest, LaterLoggersShareTheFirstLoggersFile) {
    {
        Logger first("main_log", false, L"A");
        EXPECT_TRUE(first.getIfConsoleOutputOn());  // the narrow form turns the console on
        EXPECT_TRUE(first.getIfFileOutputOn());
        EXPECT_EQ(first.getLogFileName(), "main_log.log");
        first.OffDebugConsole();
        {
            Logger second("other_log", true, L"B");
            EXPECT_EQ(second.getLogFileName(), "main_log.log");
            EXPECT_FALSE(second.getIfConsoleOutputOn());
            second.log("строка ", std::string("два"), "", Logger::SEV_ERROR);
        }
        first.log("конец", Logger::SEV_UNCONDITIONAL);
    }
    EXPECT_EQ(Logger::m_csLogger.load(), nullptr);
    EXPECT_FALSE(std::ifstream("other_log.log").good());

    const std::string file = readFile("main_log.log");
    EXPECT_NE(file.find("A: "), std::string::npos);
    EXPECT_NE(file.find(" Logger БЕЗУСЛОВНОЕ     Журнал открыт: main_log.log\n"), std::string::npos)
        << file;
    EXPECT_NE(file.find("B: строка два\n"), std::string::npos) << file;
    EXPECT_NE(file.find("B: Журнал логгера с именем \"B\" закрыт.\n"), std::string::npos);
    EXPECT_NE(file.find("A: конец\n"), std::string::npos);
    EXPECT_NE(file.find(" Logger БЕЗУСЛОВНОЕ     Журнал закрыт\n"), std::string::npos);
    EXPECT_LT(file.find("Журнал открыт"), file.find("B: строка два"));
    EXPECT_LT(file.find("A: конец"), file.find("Журнал закрыт\n"));
}

TEST_F(LoggerTest, WideFileNameKeepsTheConsoleSwitchAndANewGenerationReopens) {
    {
        Logger wide(std::wstring(L"журнал"), false, L"");
        EXPECT_FALSE(wide.getIfConsoleOutputOn());
        EXPECT_EQ(wide.getLogFileName(), "журнал.log");
        wide.log("раз", Logger::SEV_ERROR);
    }
    EXPECT_EQ(wout(), L"");
    // The first generation is gone: the next first logger makes a new lock and a new file.
    {
        Logger again(std::wstring(L"журнал"), false, L"");
        ASSERT_NE(Logger::m_csLogger.load(), nullptr);
        again.log("два", Logger::SEV_ERROR);
    }
    const std::string file = readFile("журнал.log");
    EXPECT_EQ(file.find(": раз"), std::string::npos);
    EXPECT_NE(file.find(": два\n"), std::string::npos);
}

TEST_F(LoggerTest, SetLogLevel) {
    CapturingLogger logger;
    struct Case {
        const char* text;
        int result;
        int threshold;
    };
    const Case cases[] = {{"3", 0, 3}, {"0", 1, 3}, {"abc", 1, 3}, {"-2", 1, 3},
                          {"7", 0, 7}, {"9", 0, 9}, {"", 1, 9}};
    for (const Case& c : cases) {
        EXPECT_EQ(logger.setLogLevel(std::string(c.text)), c.result) << c.text;
        EXPECT_EQ(logger.GetLogLevel(), c.threshold) << c.text;
    }
    // Beyond the table the label of the last severity is shown.
    EXPECT_EQ(logger.GetLogLevelStr(), L"ОТЛАДКА_2      ");
    EXPECT_EQ(logger.setLogLevel(Logger::SEV_SPECIAL), 1);
    EXPECT_EQ(logger.setLogLevel(Logger::SEV_WARNING), 0);
    EXPECT_EQ(logger.GetLogLevelStr(), L"ПРЕДУПРЕЖДЕНИЕ ");
}

TEST_F(LoggerTest, SeverityFilterOfLogAndLogMessage) {
    CapturingLogger logger(std::wstring(L"N"));
    logger.OnDebugConsole();
    struct Case {
        bool viaLogMessage;
        int threshold;
        Logger::NLX_LOGGER_SEVERITY severity;
        bool written;
    };
    const Case cases[] = {
        {false, 6, Logger::SEV_SPECIAL, false}, {false, 7, Logger::SEV_SPECIAL, true},
        {false, 2, Logger::SEV_SPECIAL, false}, {false, 2, Logger::SEV_UNCONDITIONAL, true},
        {false, 2, Logger::SEV_ERROR, true},    {false, 2, Logger::SEV_WARNING, false},
        {true, 2, Logger::SEV_SPECIAL, true},   {true, 6, Logger::SEV_SPECIAL, true},
        {true, 2, Logger::SEV_ERROR, true},     {true, 2, Logger::SEV_WARNING, false},
    };
    for (const Case& c : cases) {
        logger.console.clear();
        Logger::m_nMinSeverityToLog = c.threshold;
        if (c.viaLogMessage) {
            logger.logMessage(L"M", c.severity, L"x", L"y", static_cast<const wchar_t*>(nullptr));
        } else {
            logger.log("x", "y", c.severity);
        }
        ASSERT_EQ(logger.console.size(), c.written ? 1u : 0u)
            << (c.viaLogMessage ? "logMessage" : "log") << " threshold " << c.threshold
            << " severity " << c.severity;
        if (c.written) {
            const std::wstring& line = logger.console.front();
            EXPECT_EQ(line.substr(line.size() - 3), c.viaLogMessage ? L" xy" : L"xy\n");
        }
    }
}

TEST_F(LoggerTest, LogMessageLineHasTimeModuleAndLabel) {
    CapturingLogger logger;
    logger.OnDebugConsole();
    logger.logMessage(L"Mod", Logger::SEV_WARNING, L"раз ", L"два",
                      static_cast<const wchar_t*>(nullptr));
    ASSERT_EQ(logger.console.size(), 1u);
    const std::wstring& line = logger.console.front();
    const std::wstring tail = L" Mod ПРЕДУПРЕЖДЕНИЕ  раз два";
    ASSERT_GT(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail);
    EXPECT_EQ(line.find(L"."), 19u);  // milliseconds right behind the seconds

    // Texts behind the null pointer are not read.
    logger.console.clear();
    logger.logMessage(L"Mod", Logger::SEV_WARNING, L"только", nullptr, L"не это");
    ASSERT_EQ(logger.console.size(), 1u);
    EXPECT_EQ(logger.console.front().substr(logger.console.front().size() - 7), L" только");

    logger.console.clear();
    logger.writeLogMessage(0L, L"T", static_cast<Logger::NLX_LOGGER_SEVERITY>(12), L"t");
    ASSERT_EQ(logger.console.size(), 1u);
    EXPECT_NE(logger.console.front().find(L" T ОТЛАДКА_2       t"), std::wstring::npos);
}

TEST_F(LoggerTest, NothingIsWrittenWithBothOutputsOff) {
    {
        CapturingLogger logger("quiet", false, L"Q");
        logger.OffDebugFile();
        logger.OffDebugConsole();
        EXPECT_FALSE(Logger::m_bl_LogOn);
        logger.console.clear();
        logger.log("видно", Logger::SEV_UNCONDITIONAL);
        logger.logMessage(L"M", Logger::SEV_UNCONDITIONAL, L"видно",
                          static_cast<const wchar_t*>(nullptr));
        EXPECT_TRUE(logger.console.empty());
    }
    EXPECT_EQ(readFile("quiet.log").find("видно"), std::string::npos);
}

TEST_F(LoggerTest, SwitchesKeepLogOnInStep) {
    CapturingLogger logger;
    struct Step {
        const char* name;
        void (*run)(Logger&);
        bool console, file, logOn;
    };
    const Step steps[] = {
        {"console \"2\"", [](Logger& l) { l.setDebugConsole(std::string("2")); }, true, false,
         true},
        {"console \"no\"", [](Logger& l) { l.setDebugConsole(std::string("no")); }, false, false,
         false},
        {"file on", [](Logger& l) { l.OnDebugFile(); }, false, true, true},
        {"console on", [](Logger& l) { l.setDebugConsole(true); }, true, true, true},
        {"file off", [](Logger& l) { l.setDebugFile(false); }, true, false, true},
        {"console off", [](Logger& l) { l.OffDebugConsole(); }, false, false, false},
        {"file bool on", [](Logger& l) { l.setDebugFile(true); }, false, true, true},
        {"file off again", [](Logger& l) { l.OffDebugFile(); }, false, false, false},
    };
    for (const Step& s : steps) {
        s.run(logger);
        EXPECT_EQ(logger.getIfConsoleOutputOn(), s.console) << s.name;
        EXPECT_EQ(logger.getIfFileOutputOn(), s.file) << s.name;
        EXPECT_EQ(Logger::m_bl_LogOn, s.logOn) << s.name;
    }
}

// With both outputs on, a file line ends with one line feed; the console shows the same text
// and its own end of line behind it.
TEST_F(LoggerTest, LineEndsInFileAndConsole) {
    {
        Logger logger("ends", true, L"E");
        logger.log("часть", Logger::SEV_ERROR);
        logger.logMessage(L"M", Logger::SEV_ERROR, L"сообщение",
                          static_cast<const wchar_t*>(nullptr));
    }
    const std::string file = readFile("ends.log");
    EXPECT_NE(file.find("E: часть\nE: "), std::string::npos) << file;
    EXPECT_NE(file.find(" M ОШИБКА          сообщение\nE: "), std::string::npos) << file;

    const std::wstring console = wout();
    EXPECT_NE(console.find(L"E: часть\n\nE: "), std::wstring::npos);
    EXPECT_NE(console.find(L" M ОШИБКА          сообщение\n\nE: "), std::wstring::npos);
}

TEST_F(LoggerTest, ConsoleStopsAtAZeroCharacter) {
    Logger logger(std::wstring(L"Z"));
    logger.prConsole(std::wstring(L"до\0после", 8));
    EXPECT_EQ(wout(), L"Z: до\n");
}

TEST_F(LoggerTest, SetCreatesTheLockOnlyOnce) {
    Logger logger;
    pthread_mutex_t* lock = Logger::m_csLogger.load();
    ASSERT_NE(lock, nullptr);
    logger.set();
    EXPECT_EQ(Logger::m_csLogger.load(), lock);
    logger.set("reopened");  // opening a file keeps the lock as well
    EXPECT_EQ(Logger::m_csLogger.load(), lock);
}

TEST_F(LoggerTest, LockGuardOfAMissingLoggerDoesNothing) {
    ASSERT_EQ(Logger::m_csLogger.load(), nullptr);
    NLX::LockUnLock guard(Logger::m_csLogger);
    EXPECT_EQ(wout(), L"");
}

}  // namespace
