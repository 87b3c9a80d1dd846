#ifndef TESSGEN_FRONTEND_BITSET_H
#define TESSGEN_FRONTEND_BITSET_H

#include "precompiler/frontend/AnyType.h"

#include <cstdint>
#include <string>
#include <vector>

struct BitSetElement {
    std::string m_name;
    std::int16_t m_flush = 0;  // bit position
};

// A bit set. The conversion fills size, alignment and flags; it keeps the base set().
class BitSet final : public AnyType {
public:
    using AnyType::AnyType;

    std::int32_t m_bound = 0;  // number of bits
    std::vector<BitSetElement> m_elements;
};

#endif
