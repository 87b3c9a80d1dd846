#pragma once

#include <gtest/gtest.h>

#include "dcps/domain/DomainParticipant.h"
#include "dcps/service/DCPSservice.h"
#include "dcps/service/DPFactory.h"
#include "fake/FakeEngine.h"
#include "fake/FakeTypes.h"

namespace vexatest {

// The settings every test binary of the core runs with: written into the working directory
// (the launcher gives each binary a fresh one) before the service reads them, once per
// process. The collector period is long, so tests drive collection with collectGarbage.
void writeDcpsConfig(int collectPeriod);

// The process's factory, with the built-in topics' record factories registered.
vexa::dcps::DPFactory& factory();

// A domain id of its own for every test, so the ten domain slots of the process suffice when
// tests run one by one (a new id only every ten participants).
unsigned testDomain();

// Registers the keyed and keyless fake types (type names "Keyed" and "Keyless") with a
// participant; the factories live for the process.
void registerFakeTypes(vexa::dcps::DomainParticipant* dp);
KeyedTypeSupport& keyedType();
KeylessTypeSupport& keylessType();

}  // namespace vexatest
