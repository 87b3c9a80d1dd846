#include "common/log/Logger.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "common/conf/ConfigurationManager.h"
#include "common/res/DcpsMessages.h"
#include "common/res/ResourceManager.h"

namespace vexalog {

using vexaconf::ConfigurationManager;
using vexares::ResourceManager;

const char* const Logger::m_aszSeverityString[8] = {
    "              ", "БЕЗУСЛОВНОЕ   ", "ОШИБКА        ", "ПРЕДУПРЕЖДЕНИЕ",
    "ИНФОРМАЦИОННОЕ", "КОНФИГУРАЦИЯ  ", "ОТЛАДКА       ", "ОТЛАДКА_2     ",
};
const char* const Logger::m_pszLogPrefixDefault = "vexa";
const char* const Logger::m_aszReadableLogFileExtension = ".log";
const char* const Logger::m_aszBinaryLogFileExtension = ".bin";

namespace {

constexpr int kMaxFileCount = 100;  // "%02u" names stay distinct

const char* severityName(int severity) {
    return severity >= 0 && severity <= 7 ? Logger::m_aszSeverityString[severity]
                                          : Logger::m_aszSeverityString[0];
}

// Formats into a TEXT_SIZE buffer; the result is the number of bytes actually in it.
size_t formatText(char* out, const char* format, unsigned id, va_list args) {
    std::memset(out, 0, Logger::TEXT_SIZE);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(out, Logger::TEXT_SIZE, format, copy);
    va_end(copy);
    if (n < 0) {
        const int m = std::snprintf(out, Logger::TEXT_SIZE,
                                    "Unable to generate error message with format string #[%d].",
                                    static_cast<int>(id));
        return static_cast<size_t>(std::max(m, 0));
    }
    return std::min(static_cast<size_t>(n), Logger::TEXT_SIZE - 1);
}

}  // namespace

Logger::Logger(const char* prefix) : m_prefix(prefix ? prefix : m_pszLogPrefixDefault) {
    createLock();
    m_readable.extension = m_aszReadableLogFileExtension;
    m_binary.extension = m_aszBinaryLogFileExtension;

    // The configuration is read without applying it: applying would call back into this logger.
    ConfigurationManager dcps(ConfigurationManager::SET_DCPS);
    dcps.read(false);
    int value = 0;
    dcps.getIntParameter(ConfigurationManager::DCPS_READABLE_LOG_LEVEL, &value);
    m_levelReadable = value;
    dcps.getIntParameter(ConfigurationManager::DCPS_READABLE_LOG_FILES_NUMBER, &value);
    m_readable.maxFiles = value;
    dcps.getIntParameter(ConfigurationManager::DCPS_READABLE_LOG_FILE_SIZE, &value);
    m_readable.maxSize = value;
    dcps.getIntParameter(ConfigurationManager::DCPS_BINARY_LOG_LEVEL, &value);
    m_levelBinary = value;
    dcps.getIntParameter(ConfigurationManager::DCPS_BINARY_LOG_FILES_NUMBER, &value);
    m_binary.maxFiles = value;
    dcps.getIntParameter(ConfigurationManager::DCPS_BINARY_LOG_FILE_SIZE, &value);
    m_binary.maxSize = value;

    ConfigurationManager rtps(ConfigurationManager::SET_RTPS);
    rtps.read(false);
    char address[sizeof m_address];
    if (rtps.getStringParameter(ConfigurationManager::BUSINESS_DEFAULT_UNICAST_IP, sizeof address,
                                address) <= ConfigurationManager::CONF_DEFAULT) {
        std::memcpy(m_address, address, sizeof m_address);
    }

    const int binaryLevel = m_levelBinary.load();
    if (binaryLevel != SEV_NONE) {
        logMessage("Logger::Logger()", binaryLevel, ResourceManager::LOG_START_MESSAGE);
    }
}

Logger::~Logger() {
    lockOutput();
    for (FileSet* set : {&m_readable, &m_binary}) {
        if (set->stream != nullptr) {
            std::fclose(set->stream);
            set->stream = nullptr;
        }
    }
    unlockOutput();
    deleteLock();
}

void Logger::createLock() {
    if (m_mutex == nullptr) {
        m_mutex.reset(new (std::nothrow) std::mutex);
    }
}

void Logger::deleteLock() {
    m_mutex.reset();
}

void Logger::lockOutput() {
    if (m_mutex != nullptr) {
        m_mutex->lock();
    }
}

void Logger::unlockOutput() {
    if (m_mutex != nullptr) {
        m_mutex->unlock();
    }
}

Logger& Logger::getLogger() {
    static Logger* logger = new Logger;
    return *logger;
}

int Logger::setLogLevelReadable(int level) {
    m_levelReadable = level;
    return LOG_OK;
}

int Logger::setLogLevelBinary(int level) {
    m_levelBinary = level;
    return LOG_OK;
}

int Logger::setMaxFilesReadable(int count) {
    m_readable.maxFiles = count;
    return LOG_OK;
}

int Logger::setMaxFilesBinary(int count) {
    m_binary.maxFiles = count;
    return LOG_OK;
}

int Logger::setMaxSizeReadable(int bytes) {
    m_readable.maxSize = bytes;
    return LOG_OK;
}

int Logger::setMaxSizeBinary(int bytes) {
    m_binary.maxSize = bytes;
    return LOG_OK;
}

int Logger::getIpAddress(char* buffer, unsigned size) const {
    if (buffer == nullptr || size < sizeof m_address) {
        return LOG_NO_TEXT;
    }
    std::memcpy(buffer, m_address, sizeof m_address);
    return LOG_OK;
}

int Logger::logMessage(const char* module, int severity, unsigned id, ...) {
    va_list args;
    va_start(args, id);
    const int result = vlogMessage(module, severity, id, args);
    va_end(args);
    return result;
}

int Logger::vlogMessage(const char* module, int severity, unsigned id, va_list args) {
    // Records below both levels cost two loads and no lock.
    if (severity > m_levelReadable.load(std::memory_order_relaxed) &&
        severity > m_levelBinary.load(std::memory_order_relaxed)) {
        return LOG_OK;
    }
    lockOutput();
    const int result = writeRecord(module ? module : "", severity, id, args);
    unlockOutput();
    return result;
}

int Logger::writeRecord(const char* module, int severity, unsigned id, va_list args) {
    timeval now{};
    gettimeofday(&now, nullptr);
    char text[TEXT_SIZE];
    if (severity <= m_levelReadable.load()) {
        const char* format = ResourceManager::getString(id);
        if (format == nullptr) {
            return LOG_NO_TEXT;
        }
        formatText(text, format, id, args);
        writeReadable(now, module, severity, text);
    }
    if (severity > m_levelBinary.load()) {
        return LOG_OK;
    }
    const char* format = ResourceManager::getBinaryString(id);
    if (format == nullptr) {
        return LOG_NO_TEXT;
    }
    const size_t length = formatText(text, format, id, args);
    writeBinary(now, module, severity, id, text, length);
    return LOG_OK;
}

size_t Logger::formatReadableLine(char* out, const char* address, const std::tm& local, unsigned ms,
                                  int severity, const char* module, const char* text) {
    const int n =
        std::snprintf(out, TEXT_SIZE, "%s %04d.%02d.%02d %02d:%02d:%02d.%03u %s %s %s\n", address,
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec, ms % 1000u, severityName(severity), module, text);
    if (n < 0) {
        out[0] = '\0';
        return 0;
    }
    if (static_cast<size_t>(n) < TEXT_SIZE) {
        return static_cast<size_t>(n);
    }
    // Cut, but keep one record per line.
    out[TEXT_SIZE - 2] = '\n';
    out[TEXT_SIZE - 1] = '\0';
    return TEXT_SIZE - 1;
}

void Logger::writeReadable(const timeval& now, const char* module, int severity, const char* text) {
    const time_t seconds = now.tv_sec;
    std::tm local{};
    localtime_r(&seconds, &local);
    char line[TEXT_SIZE];
    const size_t length = formatReadableLine(
        line, m_address, local, static_cast<unsigned>(now.tv_usec / 1000), severity, module, text);
    writeToSet(m_readable, line, length);
}

void Logger::writeBinary(const timeval& now, const char* module, int severity, unsigned id,
                         const char* text, size_t textLength) {
    // Shorten the module, then the text, so that the record fits its buffer; the length fields
    // carry what was really written.
    const uint32_t m =
        static_cast<uint32_t>(std::min(std::strlen(module), TEXT_SIZE - BINARY_HEADER));
    const uint32_t t = static_cast<uint32_t>(std::min(textLength, TEXT_SIZE - BINARY_HEADER - m));
    const uint32_t total = static_cast<uint32_t>(BINARY_HEADER) + m + t;
    const int64_t seconds = now.tv_sec;
    const uint16_t ms = static_cast<uint16_t>(now.tv_usec / 1000);
    const uint8_t sev = static_cast<uint8_t>(severity);
    const uint32_t id32 = id;

    char record[TEXT_SIZE];
    char* p = record;
    auto put = [&p](const void* data, size_t size) {
        std::memcpy(p, data, size);
        p += size;
    };
    put(&total, 4);
    put(&seconds, 8);
    put(&ms, 2);
    put(&sev, 1);
    put(&id32, 4);
    put(&m, 4);
    put(module, m);
    put(&t, 4);
    put(text, t);
    writeToSet(m_binary, record, total);
}

std::string Logger::fileName(const FileSet& set, unsigned number) const {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02u", number);
    // The prefix given to the constructor names the logger only: the files of every logger
    // carry the default prefix.
    return std::string(m_pszLogPrefixDefault) + digits + set.extension;
}

void Logger::writeToSet(FileSet& set, const char* data, size_t length) {
    if (set.stream == nullptr) {
        selectFirstFile(set, length);
    } else if (static_cast<uint64_t>(set.size) + length >
               static_cast<uint64_t>(std::max(set.maxSize.load(), 0))) {
        selectNextFile(set);
    }
    if (set.stream == nullptr) {
        return;  // no file could be opened: this record is lost for this set only
    }
    std::fwrite(data, 1, length, set.stream);
    std::fflush(set.stream);
    set.size += static_cast<unsigned>(length);
}

void Logger::selectFirstFile(FileSet& set, size_t length) {
    const int count = std::clamp(set.maxFiles.load(), 1, kMaxFileCount);
    const uint64_t maxSize = static_cast<uint64_t>(std::max(set.maxSize.load(), 0));
    int oldest = -1;
    timespec oldestTime{};
    for (int i = 0; i < count; ++i) {
        const std::string name = fileName(set, static_cast<unsigned>(i));
        struct stat st {};
        const bool exists = ::stat(name.c_str(), &st) == 0;
        if (!exists || static_cast<uint64_t>(st.st_size) + length < maxSize) {
            set.number = static_cast<unsigned>(i);
            set.stream = std::fopen(name.c_str(), "a");
            set.size = exists ? static_cast<unsigned>(st.st_size) : 0;
            if (set.stream == nullptr) {
                set.stream = std::fopen(name.c_str(), "w");
                set.size = 0;
            }
            return;
        }
        const timespec mtime = st.st_mtim;
        if (oldest < 0 || mtime.tv_sec < oldestTime.tv_sec ||
            (mtime.tv_sec == oldestTime.tv_sec && mtime.tv_nsec < oldestTime.tv_nsec)) {
            oldest = i;
            oldestTime = mtime;
        }
    }
    set.number = static_cast<unsigned>(oldest);
    set.stream = std::fopen(fileName(set, set.number).c_str(), "w");
    set.size = 0;
}

void Logger::selectNextFile(FileSet& set) {
    std::fclose(set.stream);
    const unsigned count = static_cast<unsigned>(std::clamp(set.maxFiles.load(), 1, kMaxFileCount));
    set.number = set.number + 1 >= count ? 0 : set.number + 1;
    set.stream = std::fopen(fileName(set, set.number).c_str(), "w");
    set.size = 0;
}

bool Logger::fitsSeverity(const char* line, int level, bool exact) {
    constexpr size_t kStart = 40;
    constexpr size_t kEnd = 68;
    if (line == nullptr || strnlen(line, kEnd) < kEnd) {
        return false;
    }
    for (int k = 1; k <= 7; ++k) {
        const char* name = m_aszSeverityString[k];
        if (std::strncmp(line + kStart, name, std::strlen(name)) == 0) {
            return exact ? level == k : level >= k;
        }
    }
    return false;
}

bool cstr2log(int severity, const char* text, int value, const char* text2) {
    const int clamped = std::clamp(severity, 1, 7);
    return Logger::getLogger().logMessage("Application Output:", clamped,
                                          vexares::DCPS_MSG_APPLICATION_OUTPUT, clamped,
                                          text ? text : "", value, text2 ? text2 : "") == 0;
}

}  // namespace vexalog
