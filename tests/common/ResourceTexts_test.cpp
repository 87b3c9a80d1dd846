// Every message id constant must have a text in the installed resource file whose printf
// conversions take exactly the arguments its comment documents; a mismatch would be undefined
// behaviour at the first log call.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/res/ResourceFileReader.h"

using vexares::ResourceFileReader;
using vexares::StringResourceList;

namespace {

// Argument classes after default promotions.
enum class Arg { Int, Unsigned, Long, UnsignedLong, Double, String, Pointer, Bad };

void PrintTo(Arg a, std::ostream* os) {
    static const char* const names[] = {"int",    "unsigned", "long long", "unsigned long long",
                                        "double", "string",   "pointer",   "bad"};
    *os << names[static_cast<int>(a)];
}

Arg classOfType(std::string type) {
    type = std::regex_replace(type, std::regex("^\\s+|\\s+$"), "");
    static const std::map<std::string, Arg> types = {
        {"int", Arg::Int},
        {"int32_t", Arg::Int},
        {"char", Arg::Int},
        {"unsigned", Arg::Unsigned},
        {"uint32_t", Arg::Unsigned},
        {"long long", Arg::Long},
        {"int64_t", Arg::Long},
        {"unsigned long long", Arg::UnsignedLong},
        {"uint64_t", Arg::UnsignedLong},
        {"size_t", Arg::UnsignedLong},
        {"double", Arg::Double},
        {"const char*", Arg::String},
        {"const void*", Arg::Pointer},
    };
    const auto it = types.find(type);
    return it == types.end() ? Arg::Bad : it->second;
}

// The documented arguments: "(const char* name, int count)" or "none".
bool parseArguments(const std::string& text, std::vector<Arg>& args) {
    args.clear();
    if (text == "none") {
        return true;
    }
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') {
        return false;
    }
    std::stringstream list(text.substr(1, text.size() - 2));
    std::string item;
    while (std::getline(list, item, ',')) {
        // Drop the parameter name: the last word.
        const std::smatch m = [&] {
            std::smatch r;
            std::regex_match(item, r, std::regex("\\s*(.*?[\\*\\s])\\s*\\w+\\s*"));
            return r;
        }();
        if (m.empty()) {
            return false;
        }
        const Arg a = classOfType(m[1].str());
        if (a == Arg::Bad) {
            return false;
        }
        args.push_back(a);
    }
    return true;
}

// The arguments a printf format consumes; false for a conversion we do not allow.
bool formatArguments(const std::string& format, std::vector<Arg>& args) {
    args.clear();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            continue;
        }
        while (i < format.size() && std::strchr("-+ #0'", format[i]))
            ++i;
        if (i < format.size() && format[i] == '*') {
            args.push_back(Arg::Int);
            ++i;
        }
        while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
            ++i;
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (i < format.size() && format[i] == '*') {
                args.push_back(Arg::Int);
                ++i;
            }
            while (i < format.size() && std::isdigit(static_cast<unsigned char>(format[i])))
                ++i;
        }
        std::string length;
        while (i < format.size() && std::strchr("hlzjt", format[i]))
            length += format[i++];
        if (i >= format.size()) {
            return false;
        }
        const char c = format[i];
        const bool wide = length == "l" || length == "ll" || length == "z" || length == "j";
        if (!(length.empty() || length == "h" || length == "hh" || wide)) {
            return false;
        }
        if (c == 'd' || c == 'i') {
            args.push_back(wide ? Arg::Long : Arg::Int);
        } else if (std::strchr("uxXo", c)) {
            args.push_back(wide ? Arg::UnsignedLong : Arg::Unsigned);
        } else if (c == 'c' && length.empty()) {
            args.push_back(Arg::Int);
        } else if (std::strchr("fFeEgGaA", c) && length.empty()) {
            args.push_back(Arg::Double);
        } else if (c == 's' && length.empty()) {
            args.push_back(Arg::String);
        } else if (c == 'p' && length.empty()) {
            args.push_back(Arg::Pointer);
        } else {
            return false;  // %n, %ls and anything unknown
        }
    }
    return true;
}

struct Constant {
    std::string name;
    unsigned id;
    std::string arguments;
};

