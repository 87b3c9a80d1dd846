#pragma once

#include <exception>
#include <string>

namespace RTPS {

// Every failure the engine reports to its users; the text is Russian UTF-8.
class DDSIException : public std::exception {
public:
    explicit DDSIException(char const* text) : m_text(text) {}
    char const* what() const noexcept override { return m_text.c_str(); }

private:
    std::string m_text;
};

// Invalid arguments given to the engine.
class BAD_PARAMETERS : public DDSIException {
public:
    using DDSIException::DDSIException;
};

// The engine's state does not allow the operation.
class GENERAL_DDSI_ERROR : public DDSIException {
public:
    using DDSIException::DDSIException;
};

}  // namespace RTPS
