#pragma once

namespace vexatest {

// Sanitizers change what some checks look at: ThreadSanitizer enlarges thread stacks and
// delivers signals late; both ignore mlockall and mallopt and need address space of their own.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UNDER_ASAN = true;
#else
constexpr bool UNDER_ASAN = false;
#endif
#if defined(__SANITIZE_THREAD__)
constexpr bool UNDER_TSAN = true;
#else
constexpr bool UNDER_TSAN = false;
#endif
constexpr bool UNDER_SANITIZER = UNDER_ASAN || UNDER_TSAN;

}  // namespace vexatest
