#ifndef VEXA_NLX_LOGGER_H
#define VEXA_NLX_LOGGER_H

#include "common/nlx/LockUnLock.h"

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>

namespace NLX {

// The precompiler's console and file logger. Every logger of a process shares one log file,
// one threshold, the switches and one recursive lock; an instance adds its name (the prefix
// of its lines) and a line buffer. Texts are wide; the file is written in UTF-8, the console
// only through the wide standard output.
class Logger {
public:
    // Smaller is more important. 0 is written by log() only at threshold 7.
    enum NLX_LOGGER_SEVERITY : int {
        SEV_SPECIAL = 0,
        SEV_UNCONDITIONAL = 1,
        SEV_ERROR = 2,
        SEV_WARNING = 3,
        SEV_INFORMATION = 4,
        SEV_CONFIGURATION = 5,
        SEV_DEBUG = 6,
        SEV_DEBUG_2 = 7,
    };

    // Labels of the severities 0..7, padded with blanks to 15 characters.
    static const std::wstring wstrSeverityString[8];

    // Process-wide state. The switches, the threshold and the file are guarded by m_csLogger;
    // m_csLogger is null before the first logger and after the last one.
    static std::wofstream m_fout;
    static std::string m_strFileName;
    static std::atomic<pthread_mutex_t*> m_csLogger;
    static bool m_bl_LogOn;
    static bool m_bl_LogToConsoleOn;
    static bool m_bl_LogToFileOn;
    static int m_nMinSeverityToLog;
    static unsigned int m_NumberOfLoggers;

    Logger();
    explicit Logger(std::wstring name);
    // The first logger of the process opens the file fileName + ".log" and turns file output
    // on; later ones only share it. The narrow form always ends with console output on.
    Logger(const char* fileName, bool console, const std::wstring& name);
    Logger(const std::wstring& fileName, bool console, const std::wstring& name);
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;
    virtual ~Logger();

    // A level above 0 becomes the threshold (result 0); 0 or below is refused (result 1).
    virtual int setLogLevel(NLX_LOGGER_SEVERITY level);
    virtual int setLogLevel(const std::string& level);
    virtual void OnDebugConsole();
    virtual void OffDebugConsole();
    virtual void OnDebugFile();
    virtual void OffDebugFile();
    virtual void setDebugConsole(bool on);
    virtual void setDebugConsole(const std::string& on);
    virtual void setDebugFile(bool on);
    virtual void setColor();
    virtual void setColor(unsigned char red, unsigned char green, unsigned char blue, bool flag);
    virtual void setErrorColor();
    // Name, ": " and the text on the wide standard output, then an end of line.
    virtual void prConsole(const std::wstring& text);
    // Creates the shared recursive lock when there is none.
    virtual void set();
    // Open the shared log file fileName + ".log" (truncated).
    virtual void set(const char* fileName);
    virtual void set(const std::wstring& fileName);

    int GetLogLevel() const;
    std::wstring GetLogLevelStr() const;
    std::string getLogFileName() const;
    bool getIfConsoleOutputOn() const;
    bool getIfFileOutputOn() const;

    // Name, ": " and the text into the log file; no line end of its own, no lock.
    void prFile(const std::wstring& text);

    // Widen a narrow text by the current locale into the line buffer.
    void write(const std::string& text);
    void write(const char* text);

    // The text parts (literals, const char*, std::string) joined without separators, then
    // the severity: one line on the console and in the file, with no time and no label.
    template <typename... Args>
    void log(const Args&... args);

    // Module, severity, then const wchar_t* texts ended by a null pointer: one line with time
    // and label. Result 0.
    template <typename... Texts>
    int logMessage(const std::wstring& module, NLX_LOGGER_SEVERITY severity, const Texts&... texts);
    // One line "time module label text"; the variable arguments are ignored. Result 0.
    int writeLogMessage(const std::wstring& module, NLX_LOGGER_SEVERITY severity,
                        const std::wstring& text, ...);
    // The same with the time given; the caller holds the lock.
    int writeLogMessage(long time, const std::wstring& module, NLX_LOGGER_SEVERITY severity,
                        const std::wstring& text, ...);

    // LC_ALL "ru_RU.UTF-8" (or "C.UTF-8" when missing) and LC_NUMERIC "C". "" on success,
    // otherwise what failed.
    static std::string setLocale();

private:
    // Label of a severity; values outside 0..7 are clamped into the table.
    static const std::wstring& label(int severity);
    // Whether log() writes a line of this severity; the caller holds the lock.
    static bool admits(NLX_LOGGER_SEVERITY severity);
    // Whether logMessage() writes a line of this severity; the caller holds the lock.
    static bool admitsMessage(NLX_LOGGER_SEVERITY severity);
    static void appendUntilNull(std::wstring& text, bool& ended, const wchar_t* part);
    static void appendUntilNull(std::wstring& text, bool& ended, std::nullptr_t);
    void openFile(const std::string& fileName);
    void startLine();
    void emitLine();
    template <typename Tuple, std::size_t... I>
    void writeParts(const Tuple& parts, std::index_sequence<I...>);

    std::wstring m_name;
    std::wostringstream m_line;
    unsigned char m_red = 0;
    unsigned char m_green = 0;
    unsigned char m_blue = 0;
    bool m_colorFlag = false;
};

template <typename Tuple, std::size_t... I>
void Logger::writeParts(const Tuple& parts, std::index_sequence<I...>) {
    (write(std::get<I>(parts)), ...);
}

template <typename... Args>
void Logger::log(const Args&... args) {
    constexpr std::size_t count = sizeof...(Args);
    static_assert(count >= 1, "log needs a severity as its last argument");
    using Last = std::decay_t<std::tuple_element_t<count - 1, std::tuple<Args...>>>;
    static_assert(std::is_same<Last, NLX_LOGGER_SEVERITY>::value,
                  "the last argument of log is its NLX_LOGGER_SEVERITY");
    const auto parts = std::forward_as_tuple(args...);
    LockUnLock lock(m_csLogger.load());
    if (m_csLogger.load() == nullptr || !admits(std::get<count - 1>(parts))) {
        return;
    }
    startLine();
    writeParts(parts, std::make_index_sequence<count - 1>{});
    emitLine();
}

template <typename... Texts>
int Logger::logMessage(const std::wstring& module, NLX_LOGGER_SEVERITY severity,
                       const Texts&... texts) {
    LockUnLock lock(m_csLogger.load());
    if (!admitsMessage(severity)) {
        return 0;
    }
    std::wstring text;
    bool ended = false;
    (appendUntilNull(text, ended, texts), ...);
    return writeLogMessage(module, severity, text);
}

}  // namespace NLX

#endif
