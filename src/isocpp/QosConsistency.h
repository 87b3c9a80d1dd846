#pragma once

#include <cstdint>

namespace vexa {
namespace core {

// The history against resource-limits rule of every delegate (-1: unlimited; the history kind
// is not consulted). Throws InconsistentPolicyError with the HISTORY text at `historyLine` or
// the RESOURCR_LIMITS text at `limitsLine` of `delegate`.
void checkHistoryLimits(int32_t depth, int32_t maxSamples, int32_t maxSamplesPerInstance,
                        char const* delegate, int historyLine, int limitsLine);

// A KEEP_LAST history (`keepLast`) keeps at least one sample: a depth below 1 throws
// InconsistentPolicyError at `line` of `delegate`.
void checkKeepLastDepth(bool keepLast, int32_t depth, char const* delegate, int line);

// The same texts; for callers that check only part of the rule.
[[noreturn]] void throwHistoryInconsistent(char const* delegate, int line);
[[noreturn]] void throwLimitsInconsistent(char const* delegate, int line);

}  // namespace core
}  // namespace vexa
