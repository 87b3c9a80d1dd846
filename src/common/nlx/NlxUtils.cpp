#include "NlxUtils.h"

#include "ZetException.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace NLX {

namespace {

struct WallTime {
    std::time_t seconds;
    unsigned short milliseconds;
};

// Seconds and milliseconds from one reading, so they always belong together.
WallTime wallTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return {now.tv_sec, static_cast<unsigned short>(now.tv_nsec / 1000000)};
}

// The 26-byte ctime/asctime text "Www Mmm dd hh:mm:ss yyyy\n", or "" when it cannot be
// formed (a year past 9999).
struct TimeText {
    char text[64] = {};
    bool valid() const { return std::strlen(text) >= 20; }
    const char* head() const { return text; }
    const char* tail() const { return text + 20; }
};

TimeText localText(std::time_t seconds) {
    TimeText t;
    if (ctime_r(&seconds, t.text) == nullptr) {
        t.text[0] = '\0';
    }
    return t;
}

TimeText utcText(std::time_t seconds) {
    TimeText t;
    std::tm parts{};
    if (gmtime_r(&seconds, &parts) == nullptr || asctime_r(&parts, t.text) == nullptr) {
        t.text[0] = '\0';
    }
    return t;
}

std::wstring withMilliseconds(const TimeText& t, unsigned short ms) {
    if (!t.valid()) {
        return std::wstring();
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.19s.%3.3hu %s", t.head(), ms, t.tail());
    std::wstring text = widen(buffer);
    if (!text.empty() && text.back() == L'\n') {
        text.pop_back();
    }
    return text;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp > 0x10FFFF) {
        cp = 0xFFFD;  // not representable in four bytes of UTF-8
    }
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string systemError(int code) {
    char buffer[256];
    // GNU strerror_r: the result may or may not point into the buffer.
    return strerror_r(code, buffer, sizeof buffer);
}

}  // namespace

int zetSleep(unsigned int milliseconds) {
    timespec length{};
    length.tv_sec = milliseconds / 1000;
    length.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    return nanosleep(&length, nullptr);
}

std::time_t getCurrentTime() {
    return std::time(nullptr);
}

void getCurrentTimeStringLocal(std::string& out) {
    const WallTime now = wallTime();
    const TimeText t = localText(now.seconds);
    out.clear();
    if (!t.valid()) {
        return;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.19s.%3.3hu %s", t.head(), now.milliseconds, t.tail());
    out = buffer;
}

int getCurrentTimeString(char* out) {
    if (out == nullptr) {
        return 0;
    }
    const WallTime now = wallTime();
    const TimeText t = localText(now.seconds);
    if (!t.valid()) {
        out[0] = '\0';
        return 0;
    }
    const int written =
        std::snprintf(out, 40, "%.19s.%hu %s", t.head(), now.milliseconds, t.tail());
    return std::min(written, 39);
}

std::wstring getCurrentTimeString() {
    const WallTime now = wallTime();
    return withMilliseconds(utcText(now.seconds), now.milliseconds);
}

std::wstring getCurrentTimeStringLocal() {
    const WallTime now = wallTime();
    return withMilliseconds(localText(now.seconds), now.milliseconds);
}

std::wstring timeToWstring(long seconds) {
    const TimeText t = localText(static_cast<std::time_t>(seconds));
    std::wstring text = widen(t.text);
    if (!text.empty() && text.back() == L'\n') {
        text.pop_back();
    }
    return text;
}

std::string myHEX(const void* address, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "Hex(";
    const auto* bytes = static_cast<const unsigned char*>(address);
    if (bytes != nullptr) {
        for (std::size_t i = size; i > 0; --i) {
            const unsigned char b = bytes[i - 1];
            text += digits[b >> 4];
            text += digits[b & 0x0F];
            if (i > 1) {
                text += ' ';
            }
        }
    }
    text += ") size=";
    text += std::to_string(size);
    return text;
}

std::wstring widen(const std::string& text) {
    return widen(text.c_str());
}

std::wstring widen(const char* text) {
    std::wstring out;
    if (text == nullptr) {
        return out;
    }
    std::mbstate_t state{};
    std::size_t left = std::strlen(text);
    while (left > 0) {
        wchar_t wc = 0;
        const std::size_t used = std::mbrtowc(&wc, text, left, &state);
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) ||
            used == 0) {
            break;
        }
        out.push_back(wc);
        text += used;
        left -= used;
    }
    return out;
}

