// A target with a signed overflow on its first input: a fuzz build that lets it pass would let
// undefined behaviour in the real targets pass too.
#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

volatile int g_base = INT_MAX;
volatile int g_sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t size) {
    int value = g_base;
    value += 1 + static_cast<int>(size % 2);
    g_sink = value;
    return 0;
}
