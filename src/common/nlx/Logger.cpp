#include "common/nlx/Logger.h"

#include "NlxUtils.h"
#include "common/nlx/Utf8Locale.h"

#include <climits>
#include <clocale>
#include <cstdlib>
#include <iostream>
#include <mutex>

namespace NLX {

namespace {

std::wstring padded(const wchar_t* text) {
    std::wstring label(text);
    label.resize(15, L' ');
    return label;
}

// Serialises the birth of the first logger and the death of the last one, so that the
// shared lock and file are made and unmade once. Lock order: this one, then m_csLogger.
std::mutex& lifecycle() {
    static std::mutex m;
    return m;
}

long toLong(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : value);
}

}  // namespace

const std::wstring Logger::wstrSeverityString[8] = {
    padded(L"СПЕЦИАЛЬНЫЙ"),    padded(L"БЕЗУСЛОВНОЕ"),    padded(L"ОШИБКА"),
    padded(L"ПРЕДУПРЕЖДЕНИЕ"), padded(L"ИНФОРМАЦИОННОЕ"), padded(L"КОНФИГУРАЦИЯ"),
    padded(L"ОТЛАДКА"),        padded(L"ОТЛАДКА_2"),
};

std::wofstream Logger::m_fout;
std::string Logger::m_strFileName;
std::atomic<pthread_mutex_t*> Logger::m_csLogger{nullptr};
bool Logger::m_bl_LogOn = false;
bool Logger::m_bl_LogToConsoleOn = false;
bool Logger::m_bl_LogToFileOn = false;
int Logger::m_nMinSeverityToLog = SEV_DEBUG_2;
unsigned int Logger::m_NumberOfLoggers = 0;

Logger::Logger() {
    std::lock_guard<std::mutex> life(lifecycle());
    if (m_NumberOfLoggers == 0) {
        Logger::set();
    }
    ++m_NumberOfLoggers;
}

Logger::Logger(std::wstring name) : m_name(std::move(name)) {
    std::lock_guard<std::mutex> life(lifecycle());
    if (m_NumberOfLoggers == 0) {
        Logger::set();
    }
    ++m_NumberOfLoggers;
}

Logger::Logger(const char* fileName, bool console, const std::wstring& name) : m_name(name) {
    std::lock_guard<std::mutex> life(lifecycle());
    if (m_NumberOfLoggers == 0) {
        Logger::set();
        {
            LockUnLock lock(m_csLogger.load());
            m_bl_LogToConsoleOn = console;
            m_bl_LogOn = console || m_bl_LogToFileOn;
        }
        {
            LockUnLock lock(m_csLogger.load());
            m_bl_LogOn = true;
            m_bl_LogToFileOn = true;
        }
        Logger::set(fileName);
    }
    ++m_NumberOfLoggers;
}

Logger::Logger(const std::wstring& fileName, bool console, const std::wstring& name)
    : m_name(name) {
    std::lock_guard<std::mutex> life(lifecycle());
    if (m_NumberOfLoggers == 0) {
        Logger::set();
        {
            LockUnLock lock(m_csLogger.load());
            m_bl_LogToConsoleOn = console;
            m_bl_LogOn = console || m_bl_LogToFileOn;
        }
        {
            LockUnLock lock(m_csLogger.load());
            m_bl_LogOn = true;
            m_bl_LogToFileOn = true;
        }
        Logger::set(fileName);
    }
    ++m_NumberOfLoggers;
}

Logger::~Logger() {
    std::lock_guard<std::mutex> life(lifecycle());
    if (m_NumberOfLoggers > 0) {
        --m_NumberOfLoggers;
    }
    if (m_NumberOfLoggers > 0) {
        LockUnLock lock(m_csLogger.load());
        if (m_csLogger.load() != nullptr && m_bl_LogOn && m_nMinSeverityToLog == SEV_DEBUG_2) {
            startLine();
            m_line << L"Журнал логгера с именем \"" << m_name << L"\" закрыт." << std::endl;
            if (m_bl_LogToConsoleOn) {
                prConsole(m_line.str());
            }
            if (m_bl_LogToFileOn) {
                prFile(m_line.str());
            }
        }
        return;
    }
    logMessage(L"Logger", SEV_UNCONDITIONAL, L"Журнал закрыт", nullptr);
    pthread_mutex_t* mutex = m_csLogger.load();
    if (mutex == nullptr) {
        return;
    }
    {
        LockUnLock lock(mutex);
        m_fout.close();
        m_csLogger.store(nullptr);
    }
    pthread_mutex_destroy(mutex);
    delete mutex;
}

