#include "Indent.h"

#include <sstream>

namespace NLX {

std::uint32_t Indent::m_uiIndent = 0;
std::uint32_t Indent::m_uiSizeOfIndent = 2;

namespace {
void stepBack() {
    Indent::m_uiIndent = Indent::m_uiIndent > Indent::m_uiSizeOfIndent
                             ? Indent::m_uiIndent - Indent::m_uiSizeOfIndent
                             : 0;
}
}  // namespace

std::string Indent::shiftIndent() {
    return std::string(m_uiIndent, ' ');
}

std::string Indent::shiftIndent(unsigned int n) {
    return std::string(static_cast<std::size_t>(n) * m_uiSizeOfIndent, ' ');
}

std::string Indent::shiftIndent(const std::string& text, unsigned int n) {
    const std::string blanks = shiftIndent(n);
    std::istringstream lines(text);
    std::string line;
    std::string result;
    while (std::getline(lines, line)) {
        result += blanks;
        result += line;
        result += '\n';
    }
    return result;
}

std::string Indent::openBrace() {
    m_uiIndent += m_uiSizeOfIndent;
    return "{\n";
}

std::string Indent::closeBrace() {
    stepBack();
    return shiftIndent() + "}";
}

std::string Indent::open() {
    m_uiIndent += m_uiSizeOfIndent;
    return shiftIndent();
}

std::string Indent::close() {
    stepBack();
    return shiftIndent();
}

}  // namespace NLX
