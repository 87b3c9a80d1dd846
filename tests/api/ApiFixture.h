#pragma once

#include <string>

#include <gtest/gtest.h>

#include "dds/domain/DomainParticipant.hpp"
#include "fake/FakeTypes.h"
#include "vexa/TypeSupportImpl.h"

namespace apitest {

// A domain id for the tests of this binary.
constexpr uint32_t DOMAIN = 3;

// The fake keyed type, registered once with the core under "Keyed"; the registry owns it.
inline vexa::dcps::api::TypeSupportImpl& keyedTypeSupport() {
    static vexa::dcps::api::TypeSupportImpl ts("Keyed", new vexatest::KeyedTypeSupport);
    return ts;
}

inline void registerKeyed(dds::domain::DomainParticipant const& dp) {
    ASSERT_EQ(keyedTypeSupport().register_type(dp->participant(), ""), vexa::dds::RETCODE_OK);
}

// Expects `f` to throw E with exactly `text`.
template <typename E, typename F>
void expectThrowText(F&& f, std::string const& text) {
    try {
        f();
        ADD_FAILURE() << "no exception, expected: " << text;
    } catch (E const& e) {
        EXPECT_EQ(std::string(e.what()), text);
    } catch (std::exception const& e) {
        ADD_FAILURE() << "other exception: " << e.what() << ", expected: " << text;
    }
}

}  // namespace apitest
