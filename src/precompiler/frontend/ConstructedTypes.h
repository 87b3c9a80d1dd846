#ifndef TESSGEN_FRONTEND_CONSTRUCTEDTYPES_H
#define TESSGEN_FRONTEND_CONSTRUCTEDTYPES_H

#include "precompiler/frontend/Alias.h"
#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/BitSet.h"
#include "precompiler/frontend/Enumeration.h"
#include "precompiler/frontend/Map.h"
#include "precompiler/frontend/Sequence.h"
#include "precompiler/frontend/String.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/frontend/Union.h"

#include <vector>

// The types a module defines, one vector per class. Pointers into these vectors stay valid
// while the vectors are neither resized nor copied.
struct ConstructedTypes {
    std::vector<Map> m_maps;
    std::vector<Sequence> m_sequences;
    std::vector<Array> m_arrays;
    std::vector<String> m_strings;
    std::vector<BitSet> m_bitSets;
    std::vector<Enumeration> m_enumerations;
    std::vector<Union> m_unions;
    std::vector<Alias> m_aliases;
    std::vector<Structure> m_structures;
};

#endif
