#pragma once

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <sys/time.h>
#include <string>

namespace vexalog {

// The log service of a process: every record names a module, a severity and a message id whose
// readable and binary formats come from the message resources. Records go to two rotating file
// sets in the working directory, "vexaNN.log" (readable lines) and "vexaNN.bin" (binary
// records), whatever prefix the logger was given, each with its own level, file count and file
// size.
//
// Binary record, host byte order, no padding (27 + m + t bytes, never more than 2048):
//   u32 length | i64 seconds since 1970 UTC | u16 ms | u8 severity | u32 id |
//   u32 m | module (m bytes) | u32 t | text (t bytes)
class Logger {
public:
    enum LOGGER_SEVERITY : int {
        SEV_NONE = 0,  // as a level: the set is off
        SEV_UNCONDITIONAL = 1,
        SEV_ERROR = 2,
        SEV_WARNING = 3,
        SEV_INFO = 4,
        SEV_CONFIG = 5,
        SEV_DEBUG = 6,
        SEV_DEBUG_2 = 7,  // per-sample traces
    };

    enum STATUS : int {
        LOG_OK = 0,
        LOG_NO_TEXT = 4,  // the id has no text; also getIpAddress with a short buffer
    };

    static constexpr size_t TEXT_SIZE = 2048;    // formatted text, readable line, binary record
    static constexpr size_t BINARY_HEADER = 27;  // fixed part of a binary record

    // Severity names of the readable log, 14 characters each (blank-padded).
    static const char* const m_aszSeverityString[8];
    static const char* const m_pszLogPrefixDefault;          // "vexa"
    static const char* const m_aszReadableLogFileExtension;  // ".log"
    static const char* const m_aszBinaryLogFileExtension;    // ".bin"

    // Reads the log settings from dcps.cfg and the address text from rtps.cfg, then writes a
    // start record (id 0) when the binary set is on.
    explicit Logger(const char* prefix = nullptr);
    ~Logger();

    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // The process-wide logger. It lives until the process ends, so that threads and static
    // destructors can log at any time; every record is flushed when written.
    static Logger& getLogger();

    // Writes one record to every set whose level admits the severity. 0, or 4 when the id has
    // no text. A set whose file cannot be opened skips the record (and retries on the next).
    int logMessage(const char* module, int severity, unsigned id, ...);
    int vlogMessage(const char* module, int severity, unsigned id, va_list args);

    // Levels, counts and sizes may change at any time from any thread; a new count or size takes
    // effect at the next file choice or rotation.
    int setLogLevelReadable(int level);
    int setLogLevelBinary(int level);
    int getLogLevelReadable() const { return m_levelReadable.load(std::memory_order_relaxed); }
    int getLogLevelBinary() const { return m_levelBinary.load(std::memory_order_relaxed); }
    int setMaxFilesReadable(int count);
    int setMaxFilesBinary(int count);
    int setMaxSizeReadable(int bytes);
    int setMaxSizeBinary(int bytes);
    int getMaxFilesReadable() const { return m_readable.maxFiles.load(); }
    int getMaxFilesBinary() const { return m_binary.maxFiles.load(); }
    int getMaxSizeReadable() const { return m_readable.maxSize.load(); }
    int getMaxSizeBinary() const { return m_binary.maxSize.load(); }

    const char* getPrefix() const { return m_prefix.c_str(); }
    // Copies the 16-byte address text: 0, or 4 when the buffer is null or smaller than 16.
    int getIpAddress(char* buffer, unsigned size) const;

    // The output mutex serialises records: the constructor creates it, the destructor deletes
    // it. createLock makes it when there is none (an existing one stays, held or not); deleteLock
    // deletes it, and may be called only while no other thread logs or holds the output, as for
    // destroying the logger. Without it records are not serialised, and lockOutput and
    // unlockOutput do nothing.
    void createLock();
    void deleteLock();
    void lockOutput();
    void unlockOutput();

    // Console output: formats (at most 2047 bytes) and writes to standard output.
    // Returns the formatter's result; the id form returns 4 when the id has no text.
    static int printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static int printf(unsigned id, ...);
    // The readable (or wide) text of an id filled in; empty when the id has no text.
    static std::string sprintf_(unsigned id, ...);
    static std::wstring wsprintf_(unsigned id, ...);

    // Text conversions. widecharToUtf8 converts the text and its terminator and returns the
    // UTF-8 length including the terminator, or 0xFFFFFFFF (also when it does not fit).
    static unsigned widecharToUtf8(char* out, const wchar_t* text, unsigned outSize);
    static unsigned widecharToSystemCP(char* out, const wchar_t* text, unsigned outSize);
    static unsigned getUtf8Length(const wchar_t* text);
    static std::wstring utf8ToWstring(const char* text);  // empty on failure
    static void utf8ToWstring(const char* text, std::wstring& appendTo);
    static std::wstring systemCpToWstring(const char* text);
    static std::string utf8ToCurrentLocale(const char* text);
    static std::wstring wideLiteralToWstring(const wchar_t* text);

    // Whether a readable line's severity (bytes 40.. when the address has 15 characters) is
    // admitted by `level` (exactly equal to it with `exact`). False for lines shorter than 68.
    static bool fitsSeverity(const char* line, int level, bool exact);

    // One readable line, "<address> YYYY.MM.DD hh:mm:ss.mmm <severity> <module> <text>\n",
    // cut to TEXT_SIZE - 1 bytes (a cut line still ends with a line feed). Returns its length.
    static size_t formatReadableLine(char* out, const char* address, const std::tm& local,
                                     unsigned ms, int severity, const char* module,
                                     const char* text);

private:
    struct FileSet {
        const char* extension;
        std::atomic<int> maxFiles;
        std::atomic<int> maxSize;
        unsigned number = 0;  // the fields below are guarded by m_mutex
        unsigned size = 0;
        FILE* stream = nullptr;
    };

    int writeRecord(const char* module, int severity, unsigned id, va_list args);
    void writeReadable(const timeval& now, const char* module, int severity, const char* text);
    void writeBinary(const timeval& now, const char* module, int severity, unsigned id,
                     const char* text, size_t textLength);
    // Writes `length` bytes to the set, choosing or rotating its file first.
    void writeToSet(FileSet& set, const char* data, size_t length);
    void selectFirstFile(FileSet& set, size_t length);
    void selectNextFile(FileSet& set);
    std::string fileName(const FileSet& set, unsigned number) const;

    std::string m_prefix;
    std::atomic<int> m_levelReadable{SEV_WARNING};
    std::atomic<int> m_levelBinary{SEV_CONFIG};
    FileSet m_readable;
    FileSet m_binary;
    char m_address[16] = {};
    // Serialises records, so that both sets see them in the same order; null after deleteLock
    // or when it could not be made.
    std::unique_ptr<std::mutex> m_mutex;
};

// Debug print of a wide text: its length, then each character's four bytes in hexadecimal.
void localPrintWstring(const wchar_t* text);

// Number of multibyte characters in the current locale, or (size_t)-1 at a bad sequence.
size_t _mbslen(const char* text);

// Application hook: logs message 4 with module "Application Output:", the severity clamped to
// 1..7, and (severity, text, value, text2) as its arguments. True when the record was written.
bool cstr2log(int severity, const char* text, int value, const char* text2);

}  // namespace vexalog
