#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <mutex>

#include "common/res/StringResourceList.h"

namespace vexares {

// The process-wide message texts: a chain of loaded resource files, newest first. Loading is
// serialised; lookups are lock-free walks of lists that are never unloaded.
class ResourceManager {
public:
    // Reserved id of the logger's start record: "", "|" and L"" whether or not a file is loaded.
    static constexpr unsigned LOG_START_MESSAGE = 0;
    static constexpr unsigned ENUM_VALUE_MIN = 1;
    static const char* const m_pszLoggerPrefix;  // "ResourceManager"
    static const char* const m_aszResourceFileName[4];

    enum STATUS : unsigned {
        RES_OK = 0,
        RES_NO_NAME = 1,
        RES_PATH_TOO_LONG = 2,
        RES_HOME_TOO_LONG = 3,  // also: closing the file failed
        RES_NOT_FOUND = 4,
        RES_BAD_CONTENT = 5,  // also: no regular file, or longer than the reader takes
        RES_ALREADY_LOADED = 6,
    };

    static ResourceManager& getInstance();

    // Loads a file by its plain name, else from "$VEXA_HOME/resources/strings/<name>".
    // 0 loaded, 1 no name, 2 path too long, 3 VEXA_HOME too long or close failed, 4 not found,
    // 5 bad content (nothing kept), 6 a list of that name is already loaded.
    unsigned initialise(const char* fileName);

    // True when a list of exactly that name is loaded.
    bool findList(const char* fileName) const;

    // Texts of an id from the newest list that holds it; null when none does.
    static const char* getString(unsigned id);
    static const char* getBinaryString(unsigned id);
    static const wchar_t* getWstring(unsigned id);

    // Parses an open stream and puts the list at the head of the chain: 0 or 5.
    unsigned readFile(const char* fileName, FILE* stream);

    // Number of multibyte characters in the current locale, or (size_t)-1 at a bad sequence.
    static size_t mbslen(const char* text);

private:
    ResourceManager() = default;
    ~ResourceManager() = default;
    const StringResourceList* head() const { return m_head.load(std::memory_order_acquire); }
    unsigned readFileLocked(const char* fileName, FILE* stream);

    std::mutex m_loadMutex;
    std::atomic<StringResourceList*> m_head{nullptr};
};

}  // namespace vexares
