#pragma once

#include <exception>

namespace RTPS {

// Failures the transport reports by exception; none carries a text. The engine turns them into
// GENERAL_DDSI_ERROR.

// The transport cannot add a receiver or sender at all (it was not initialised).
class GeneralAddingError : public std::exception {
public:
    const char* what() const noexcept override { return "RTPS::GeneralAddingError"; }
};

// A locator the transport cannot serve: not UDPv4, port 0 or above 65535, address 0, or a
// receive socket that could not be opened, bound or joined to its group.
class WrongLocator : public std::exception {
public:
    const char* what() const noexcept override { return "RTPS::WrongLocator"; }
};

// A null or empty buffer given to RTPSSender::sendData.
class WrongData : public std::exception {
public:
    const char* what() const noexcept override { return "RTPS::WrongData"; }
};

}  // namespace RTPS
