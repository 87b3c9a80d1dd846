#ifndef VEXA_NLX_RESOURCEERRORS_H
#define VEXA_NLX_RESOURCEERRORS_H

#include "ZetException.h"

#include <string>

namespace NLX {

// The errors of the resource text reader. Each carries a finished Russian message text;
// EndOfFile prefixes its own.

class FileIsNotOpen : public ZetException {
public:
    explicit FileIsNotOpen(const std::string& text) : ZetException(text) {}
    ~FileIsNotOpen() override = default;
};

class EndOfFile : public ZetException {
public:
    explicit EndOfFile(const std::string& text) : ZetException("Достигнут конец файла" + text) {}
    ~EndOfFile() override = default;
};

class ResourseTypeMissmatch : public ZetException {
public:
    explicit ResourseTypeMissmatch(const std::string& text) : ZetException(text) {}
    ~ResourseTypeMissmatch() override = default;
};

class ReadResourseErorrUncknownReason : public ZetException {
public:
    explicit ReadResourseErorrUncknownReason(const std::string& text) : ZetException(text) {}
    ~ReadResourseErorrUncknownReason() override = default;
};

class ObjectClassIsNotInitialized : public ZetException {
public:
    explicit ObjectClassIsNotInitialized(const std::string& text) : ZetException(text) {}
    ~ObjectClassIsNotInitialized() override = default;
};

class ResourseIsNotFound : public ZetException {
public:
    explicit ResourseIsNotFound(const std::string& text) : ZetException(text) {}
    ~ResourseIsNotFound() override = default;
};

class ResourseOutOfBounds : public ZetException {
public:
    explicit ResourseOutOfBounds(const std::string& text) : ZetException(text) {}
    ~ResourseOutOfBounds() override = default;
};

}  // namespace NLX

#endif
