#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "rtps/wire/ParameterList.h"

using Bytes = std::vector<unsigned char>;

namespace {

struct Expected {
    uint16_t id;
    uint16_t length;
    unsigned offset;  // of the value inside the list
};

struct Case {
    char const* name;
    Bytes list;
    unsigned available;  // 0: the whole list
    unsigned size;       // expected result
    std::vector<Expected> entries;
};

std::vector<Case> cases() {
    return {
        {"only the sentinel", {0x01, 0x00, 0x00, 0x00}, 0, 4, {}},
        {"sentinel with a length is still the end", {0x01, 0x00, 0x08, 0x00}, 0, 4, {}},
        {"key hash and status info",
         {0x70, 0x00, 0x10, 0x00, 1,    2,    3,    4,    5, 6, 7, 8, 9,    10,   11,   12,
          13,   14,   15,   16,   0x71, 0x00, 0x04, 0x00, 3, 0, 0, 0, 0x01, 0x00, 0x00, 0x00},
         0,
         32,
         {{0x70, 16, 4}, {0x71, 4, 24}}},
        {"empty value", {0x05, 0x80, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}, 0, 8, {{0x8005, 0, 4}}},
        {"bytes after the sentinel are not part of it",
         {0x01, 0x00, 0x00, 0x00, 0xEE, 0xEE},
         0,
         4,
         {}},
        {"nothing available", {0x01, 0x00, 0x00, 0x00}, 0xFFFF, 0, {}},
        {"sentinel cut short", {0x01, 0x00, 0x00}, 0, 0, {}},
        {"value runs past the bound",
         {0x70, 0x00, 0x10, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 0x01, 0x00, 0x00, 0x00},
         0,
         0,
         {}},
        {"no sentinel", {0x71, 0x00, 0x04, 0x00, 3, 0, 0, 0}, 0, 0, {}},
        {"header of the second entry cut short",
         {0x71, 0x00, 0x04, 0x00, 3, 0, 0, 0, 0x70, 0x00},
         0,
         0,
         {}},
        {"length of 0xFFFF", {0x70, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00}, 0, 0, {}},
    };
}

unsigned availableOf(Case const& c) {
    if (c.available == 0xFFFF) {
        return 0;
    }
    return c.available != 0 ? c.available : static_cast<unsigned>(c.list.size());
}

}  // namespace

TEST(ParameterList, HeapEntriesTable) {
    for (Case c : cases()) {
        SCOPED_TRACE(c.name);
        // A stale entry in the output must not survive (the caller released it already).
        std::vector<RTPS::Parameter*> out{nullptr};
        unsigned size = RTPS::parseParameterList(c.list.data(), availableOf(c), &out);
        EXPECT_EQ(size, c.size);
        ASSERT_EQ(out.size(), c.entries.size());
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i]->parameterId, c.entries[i].id);
            EXPECT_EQ(out[i]->length, c.entries[i].length);
            EXPECT_EQ(out[i]->value, c.list.data() + c.entries[i].offset);
            delete out[i];
        }
    }
}

TEST(ParameterList, ValueEntriesTable) {
    for (Case c : cases()) {
        SCOPED_TRACE(c.name);
        std::vector<RTPS::Parameter> out(3);
        unsigned size = RTPS::parseParameterList(c.list.data(), availableOf(c), out);
        EXPECT_EQ(size, c.size);
        ASSERT_EQ(out.size(), c.entries.size());
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].parameterId, c.entries[i].id);
            EXPECT_EQ(out[i].length, c.entries[i].length);
            EXPECT_EQ(out[i].value, c.list.data() + c.entries[i].offset);
        }
    }
}

TEST(ParameterList, NullArgumentsGiveZero) {
    unsigned char list[] = {0x01, 0x00, 0x00, 0x00};
    std::vector<RTPS::Parameter*> out;
    EXPECT_EQ(RTPS::parseParameterList(nullptr, 4, &out), 0u);
    EXPECT_EQ(RTPS::parseParameterList(list, 4, nullptr), 0u);
}
