#include "fake/EngineScript.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "dcps/lock/LockOrder.h"
#include "rtps/participant/DDSIException.h"

namespace vexatest {

void throwAs(Failure failure, char const* what) {
    switch (failure) {
        case Failure::None:
            return;
        case Failure::DDSI:
            throw RTPS::GENERAL_DDSI_ERROR(what);
        case Failure::Other:
            throw std::runtime_error(what);
    }
}

void expectNoMarkedMutex(char const* operation) {
#ifndef NDEBUG
    if (vexa::dcps::LockOrder::holdsMarked()) {
        // Like the core's own checker: the offending stack is the one that aborts.
        std::fprintf(stderr, "engine called under the built-in subscriber's mutex: %s\n",
                     operation);
        std::fflush(stderr);
        std::abort();
    }
#else
    (void)operation;
#endif
}

}  // namespace vexatest
