#ifndef VEXA_NLX_INDENT_H
#define VEXA_NLX_INDENT_H

#include <cstdint>
#include <string>

namespace NLX {

// The indentation of the source text the code generators write: one counter for the whole
// process, carried from one generated file to the next. Not synchronised (one thread).
class Indent {
public:
    // Current indentation, in blanks.
    static std::uint32_t m_uiIndent;
    // Width of one level, in blanks.
    static std::uint32_t m_uiSizeOfIndent;

    // m_uiIndent blanks.
    static std::string shiftIndent();
    // n levels of blanks; the counter is untouched.
    static std::string shiftIndent(unsigned int n);
    // Every line of the text behind n levels of blanks, each ended by a line feed.
    static std::string shiftIndent(const std::string& text, unsigned int n);

    // One level deeper; returns "{\n".
    static std::string openBrace();
    // One level back (never below 0); returns the new indentation and "}".
    static std::string closeBrace();
    // One level deeper; returns the new indentation.
    static std::string open();
    // One level back (never below 0); returns the new indentation.
    static std::string close();
};

}  // namespace NLX

// The current indentation, as generated code writes it.
#define SD NLX::Indent::shiftIndent()

#endif