std::wstring wideLiteralToWstring(const wchar_t* text) {
    return text == nullptr ? std::wstring() : std::wstring(text);
}

std::string UTF16toUTF8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    std::uint32_t high = 0;  // a held high surrogate, 0 when none
    for (const wchar_t element : text) {
        const auto unit = static_cast<std::uint32_t>(element);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            high = unit;
            continue;
        }
        if (high != 0 && unit >= 0xDC00 && unit <= 0xDFFF) {
            appendUtf8(out, ((high - 0xD800) << 10) + 0x10000 + (unit - 0xDC00));
        } else {
            appendUtf8(out, unit);
        }
        high = 0;
    }
    return out;
}

void changeENDIAN(void* address, std::size_t n) {
    if (address == nullptr) {
        return;
    }
    auto* bytes = static_cast<unsigned char*>(address);
    std::reverse(bytes, bytes + n);
}

bool isBIG_ENDIAN() {
    return false;
}

std::string iS(unsigned int n) {
    return std::string(2 * static_cast<std::size_t>(n), ' ');
}

std::wstring iW(unsigned int n) {
    return std::wstring(2 * static_cast<std::size_t>(n), L' ');
}

std::string itoaZET(int value, int radix) {
    if (radix < 2 || radix > 16) {
        return std::string();
    }
    static const char digits[] = "0123456789abcdef";
    // The magnitude is taken unsigned so that INT_MIN has one.
    unsigned int magnitude =
        value < 0 ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
    std::string text;
    do {
        text += digits[magnitude % static_cast<unsigned int>(radix)];
        magnitude /= static_cast<unsigned int>(radix);
    } while (magnitude != 0);
    if (value < 0 && radix == 10) {
        text += '-';
    }
    std::reverse(text.begin(), text.end());
    return text;
}

void replace(std::vector<std::string>& texts, const std::string& what, const std::string& with) {
    if (what.empty()) {
        return;
    }
    for (std::string& text : texts) {
        std::size_t pos = 0;
        while ((pos = text.find(what, pos)) != std::string::npos) {
            text.replace(pos, what.size(), with);
            pos += with.size();
        }
    }
}

std::size_t maxLenthStrInCont(const std::vector<std::string>& texts) {
    std::size_t longest = 0;
    for (const std::string& text : texts) {
        longest = std::max(longest, text.size());
    }
    return longest;
}

std::size_t cppBlockElign(std::vector<std::string>& texts) {
    const std::size_t longest = maxLenthStrInCont(texts);
    for (std::string& text : texts) {
        text.resize(longest, ' ');
    }
    return texts.size();
}

std::string toUpperCase(const std::string& text) {
    std::string upper = text;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper;
}

std::string replaceLiteral(const std::string& path) {
    std::string member = "m_";
    for (const char c : path) {
        member += c;
        if (c == '.') {
            member += "m_";
        }
    }
    return member;
}

void createDir(const std::string& path, std::vector<std::string>* created) {
    std::string full = path;
    if (full.empty() || full.back() != '/') {
        full += '/';
    }
    for (std::size_t slash = full.find('/', 1); slash != std::string::npos;
         slash = full.find('/', slash + 1)) {
        const std::string level = full.substr(0, slash);
        if (::mkdir(level.c_str(), 0775) == 0) {
            if (created != nullptr) {
                created->push_back(level);
            }
            continue;
        }
        int error = errno;
        if (error == EEXIST) {
            struct stat info {};
            if (::stat(level.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                continue;
            }
            error = ENOTDIR;
        }
        throw ZetException(systemError(error) + " при создании каталога " + level);
    }
}

}  // namespace NLX
