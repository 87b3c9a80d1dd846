#include "QosConsistency.h"

#include <string>

#include "vexa/core/Exception.hpp"

namespace vexa {
namespace core {

namespace {

std::string at(char const* delegate, int line) {
    return std::string(" at ") + delegate + ":" + std::to_string(line);
}

}  // namespace

void throwHistoryInconsistent(char const* delegate, int line) {
    throw ::dds::core::InconsistentPolicyError("QoS HISTORY is inconsistent with RESOURCR_LIMITS" +
                                               at(delegate, line));
}

void throwLimitsInconsistent(char const* delegate, int line) {
    throw ::dds::core::InconsistentPolicyError("QoS RESOURCR_LIMITS has inconsistent values" +
                                               at(delegate, line));
}

void checkKeepLastDepth(bool keepLast, int32_t depth, char const* delegate, int line) {
    if (keepLast && depth < 1) {
        throw ::dds::core::InconsistentPolicyError("QoS HISTORY KEEP_LAST depth " +
                                                   std::to_string(depth) + " is below 1" +
                                                   at(delegate, line));
    }
}

void checkHistoryLimits(int32_t depth, int32_t maxSamples, int32_t maxSamplesPerInstance,
                        char const* delegate, int historyLine, int limitsLine) {
    if (maxSamplesPerInstance == -1) {
        if (maxSamples != -1 && maxSamples < depth) {
            throwHistoryInconsistent(delegate, historyLine);
        }
        return;
    }
    if (maxSamplesPerInstance < depth) {
        throwHistoryInconsistent(delegate, historyLine);
    }
    if (maxSamples != -1 && maxSamplesPerInstance > maxSamples) {
        throwLimitsInconsistent(delegate, limitsLine);
    }
}

}  // namespace core
}  // namespace vexa
