#include "ZetException.h"

#include "NlxUtils.h"

namespace NLX {

namespace {
std::string fromWide(const wchar_t* text) {
    return text == nullptr ? std::string() : UTF16toUTF8(std::wstring(text));
}
}  // namespace

ZetException::ZetException(const std::exception& other) : m_text(other.what()) {}

ZetException::ZetException(const std::string& text) : m_text(text) {}

ZetException::ZetException(const wchar_t* const& text) : m_text(fromWide(text)) {}

ZetException::ZetException(const std::wstring& text) : m_text(UTF16toUTF8(text)) {}

ZetException::ZetException(const ZetException& other)
    : std::exception(other), m_text(other.m_text) {}

ZetException::~ZetException() = default;

const char* ZetException::what() const noexcept {
    return m_text.c_str();
}

std::wstring ZetException::whatWstr() const {
    return widen(m_text);
}

std::string ZetException::getstring() const {
    return m_text;
}

ZetException& ZetException::operator+(const ZetException& other) {
    m_text += other.m_text;
    return *this;
}

}  // namespace NLX