int Logger::setLogLevel(NLX_LOGGER_SEVERITY level) {
    LockUnLock lock(m_csLogger.load());
    if (level <= 0) {
        return 1;
    }
    m_nMinSeverityToLog = level;
    return 0;
}

int Logger::setLogLevel(const std::string& level) {
    return setLogLevel(static_cast<NLX_LOGGER_SEVERITY>(toLong(level)));
}

void Logger::OnDebugConsole() {
    LockUnLock lock(m_csLogger.load());
    m_bl_LogToConsoleOn = true;
    m_bl_LogOn = true;
}

void Logger::OffDebugConsole() {
    LockUnLock lock(m_csLogger.load());
    m_bl_LogToConsoleOn = false;
    m_bl_LogOn = m_bl_LogToFileOn;
}

void Logger::OnDebugFile() {
    LockUnLock lock(m_csLogger.load());
    m_bl_LogToFileOn = true;
    m_bl_LogOn = true;
}

void Logger::OffDebugFile() {
    LockUnLock lock(m_csLogger.load());
    m_bl_LogToFileOn = false;
    m_bl_LogOn = m_bl_LogToConsoleOn;
}

void Logger::setDebugConsole(bool on) {
    LockUnLock lock(m_csLogger.load());
    m_bl_LogToConsoleOn = on;
    m_bl_LogOn = on || m_bl_LogToFileOn;
}

void Logger::setDebugConsole(const std::string& on) {
    setDebugConsole(toLong(on) != 0);
}

void Logger::setDebugFile(bool on) {
    LockUnLock lock(m_csLogger.load());
    m_bl_LogToFileOn = on;
    m_bl_LogOn = on || m_bl_LogToConsoleOn;
}

void Logger::setColor() {}

void Logger::setColor(unsigned char red, unsigned char green, unsigned char blue, bool flag) {
    m_red = red;
    m_green = green;
    m_blue = blue;
    m_colorFlag = flag;
}

void Logger::setErrorColor() {}

void Logger::prConsole(const std::wstring& text) {
    std::wstring joined = m_name + L": " + text;
    const std::size_t zero = joined.find(L'\0');
    if (zero != std::wstring::npos) {
        joined.resize(zero);
    }
    // One text the locale could not convert must not silence the console for good.
    if (!std::wcout) {
        std::wcout.clear();
    }
    std::wcout << joined << std::endl;
}

void Logger::set() {
    if (m_csLogger.load() != nullptr) {
        return;
    }
    auto* mutex = new pthread_mutex_t;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    pthread_mutex_t* none = nullptr;
    if (!m_csLogger.compare_exchange_strong(none, mutex)) {
        pthread_mutex_destroy(mutex);
        delete mutex;
    }
}

void Logger::set(const char* fileName) {
    set();
    const std::string name = fileName == nullptr ? std::string() : std::string(fileName);
    {
        LockUnLock lock(m_csLogger.load());
        m_bl_LogToConsoleOn = true;
        openFile(name + ".log");
    }
    logMessage(L"Logger", SEV_UNCONDITIONAL, L"Журнал открыт: ", widen(m_strFileName).c_str(),
               nullptr);
}

void Logger::set(const std::wstring& fileName) {
    const std::wstring shown = fileName + L".log";
    {
        LockUnLock lock(m_csLogger.load());
        openFile(UTF16toUTF8(shown));
    }
    logMessage(L"Logger", SEV_UNCONDITIONAL, L"Журнал открыт: ", shown.c_str(), nullptr);
}

