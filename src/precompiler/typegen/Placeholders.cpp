#include "precompiler/typegen/Placeholders.h"

namespace NLX {

std::string substitute(const std::string& line, const Placeholders& placeholders) {
    std::string result;
    std::size_t pos = 0;
    while (pos < line.size()) {
        bool replaced = false;
        for (const auto& placeholder : placeholders) {
            const std::string& word = placeholder.first;
            if (!word.empty() && line.compare(pos, word.size(), word) == 0) {
                result += placeholder.second;
                pos += word.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            result += line[pos++];
        }
    }
    return result;
}

std::vector<std::string> substitute(std::vector<std::string> lines,
                                    const Placeholders& placeholders) {
    for (std::string& line : lines) {
        line = substitute(line, placeholders);
    }
    return lines;
}

}  // namespace NLX
