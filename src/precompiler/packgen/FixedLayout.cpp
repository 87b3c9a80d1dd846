// Layout of fixed-size data, worked out while generating: every offset and length that the
// generated code writes as a constant. It must agree byte for byte with what the runtime and
// the generated helpers do at run time: an item of n bytes (n > 1) starts at the next
// multiple of n counted from the first data byte, a 1-byte item is never aligned, and a
// structure has no padding of its own.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/packgen/GeneratedLines.h"
#include "precompiler/typegen/FinalType.h"

#include <limits>

namespace NLX {

using packgen::dec;
using packgen::line;

namespace {

// The topic functions return the data length plus the 4-byte header as unsigned.
constexpr std::uint64_t MAX_DATA = std::numeric_limits<std::uint32_t>::max() - 4;
// The largest alignment (Float128); where an item ends depends on its start only modulo this.
constexpr unsigned ALIGNMENT_PERIOD = 16;

// Where an element ends, by element type and start position modulo ALIGNMENT_PERIOD, minus
// that start: arrays of structures inside arrays of structures are each worked out once.
std::map<std::pair<const AnyType*, unsigned>, std::uint64_t>& elementSpans() {
    static std::map<std::pair<const AnyType*, unsigned>, std::uint64_t> spans;
    return spans;
}

AnyType* resolved(AnyType* type) {
    AnyType* base = finalType(type);
    return base != nullptr ? base : type;
}

std::uint64_t alignUp(std::uint64_t pos, std::uint64_t alignment) {
    return alignment <= 1 ? pos : (pos + alignment - 1) / alignment * alignment;
}

// VEXA_PACK::lenPacked in 64 bits.
std::uint64_t place(std::uint64_t pos, std::uint64_t alignment, std::uint64_t size) {
    return size == 1 ? pos + 1 : alignUp(pos, alignment) + size;
}

// An array placed element by element (elements that are no primitive, enumeration or bit set,
// whose packed length may depend on where they start).
bool elementWise(AnyType* base) {
    return base->m_Kind == ARRAY_TYPE &&
           !resolved(static_cast<Array*>(base)->m_elementType)->isLenghthAsSimple();
}

}  // namespace

void BuildePack::forgetLayouts() {
    elementSpans().clear();
}

std::uint64_t BuildePack::lenPackedFixed(AnyType* type, std::uint64_t pos) {
    AnyType* base = resolved(type);
    std::uint64_t end = pos;
    if (base->m_Kind == STRUCTURE_TYPE) {
        auto* structure = static_cast<Structure*>(base);
        for (const MemberAgregate& member : structure->m_members) {
            end = lenPackedFixed(structure->getAnyTypeByString(member.m_typeName), end);
        }
    } else if (elementWise(base)) {
        auto* array = static_cast<Array*>(base);
        AnyType* element = array->m_elementType;
        auto span = [this, element](std::uint64_t at) {
            const unsigned residue = static_cast<unsigned>(at % ALIGNMENT_PERIOD);
            const auto key = std::make_pair(static_cast<const AnyType*>(element), residue);
            auto found = elementSpans().find(key);
            if (found == elementSpans().end()) {
                found =
                    elementSpans().emplace(key, lenPackedFixed(element, residue) - residue).first;
            }
            return found->second;
        };
        // The residues of the element starts repeat within ALIGNMENT_PERIOD + 1 elements; the
        // whole cycles are added at once, so a large count costs no more than a small one.
        std::map<unsigned, std::pair<std::uint64_t, std::uint64_t>> seen;  // residue: index, pos
        bool cyclesAdded = false;
        for (std::uint64_t i = 0; i < array->m_elementCount;) {
            const unsigned residue = static_cast<unsigned>(end % ALIGNMENT_PERIOD);
            const auto earlier = cyclesAdded ? seen.end() : seen.find(residue);
            if (earlier != seen.end()) {
                const std::uint64_t length = i - earlier->second.first;
                const std::uint64_t advance = end - earlier->second.second;
                const std::uint64_t cycles = (array->m_elementCount - i) / length;
                if (advance != 0 && cycles > (MAX_DATA - end) / advance) {
                    // Past 2^64 the size itself cannot be written.
                    refuseSize(base, "больше " + dec(MAX_DATA));
                }
                end += cycles * advance;
                i += cycles * length;
                cyclesAdded = true;
                continue;
            }
            if (!cyclesAdded) {
                seen.emplace(residue, std::make_pair(i, end));
            }
            end += span(end);
            ++i;
            if (end > MAX_DATA) {
                refuseSize(base, dec(end));
            }
        }
    } else {
        end = place(pos, base->m_alignment, base->m_size);
    }
    if (end > MAX_DATA) {
        refuseSize(base, dec(end));
    }
    return end;
}

void BuildePack::refuseSize(AnyType* type, const std::string& size) const {
    refuse(__func__, __LINE__,
           "Модуль " + m_moduleName + ", тип " + type->m_qualifiedName + ": упакованный размер " +
               size + " байт не помещается в 32 бита");
}

std::uint64_t BuildePack::lenPackedFixed(AnyType* type, std::uint64_t pos,
                                         const std::vector<std::string>& keyPaths,
                                         const std::string& path,
                                         std::vector<std::uint32_t>& keyOffsets,
                                         std::vector<std::uint32_t>& keyLengths) {
    AnyType* base = resolved(type);
    if (base->m_Kind == STRUCTURE_TYPE) {
        auto* structure = static_cast<Structure*>(base);
        for (const MemberAgregate& member : structure->m_members) {
            pos = lenPackedFixed(structure->getAnyTypeByString(member.m_typeName), pos, keyPaths,
                                 path + "." + member.m_name, keyOffsets, keyLengths);
        }
        return pos;
    }
    const std::uint64_t end = lenPackedFixed(base, pos);
    const std::uint64_t length =
        base->m_size != 0 ? base->m_size : end - alignUp(pos, base->m_alignment);
    for (std::size_t i = 0; i < keyPaths.size() && i < keyOffsets.size(); ++i) {
        if (keyPaths[i] == path) {
            keyOffsets[i] = static_cast<std::uint32_t>(end - length);
            keyLengths[i] = static_cast<std::uint32_t>(length);
        }
    }
    return end;
}

std::uint64_t BuildePack::lenPackedFixedFirst(AnyType* type, std::uint64_t pos, bool& fixed) {
    fixed = type->isFixedLength();
    return fixed ? lenPackedFixed(type, pos) : pos;
}

std::uint64_t BuildePack::getLengthFixedKey(Structure* topic, bool& allFixed) {
    allFixed = true;
    std::uint64_t pos = 0;
    for (AnyType* key : topic->m_keyTypes) {
        if (key == nullptr || !key->isFixedLength()) {
            allFixed = false;
            return pos;
        }
        pos = lenPackedFixed(key, pos);
    }
    return pos;
}

void BuildePack::lenPackedTopic(Structure* topic) {
    if (!topic->isFixedLength()) {
        return;
    }
    std::vector<std::uint32_t> keyOffsets(topic->m_keyPaths.size(), 0);
    std::vector<std::uint32_t> keyLengths(topic->m_keyPaths.size(), 0);
    std::uint64_t pos = 0;
    for (const MemberAgregate& member : topic->m_members) {
        pos = lenPackedFixed(topic->getAnyTypeByString(member.m_typeName), pos, topic->m_keyPaths,
                             member.m_name, keyOffsets, keyLengths);
    }
    const std::string total = dec(pos + 4);
    const std::string name = className(topic);
    *m_source << line(1, "unsigned " + name + "::" + "lenPacked() const {")
              << line(2, "return (unsigned)" + total + ";") << line(1, "}")
              << line(1, "unsigned " + name + "::" + "maxlenPacked() {")
              << line(2, "return (unsigned)" + total + ";") << line(1, "}");
}

std::string BuildePack::SHIFT(std::string indent, unsigned n) {
    if (n == 1) {
        return indent + "uint32_t shift = 0;";
    }
    if (n == 2) {
        return indent + "uint32_t shift = pos%2;";
    }
    const std::string size = dec(n);
    return indent + "uint32_t shift = pos%" + size + ";" + "\n" + indent +
           "if (shift != 0) shift = " + size + " - shift;";
}

}  // namespace NLX