void Logger::openFile(const std::string& fileName) {
    m_strFileName = fileName;
    if (m_fout.is_open()) {
        m_fout.close();
    }
    m_fout.imbue(utf8Locale());
    m_fout.open(m_strFileName, std::ios::out | std::ios::trunc);
    if (m_fout.is_open()) {
        m_fout.clear();
    } else {
        m_fout.setstate(std::ios::failbit);
    }
}

int Logger::GetLogLevel() const {
    LockUnLock lock(m_csLogger.load());
    return m_nMinSeverityToLog;
}

std::wstring Logger::GetLogLevelStr() const {
    LockUnLock lock(m_csLogger.load());
    return label(m_nMinSeverityToLog);
}

std::string Logger::getLogFileName() const {
    LockUnLock lock(m_csLogger.load());
    return m_strFileName;
}

bool Logger::getIfConsoleOutputOn() const {
    LockUnLock lock(m_csLogger.load());
    return m_bl_LogToConsoleOn;
}

bool Logger::getIfFileOutputOn() const {
    LockUnLock lock(m_csLogger.load());
    return m_bl_LogToFileOn;
}

void Logger::prFile(const std::wstring& text) {
    m_fout << m_name << L": " << text;
    m_fout.flush();
}

void Logger::write(const std::string& text) {
    m_line << widen(text);
}

void Logger::write(const char* text) {
    if (text != nullptr) {
        m_line << widen(text);
    }
}

bool Logger::admitsMessage(NLX_LOGGER_SEVERITY severity) {
    return m_csLogger.load() != nullptr && m_bl_LogOn && severity <= m_nMinSeverityToLog;
}

void Logger::appendUntilNull(std::wstring& text, bool& ended, const wchar_t* part) {
    if (part == nullptr) {
        ended = true;
    } else if (!ended) {
        text += part;
    }
}

void Logger::appendUntilNull(std::wstring&, bool& ended, std::nullptr_t) {
    ended = true;
}

int Logger::writeLogMessage(const std::wstring& module, NLX_LOGGER_SEVERITY severity,
                            const std::wstring& text, ...) {
    LockUnLock lock(m_csLogger.load());
    if (m_csLogger.load() == nullptr) {
        return 0;
    }
    std::wstring line =
        getCurrentTimeString() + L" " + module + L" " + label(severity) + L" " + text;
    if (m_bl_LogToFileOn) {
        line += L"\n";
        prFile(line);
    }
    if (m_bl_LogToConsoleOn) {
        prConsole(line);
    }
    return 0;
}

int Logger::writeLogMessage(long time, const std::wstring& module, NLX_LOGGER_SEVERITY severity,
                            const std::wstring& text, ...) {
    if (m_csLogger.load() == nullptr) {
        return 0;
    }
    const std::wstring line =
        timeToWstring(time) + L" " + module + L" " + label(severity) + L" " + text;
    if (m_bl_LogToFileOn) {
        m_fout << line << std::endl;
    }
    if (m_bl_LogToConsoleOn) {
        prConsole(line);
    }
    return 0;
}

std::string Logger::setLocale() {
    std::string result;
    if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr) {
        result = "setlocale failed for ru_RU.UTF-8";
        // Conversions still need UTF-8; C.UTF-8 is always there on Debian.
        if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
            return result;
        }
    }
    if (std::setlocale(LC_NUMERIC, "C") == nullptr && result.empty()) {
        result = "setlocale failed for LC_NUMERIC, \"C\"";
    }
    return result;
}

const std::wstring& Logger::label(int severity) {
    if (severity < 0) {
        severity = 0;
    }
    return wstrSeverityString[severity > 7 ? 7 : severity];
}

bool Logger::admits(NLX_LOGGER_SEVERITY severity) {
    if (!m_bl_LogOn || severity > m_nMinSeverityToLog) {
        return false;
    }
    return severity != SEV_SPECIAL || m_nMinSeverityToLog == SEV_DEBUG_2;
}

void Logger::startLine() {
    m_line.clear();
    m_line.str(std::wstring());
}

void Logger::emitLine() {
    m_line << std::endl;
    const std::wstring text = m_line.str();
    if (m_bl_LogToConsoleOn) {
        prConsole(text);
    }
    if (m_bl_LogToFileOn) {
        prFile(text);
    }
}

}  // namespace NLX