// Every "constexpr unsigned NAME = ID;" with the "Arguments:" line of the comment above it.
std::vector<Constant> readConstants(const std::string& header) {
    std::ifstream in(header);
    EXPECT_TRUE(in.good()) << header;
    std::vector<Constant> out;
    std::string line, arguments;
    const std::regex argLine("\\s*//\\s*Arguments:\\s*(.*?)\\s*");
    const std::regex constLine("\\s*constexpr\\s+unsigned\\s+(\\w+)\\s*=\\s*(\\d+)\\s*;.*");
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, argLine)) {
            arguments = m[1];
        } else if (std::regex_match(line, m, constLine)) {
            out.push_back({m[1], static_cast<unsigned>(std::stoul(m[2])), arguments});
            arguments.clear();
        } else if (line.find("//") == std::string::npos) {
            arguments.clear();  // the comment must sit right above its constant
        }
    }
    return out;
}

std::unique_ptr<StringResourceList> loadInstalled(const std::string& name) {
    const std::string path = std::string(VEXA_STAGE_DIR "/resources/strings/") + name;
    FILE* f = std::fopen(path.c_str(), "r");
    EXPECT_NE(f, nullptr) << path;
    std::unique_ptr<StringResourceList> list;
    if (f != nullptr) {
        EXPECT_EQ(ResourceFileReader::read(name.c_str(), f, list), 0u) << path;
        std::fclose(f);
    }
    return list;
}

}  // namespace

TEST(ResourceTexts, FormatParserSeesEveryArgument) {
    const struct {
        const char* format;
        bool ok;
        std::vector<Arg> args;
    } cases[] = {
        {"plain 100%% text", true, {}},
        {"%s: %d/%u %5.2f %-*s %llu %zu %p %c %.*s",
         true,
         {Arg::String, Arg::Int, Arg::Unsigned, Arg::Double, Arg::Int, Arg::String,
          Arg::UnsignedLong, Arg::UnsignedLong, Arg::Pointer, Arg::Int, Arg::Int, Arg::String}},
        {"%02hu %lld %08X", true, {Arg::Unsigned, Arg::Long, Arg::Unsigned}},
        {"%n", false, {}},
        {"%ls", false, {}},
        {"trailing %", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<Arg> args;
        EXPECT_EQ(formatArguments(c.format, args), c.ok) << c.format;
        if (c.ok) {
            EXPECT_EQ(args, c.args) << c.format;
        }
    }
    std::vector<Arg> args;
    EXPECT_TRUE(parseArguments("(const char* name, unsigned long long n, int32_t k)", args));
    EXPECT_EQ(args, (std::vector<Arg>{Arg::String, Arg::UnsignedLong, Arg::Int}));
    EXPECT_FALSE(parseArguments("(float x)", args));
    EXPECT_FALSE(parseArguments("", args));
}

TEST(ResourceTexts, EveryIdHasTextsMatchingItsArguments) {
    const struct {
        const char* header;
        const char* file;
        unsigned low;
        unsigned high;
    } sets[] = {
        {"DcpsMessages.h", "dcps_strings_ru.res", 1, 1000},
        {"RtpsMessages.h", "rtps_strings_ru.res", 1001, 2000},
        {"DsMessages.h", "ds_strings_ru.res", 2001, 3000},
    };
    for (const auto& s : sets) {
        SCOPED_TRACE(s.file);
        const auto constants =
            readConstants(std::string(VEXA_SOURCE_DIR "/src/common/res/") + s.header);
        const auto list = loadInstalled(s.file);
        ASSERT_NE(list, nullptr);
        EXPECT_GE(list->getFirst(), s.low);
        EXPECT_LE(list->getLast(), s.high);
        std::set<unsigned> ids;
        for (const Constant& c : constants) {
            SCOPED_TRACE(c.name);
            EXPECT_TRUE(ids.insert(c.id).second) << "id used twice: " << c.id;
            std::vector<Arg> documented, readable, binary;
            ASSERT_TRUE(parseArguments(c.arguments, documented))
                << "no usable \"Arguments:\" comment: '" << c.arguments << "'";
            const char* r = list->getString(c.id);
            const char* b = list->getBinaryString(c.id);
            ASSERT_TRUE(r != nullptr && b != nullptr) << "no text for id " << c.id;
            ASSERT_TRUE(formatArguments(r, readable)) << r;
            ASSERT_TRUE(formatArguments(b, binary)) << b;
            EXPECT_EQ(readable, documented) << r;
            EXPECT_EQ(binary, documented) << b;
        }
        // A text without a constant has no caller that knows its arguments.
        for (unsigned id = list->getFirst(); id <= list->getLast() && list->size() > 0; ++id) {
            if (ids.count(id) != 0) {
                continue;
            }
            std::vector<Arg> readable, binary;
            EXPECT_TRUE(formatArguments(list->getString(id), readable) && readable.empty() &&
                        formatArguments(list->getBinaryString(id), binary) && binary.empty())
                << "id " << id << " has conversions but no constant";
        }
    }
}
