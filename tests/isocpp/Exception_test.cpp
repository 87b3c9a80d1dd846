#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <typeinfo>

#include "vexa/core/Exception.hpp"

namespace {

using vexa::dds::ReturnCode_t;

// What code2exception threw: its dynamic type and message, or nothing.
struct Thrown {
    std::string type;  // "" when it returned
    std::string what;
};

Thrown mapCode(int32_t rc, std::string const& where) {
    try {
        vexa::core::code2exception(static_cast<ReturnCode_t>(rc), where);
    } catch (dds::core::Exception const& e) {
        std::string name = typeid(e).name();
        return {name, e.what()};
    }
    return {};
}

template <typename E>
std::string nameOf() {
    return typeid(E).name();
}

struct CodeCase {
    int32_t rc;
    std::string type;
    std::string message;  // for "where" = "op at File:7"
};

// One row per code: the class and the exact text a caller catches.
TEST(Code2Exception, EachCodeThrowsItsClassWithTheExactText) {
    std::string const w = "op at File:7";
    CodeCase const cases[] = {
        {-1, nameOf<dds::core::IllegalOperationError>(),
         "dds::core::IllegalOperationError : op at File:7. Unknown return value is -1"},
        {0, "", ""},
        {1, nameOf<dds::core::Error>(), "dds::core::Error : " + w},
        {2, nameOf<dds::core::UnsupportedError>(), "dds::core::UnsupportedError : " + w},
        {3, nameOf<dds::core::InvalidArgumentError>(), "dds::core::InvalidArgumentError : " + w},
        {4, nameOf<dds::core::PreconditionNotMetError>(),
         "dds::core::PreconditionNotMetError : " + w},
        {5, nameOf<dds::core::OutOfResourcesError>(), "dds::core::OutOfResourcesError : " + w},
        {6, nameOf<dds::core::NotEnabledError>(), "dds::core::NotEnabledError : " + w},
        {7, nameOf<dds::core::ImmutablePolicyError>(), "dds::core::ImmutablePolicyError : " + w},
        {8, nameOf<dds::core::InconsistentPolicyError>(),
         "dds::core::InconsistentPolicyError : " + w},
        {9, nameOf<dds::core::AlreadyClosedError>(), "dds::core::AlreadyClosedError : " + w},
        {10, nameOf<dds::core::TimeoutError>(), "dds::core::TimeoutError : " + w},
        {11, "", ""},
        {12, nameOf<dds::core::IllegalOperationError>(), "dds::core::IllegalOperationError : " + w},
        {13, nameOf<dds::core::IllegalOperationError>(),
         "dds::core::IllegalOperationError : op at File:7. Unknown return value is 13"},
    };
    for (auto const& c : cases) {
        Thrown const t = mapCode(c.rc, w);
        EXPECT_EQ(t.type, c.type) << "rc " << c.rc;
        EXPECT_EQ(t.what, c.message) << "rc " << c.rc;
    }
}

TEST(Code2Exception, EmptyWhereLeavesTheBarePrefix) {
    EXPECT_EQ(mapCode(10, "").what, "dds::core::TimeoutError : ");
    EXPECT_EQ(mapCode(0x7fffffff, "").what,
              "dds::core::IllegalOperationError : . Unknown return value is 2147483647");
}

// Callers that know only the standard library catch by the standard base.
TEST(Code2Exception, ClassesAreCaughtByTheirStandardBase) {
    struct BaseCase {
        int32_t rc;
        std::function<bool(std::function<void()>)> caughtAs;
    };
    auto as = [](auto tag) {
        using B = typename decltype(tag)::type;
        return [](std::function<void()> f) {
            try {
                f();
            } catch (B const&) {
                return true;
            } catch (...) {
            }
            return false;
        };
    };
    struct LogicTag {
        using type = std::logic_error;
    };
    struct RuntimeTag {
        using type = std::runtime_error;
    };
    struct InvalidArgTag {
        using type = std::invalid_argument;
    };
    BaseCase const cases[] = {
        {1, as(LogicTag{})}, {2, as(LogicTag{})},   {3, as(InvalidArgTag{})}, {3, as(LogicTag{})},
        {4, as(LogicTag{})}, {5, as(RuntimeTag{})}, {6, as(LogicTag{})},      {7, as(LogicTag{})},
        {8, as(LogicTag{})}, {9, as(LogicTag{})},   {10, as(RuntimeTag{})},   {12, as(LogicTag{})},
    };
    for (auto const& c : cases) {
        EXPECT_TRUE(c.caughtAs([&] {
            vexa::core::code2exception(static_cast<ReturnCode_t>(c.rc), "x");
        })) << "rc "
            << c.rc;
    }
}

// The classes no code maps to keep their standard bases too, and copies keep the message.
TEST(Exception, DirectlyThrownClassesAndCopies) {
    dds::core::InvalidDataError const data("InvalidDataError : bad at File:1");
    dds::core::InvalidDataError const copy(data);
    EXPECT_STREQ(copy.what(), "InvalidDataError : bad at File:1");
    std::logic_error const& asLogic = copy;
    EXPECT_STREQ(asLogic.what(), "InvalidDataError : bad at File:1");

    dds::core::NullReferenceError const null("n");
    std::runtime_error const& asRuntime = null;
    dds::core::Exception const& asApi = null;
    EXPECT_STREQ(asRuntime.what(), "n");
    EXPECT_STREQ(asApi.what(), "n");
    dds::core::InvalidDowncastError const downcast("d");
    EXPECT_STREQ(static_cast<std::runtime_error const&>(downcast).what(), "d");
}

}  // namespace
