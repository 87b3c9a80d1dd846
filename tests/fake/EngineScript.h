#pragma once

namespace vexatest {

// What a scripted engine call does next.
enum class Failure {
    None,   // succeeds
    DDSI,   // throws RTPS::GENERAL_DDSI_ERROR
    Other,  // throws std::runtime_error
};

// Throws as scripted; does nothing for Failure::None.
void throwAs(Failure failure, char const* what);

// Aborts with the operation's name when the caller holds the built-in subscriber's mutex (the
// core makes no engine call under it). Only builds that check the lock order can tell.
void expectNoMarkedMutex(char const* operation);

}  // namespace vexatest
