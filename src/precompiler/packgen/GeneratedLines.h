#ifndef TESSGEN_PACKGEN_GENERATEDLINES_H
#define TESSGEN_PACKGEN_GENERATEDLINES_H

#include "Indent.h"

#include <cstdint>
#include <string>

namespace NLX {
namespace packgen {

// One line of generated code: the blanks of its level (2 a level), the text, a line end.
inline std::string line(unsigned level, const std::string& text) {
    return Indent::shiftIndent(level) + text + "\n";
}

// Numbers in generated code are decimal; sizes and offsets may pass what itoaZET takes.
inline std::string dec(std::uint64_t value) {
    return std::to_string(value);
}

inline bool identifierChar(char c) {
    return c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Whether the generated text names the identifier (as a whole word): a parameter or local
// the text never names is left out, so that generated code compiles without warnings.
inline bool usesName(const std::string& text, const std::string& name) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const bool before = at > 0 && identifierChar(text[at - 1]);
        const std::size_t end = at + name.size();
        const bool after = end < text.size() && identifierChar(text[end]);
        if (!before && !after) {
            return true;
        }
    }
    return false;
}

}  // namespace packgen
}  // namespace NLX

#endif
