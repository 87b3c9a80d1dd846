#include "fake/EngineScript.h"

#include <gtest/gtest.h>

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
        ADD_FAILURE() << operation << " called while the built-in subscriber's mutex is held";
    }
#else
    (void)operation;
#endif
}

}  // namespace vexatest
