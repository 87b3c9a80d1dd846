// The logger's static text helpers: console printing by message id and UTF-8 / wide
// conversions. They keep no shared state.
#include <iconv.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "common/log/Logger.h"
#include "common/res/ResourceManager.h"

namespace vexalog {

using vexares::ResourceManager;

namespace {

constexpr unsigned kFailed = 0xFFFFFFFFu;

int vprintToConsole(const char* format, va_list args) {
    char buffer[Logger::TEXT_SIZE] = {};
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    std::fputs(buffer, stdout);
    std::fflush(stdout);
    return n;
}

// Converts `inBytes` bytes with iconv; false on any failure or when the output does not fit.
bool convert(const char* to, const char* from, const char* in, size_t inBytes, char* out,
             size_t outBytes, size_t& written) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out;
    size_t outLeft = outBytes;
    const size_t r = iconv(cd, &inPtr, &inBytes, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || inBytes != 0) {
        return false;
    }
    written = outBytes - outLeft;
    return true;
}

}  // namespace

int Logger::printf(const char* format, ...) {
    if (format == nullptr) {
        return -1;
    }
    va_list args;
    va_start(args, format);
    const int n = vprintToConsole(format, args);
    va_end(args);
    return n;
}

int Logger::printf(unsigned id, ...) {
    const char* format = ResourceManager::getString(id);
    if (format == nullptr) {
        return LOG_NO_TEXT;
    }
    va_list args;
    va_start(args, id);
    const int n = vprintToConsole(format, args);
    va_end(args);
    return n;
}

std::string Logger::sprintf_(unsigned id, ...) {
    const char* format = ResourceManager::getString(id);
    if (format == nullptr) {
        return std::string();
    }
    char buffer[TEXT_SIZE] = {};
    va_list args;
    va_start(args, id);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::wstring Logger::wsprintf_(unsigned id, ...) {
    const wchar_t* format = ResourceManager::getWstring(id);
    if (format == nullptr) {
        return std::wstring();
    }
    wchar_t buffer[TEXT_SIZE] = {};
    va_list args;
    va_start(args, id);
    // On a text that does not fit the result is -1 and the buffer holds the cut text.
    std::vswprintf(buffer, TEXT_SIZE, format, args);
    va_end(args);
    buffer[TEXT_SIZE - 1] = L'\0';
    return buffer;
}

unsigned Logger::widecharToUtf8(char* out, const wchar_t* text, unsigned outSize) {
    if (out == nullptr || text == nullptr) {
        return kFailed;
    }
    size_t written = 0;
    const size_t inBytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    if (!convert("UTF-8", "WCHAR_T", reinterpret_cast<const char*>(text), inBytes, out, outSize,
                 written)) {
        return kFailed;
    }
    return static_cast<unsigned>(written);
}

unsigned Logger::widecharToSystemCP(char* out, const wchar_t* text, unsigned outSize) {
    return widecharToUtf8(out, text, outSize);
}

unsigned Logger::getUtf8Length(const wchar_t* text) {
    if (text == nullptr) {
        return kFailed;
    }
    const size_t chars = std::wcslen(text) + 1;
    std::vector<char> scratch(chars * 16);
    size_t written = 0;
    if (!convert("UTF-8", "WCHAR_T", reinterpret_cast<const char*>(text), chars * sizeof(wchar_t),
                 scratch.data(), scratch.size(), written)) {
        return kFailed;
    }
    return static_cast<unsigned>(written);
}

void Logger::utf8ToWstring(const char* text, std::wstring& appendTo) {
    if (text == nullptr) {
        return;
    }
    const size_t bytes = std::strlen(text);
    std::vector<wchar_t> out(bytes + 1);
    size_t written = 0;
    if (convert("WCHAR_T", "UTF-8", text, bytes, reinterpret_cast<char*>(out.data()),
                out.size() * sizeof(wchar_t), written)) {
        appendTo.append(out.data(), written / sizeof(wchar_t));
    }
}

std::wstring Logger::utf8ToWstring(const char* text) {
    std::wstring result;
    utf8ToWstring(text, result);
    return result;
}

std::wstring Logger::systemCpToWstring(const char* text) {
    return utf8ToWstring(text);
}

std::string Logger::utf8ToCurrentLocale(const char* text) {
    return text ? std::string(text) : std::string();
}

std::wstring Logger::wideLiteralToWstring(const wchar_t* text) {
    return text ? std::wstring(text) : std::wstring();
}

void localPrintWstring(const wchar_t* text) {
    if (text == nullptr) {
        return;
    }
    const size_t n = std::wcslen(text);
    std::printf("Wstring length = %d\n", static_cast<int>(n));
    for (size_t i = 0; i < n; ++i) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&text[i]);
        std::printf("nI=%d, %02X %02X %02X %02X \n", static_cast<int>(i), bytes[0], bytes[1],
                    bytes[2], bytes[3]);
    }
}

size_t _mbslen(const char* text) {
    return ResourceManager::mbslen(text);
}

}  // namespace vexalog
