#include "rtps/history/NodeArena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

using namespace RTPS;

namespace {

struct Held {
    uint8_t* p;
    size_t size;
};

// No two held blocks share a byte, and every held block still holds what its holder wrote.
void expectDisjointAndIntact(std::vector<Held> const& held) {
    std::map<uintptr_t, size_t> spans;
    for (Held const& h : held) {
        spans[reinterpret_cast<uintptr_t>(h.p)] = h.size;
        for (size_t i = 0; i < h.size; ++i) {
            ASSERT_EQ(h.p[i], static_cast<uint8_t>(h.size)) << "a block was handed out twice";
        }
    }
    uintptr_t end = 0;
    for (auto const& s : spans) {
        EXPECT_GE(s.first, end) << "held blocks overlap";
        end = s.first + s.second;
    }
}

}  // namespace

// Blocks of several sizes taken, given back and taken again, as the indexes of a history that
// grows and shrinks do: a block goes to one holder at a time, and only for its own size.
TEST(NodeArena, ABlockServesOneHolderAtATimeAndOnlyItsSize) {
    struct Case {
        char const* name;
        std::vector<size_t> sizes;  // taken in turn, round after round
        size_t perRound;
        size_t rounds;
    };
    const Case cases[] = {
        {"one size", {40}, 200, 3},
        {"two sizes interleaved", {24, 64}, 200, 4},
        {"many sizes", {16, 24, 40, 48, 64, 72}, 300, 3},
        {"more given back than is kept", {32, 96}, 4 * NodeArena::KEPT_PER_SIZE + 100, 2},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        NodeArena arena;
        const size_t perRound = c.perRound;
        std::vector<Held> held;
        for (size_t round = 0; round < c.rounds; ++round) {
            for (size_t i = 0; i < perRound; ++i) {
                const size_t size = c.sizes[i % c.sizes.size()];
                auto* p = static_cast<uint8_t*>(arena.take(size));
                std::memset(p, static_cast<int>(size), size);
                held.push_back(Held{p, size});
            }
            expectDisjointAndIntact(held);
            // Every other block goes back; the rest stay held into the next round.
            std::vector<Held> kept;
            for (size_t i = 0; i < held.size(); ++i) {
                if (i % 2 == 0) {
                    arena.give(held[i].p, held[i].size);
                } else {
                    kept.push_back(held[i]);
                }
            }
            held.swap(kept);
        }
        expectDisjointAndIntact(held);
        for (Held const& h : held) {
            arena.give(h.p, h.size);
        }
    }
}
