#ifndef VEXA_NLX_ZETEXCEPTION_H
#define VEXA_NLX_ZETEXCEPTION_H

#include <exception>
#include <string>

namespace NLX {

// The exception of the precompiler and the common code: one message text in UTF-8.
class ZetException : public std::exception {
public:
    ZetException(const std::exception& other);
    ZetException(const std::string& text);
    // Wide texts are converted to UTF-8; a null pointer gives an empty text.
    ZetException(const wchar_t* const& text);
    ZetException(const std::wstring& text);
    ZetException(const ZetException& other);
    ZetException& operator=(const ZetException& other) = default;
    ~ZetException() override;

    const char* what() const noexcept override;
    // The text widened by the current locale (Cyrillic needs a UTF-8 locale).
    virtual std::wstring whatWstr() const;
    std::string getstring() const;

    // Appends the other exception's text to this one's.
    ZetException& operator+(const ZetException& other);

private:
    std::string m_text;
};

}  // namespace NLX

#endif
