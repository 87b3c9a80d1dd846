#include "common/res/ResourceFileReader.h"

#include <iconv.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/log/Logger.h"

namespace vexares {

namespace {

constexpr unsigned kLoaded = 0;
constexpr unsigned kRefused = 5;
constexpr const char* kPrefix = "ResourceManager";

enum class LineResult { Line, End, TooLong, TooLarge };

// Reads one line of at most LINE_SIZE - 1 bytes, its line end included; `total` counts the
// bytes of the file read so far.
LineResult readLine(FILE* stream, std::string& line, size_t& total) {
    line.clear();
    int c;
    while ((c = std::getc(stream)) != EOF) {
        if (++total > ResourceFileReader::MAX_FILE_BYTES) {
            return LineResult::TooLarge;
        }
        line.push_back(static_cast<char>(c));
        if (c == '\n') {
            return LineResult::Line;
        }
        if (line.size() == ResourceFileReader::LINE_SIZE - 1) {
            const int next = std::getc(stream);
            if (next == EOF) {
                return LineResult::Line;
            }
            std::ungetc(next, stream);
            return LineResult::TooLong;
        }
    }
    return line.empty() ? LineResult::End : LineResult::Line;
}

void cutLineEnd(std::string& line) {
    const size_t n = line.size();
    if (n >= 2 && line[n - 2] == '\r') {
        line.resize(n - 2);
    } else if (n >= 1 && line[n - 1] == '\n') {
        line.resize(n - 1);
    }
}

// The decimal index at the start of `text` (blanks before it allowed, anything after the digits
// ignored). False when there are no digits or the value does not fit in 32 bits.
bool parseIndex(const std::string& text, uint32_t& index) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    if (i == text.size() || text[i] < '0' || text[i] > '9') {
        return false;
    }
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<uint64_t>(text[i] - '0');
        if (value > UINT32_MAX) {
            return false;
        }
    }
    index = static_cast<uint32_t>(value);
    return true;
}

// Whether every conversion of a message text is one the texts use: "%%", or d, i, u, x, X
// (with flags, a width and a precision of at most four digits each, and hh, h, l, ll, z, j or t)
// or s (flags, width and precision only). Anything else ("%n", "%ls", "%*d", "%1$s", a text
// ending in "%") could write memory or read arguments the caller never passed.
bool conversionsSupported(const std::string& text) {
    const size_t n = text.size();
    const auto digits = [&](size_t& i) {
        size_t count = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++count;
        }
        return count <= 4;
    };
    for (size_t i = 0; i < n; ++i) {
        if (text[i] != '%') {
            continue;
        }
        if (++i < n && text[i] == '%') {
            continue;
        }
        while (i < n && std::strchr("-+ #0", text[i]) != nullptr) {
            ++i;
        }
        if (!digits(i)) {
            return false;
        }
        if (i < n && text[i] == '.' && !digits(++i)) {
            return false;
        }
        const size_t lengthStart = i;
        while (i < n && std::strchr("hlzjt", text[i]) != nullptr && i - lengthStart < 2) {
            ++i;
        }
        const std::string length = text.substr(lengthStart, i - lengthStart);
        if (!(length.empty() || length == "hh" || length == "h" || length == "l" ||
              length == "ll" || length == "z" || length == "j" || length == "t")) {
            return false;
        }
        if (i == n) {
            return false;
        }
        const char conversion = text[i];
        if (conversion == 's' ? !length.empty() : std::strchr("diuxX", conversion) == nullptr) {
            return false;
        }
    }
    return true;
}

// Backslash-n becomes blank and line feed; the length stays the same.
void expandLineFeeds(std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && text[i + 1] == 'n') {
            text[i] = ' ';
            text[i + 1] = '\n';
        }
    }
}

bool toWide(iconv_t cd, const std::string& text, std::wstring& wide) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::vector<wchar_t> out(text.size() + 1);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = text.size() * sizeof(wchar_t);
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) {
        return false;
    }
    const size_t count = (text.size() * sizeof(wchar_t) - outLeft) / sizeof(wchar_t);
    wide.assign(out.data(), count);
    return true;
}

struct Record {
    uint32_t index;
    std::string readable;
    std::string binary;
};

}  // namespace

unsigned ResourceFileReader::read(const char* fileName, FILE* stream,
                                  std::unique_ptr<StringResourceList>& out) {
    out.reset();
    if (stream == nullptr) {
        return kRefused;
    }
    std::vector<Record> records;
    std::string line;
    bool expectIndex = true;
    bool first = true;
    int recordNumber = 1;
    size_t total = 0;
    for (;;) {
        const LineResult r = readLine(stream, line, total);
        if (r == LineResult::End) {
            break;
        }
        if (r == LineResult::TooLong) {
            vexalog::Logger::printf("%s: Line [%d]: Line too long.", kPrefix, recordNumber);
            return kRefused;
        }
        if (r == LineResult::TooLarge) {
            vexalog::Logger::printf("%s: Line [%d]: File too large.", kPrefix, recordNumber);
            return kRefused;
        }
        if (first && line.size() >= 3 && std::memcmp(line.data(), "\xEF\xBB\xBF", 3) == 0) {
            line.replace(0, 3, "   ");
        }
        first = false;
        cutLineEnd(line);
        if (!expectIndex) {
            if (!conversionsSupported(line)) {
                vexalog::Logger::printf("%s: Line [%d]: Unsupported conversion in the text.",
                                        kPrefix, recordNumber);
                return kRefused;
            }
            records.back().binary = line;
            expectIndex = true;
            ++recordNumber;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            vexalog::Logger::printf("%s: Line [%d]: Symbol '=' not found.", kPrefix, recordNumber);
            return kRefused;
        }
        uint32_t index = 0;
        const bool number = parseIndex(line.substr(0, equals), index);
        if (records.empty()) {
            if (!number || index == 0) {
                vexalog::Logger::printf("%s: Line [%d]: Error when reading line index.", kPrefix,
                                        recordNumber);
                return kRefused;
            }
        } else if (!number || records.back().index == UINT32_MAX ||
                   index != records.back().index + 1) {
            vexalog::Logger::printf("%s: Line [%d]: Index shift detected.", kPrefix, recordNumber);
            return kRefused;
        }
        if (!conversionsSupported(line.substr(equals + 1))) {
            vexalog::Logger::printf("%s: Line [%d]: Unsupported conversion in the text.", kPrefix,
                                    recordNumber);
            return kRefused;
        }
        // A file that ends after an index line keeps the record with an empty binary text.
        records.push_back(Record{index, line.substr(equals + 1), std::string()});
        expectIndex = false;
    }
    if (std::ferror(stream)) {
        return kRefused;
    }

    auto list = std::make_unique<StringResourceList>(fileName);
    if (records.empty()) {
        out = std::move(list);
        return kLoaded;
    }
    iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        vexalog::Logger::printf("%s: Unable to get iconv_t.", kPrefix);
        return kRefused;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        Record& rec = records[i];
        expandLineFeeds(rec.readable);
        std::wstring wide;
        if (!toWide(cd, rec.readable, wide)) {
            vexalog::Logger::printf("%s: Line [%d]: Failed to convert UTF-8 to wide char.", kPrefix,
                                    static_cast<int>(i));
            iconv_close(cd);
            return kRefused;
        }
        list->addRecord(rec.index, std::move(rec.readable), std::move(rec.binary), std::move(wide));
    }
    iconv_close(cd);
    out = std::move(list);
    return kLoaded;
}

}  // namespace vexares
