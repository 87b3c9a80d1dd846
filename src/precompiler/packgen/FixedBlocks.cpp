// Fixed blocks: a structure of fixed size (primitives, enumerations, bit sets, arrays of them and
// structures of such members) packed and unpacked at offsets worked out here, behind
// one bound check, instead of a runtime call per member. The offsets follow the rules of
// FixedLayout.cpp; a block whose layout would change with where it starts is not one.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/packgen/GeneratedLines.h"
#include "precompiler/typegen/FinalType.h"

namespace NLX {

using packgen::dec;
using packgen::line;

namespace {

// The largest alignment; where an item starts depends on the block's start modulo this only.
constexpr unsigned ALIGNMENT_PERIOD = 16;

AnyType* resolved(AnyType* type) {
    AnyType* base = finalType(type);
    return base != nullptr ? base : type;
}

std::uint64_t alignUp(std::uint64_t pos, std::uint64_t alignment) {
    return alignment <= 1 ? pos : (pos + alignment - 1) / alignment * alignment;
}

// A scalar a block holds: Float128 is left to the runtime, which zeros its padding.
bool blockScalar(const AnyType* type) {
    return (isPrimitive(type->m_Kind) && type->m_Kind != FLOAT_128_TYPE) ||
           type->m_Kind == ENUMERATION_TYPE;
}

// Appends the items of the type placed at pos (absolute); false for a type no block holds.
bool placeItems(AnyType* type, const std::string& path, std::uint64_t& pos,
                std::vector<BuildePack::BlockItem>& items) {
    AnyType* base = resolved(type);
    if (base->m_Kind == STRUCTURE_TYPE) {
        auto* structure = static_cast<Structure*>(base);
        for (const MemberAgregate& member : structure->m_members) {
            if (!placeItems(structure->getAnyTypeByString(member.m_typeName),
                            path + ".m_" + member.m_name, pos, items)) {
                return false;
            }
        }
        return true;
    }
    BuildePack::BlockItem item;
    item.path = path;
    AnyType* value = base;
    if (base->m_Kind == ARRAY_TYPE) {
        // Arrays of arrays are one array of the innermost values, row after row.
        item.count = 1;
        while (value->m_Kind == ARRAY_TYPE) {
            auto* array = static_cast<Array*>(value);
            if (array->m_dimensions.empty()) {
                return false;
            }
            item.dimensions += static_cast<unsigned>(array->m_dimensions.size());
            item.count *= array->m_elementCount;
            value = resolved(array->m_elementType);
        }
    }
    if (!blockScalar(value) && value->m_Kind != BITSET_TYPE) {
        return false;
    }
    item.size = value->m_size;
    item.boolean = value->m_Kind == BOOLEAN_TYPE;
    item.bits = value->m_Kind == BITSET_TYPE;
    const std::uint64_t bytes = item.count == 0 ? item.size : item.size * item.count;
    if (item.size == 0 || bytes == 0) {
        return false;
    }
    item.alignment = bytes == 1 ? 1u : value->m_alignment;
    item.offset = alignUp(pos, item.alignment);
    pos = item.offset + bytes;
    items.push_back(item);
    return true;
}

std::string unsignedOf(std::uint64_t size) {
    return "uint" + dec(size * 8) + "_t";
}

// The call head that stores one value of the item: "...(" before the place and the value.
std::string store(const BuildePack::BlockItem& item) {
    return item.bits ? "VEXA_PACK::storeBits<" + unsignedOf(item.size) + ">("
                     : std::string("VEXA_PACK::storeItem(");
}

std::string load(const BuildePack::BlockItem& item, bool swapped) {
    const std::string order = swapped ? "true" : "false";
    return item.bits ? "VEXA_PACK::loadBits<" + order + ", " + unsignedOf(item.size) + ">("
                     : "VEXA_PACK::loadItem<" + order + ">(";
}

// An array item value by value, row after row, through call (a store or load head).
std::string valueLoops(const BuildePack::BlockItem& item, const std::string& member,
                       const std::string& place, unsigned level, const std::string& call) {
    std::string text = line(level, "{");
    text += line(level + 1, "auto* q = " + place + ";");
    std::string row = member;
    for (unsigned k = 0; k < item.dimensions; ++k) {
        text += line(level + 1 + k, "for (auto& r" + dec(k) + " : " + row + ") {");
        row = "r" + dec(k);
    }
    const unsigned inner = level + 1 + item.dimensions;
    text += line(inner, call + "q, " + row + ");");
    text += line(inner, "q += " + dec(item.size) + ";");
    for (unsigned k = item.dimensions; k >= 1; --k) {
        text += line(level + k, "}");
    }
    return text + line(level, "}");
}

}  // namespace

bool BuildePack::fixedBlockAt(AnyType* type, std::uint64_t start, FixedBlock& block) {
    block = FixedBlock();
    std::uint64_t end = start;
    if (!placeItems(type, "", end, block.items) || block.items.empty() ||
        end != lenPackedFixed(type, start)) {
        return false;
    }
    block.start = block.items.front().offset;
    block.span = end - block.start;
    const BlockItem& first = block.items.front();
    const std::uint64_t firstBytes = first.count == 0 ? first.size : first.size * first.count;
    block.alignment = firstBytes == 1 || first.alignment == 0 ? 1u : first.alignment;
    for (BlockItem& item : block.items) {
        item.offset -= block.start;
    }
    return true;
}

bool BuildePack::fixedBlock(AnyType* type, FixedBlock& block) {
    if (!fixedBlockAt(type, 0, block) || block.start != 0) {
        return false;
    }
    // The same offsets wherever the block may start: at every multiple of its alignment.
    for (unsigned at = block.alignment; at < ALIGNMENT_PERIOD; at += block.alignment) {
        FixedBlock moved;
        if (!fixedBlockAt(type, at, moved) || moved.start != at || moved.span != block.span) {
            return false;
        }
        for (std::size_t i = 0; i < block.items.size(); ++i) {
            if (moved.items[i].offset != block.items[i].offset) {
                return false;
            }
        }
    }
    return true;
}

bool BuildePack::blockValue(AnyType* type, FixedBlock& block) {
    const TypeKind kind = resolved(type)->m_Kind;
    return (kind == STRUCTURE_TYPE || kind == ARRAY_TYPE || kind == BITSET_TYPE) &&
           fixedBlock(type, block);
}

bool BuildePack::fixedRun(AnyType* element, FixedBlock& block) {
    // Element after element with no gap: each starts where the one before ends.
    return fixedBlock(element, block) && block.span % block.alignment == 0;
}

std::string BuildePack::packItems(const FixedBlock& block, const std::string& object,
                                  const std::string& pointer, std::uint64_t base, unsigned level) {
    auto at = [&pointer, base](std::uint64_t offset) {
        return offset + base == 0 ? pointer : pointer + " + " + dec(offset + base);
    };
    std::string text;
    std::uint64_t written = 0;
    for (const BlockItem& item : block.items) {
        if (item.offset > written) {
            // A reused buffer must not send what it held before.
            text +=
                line(level, "memset(" + at(written) + ", 0, " + dec(item.offset - written) + ");");
        }
        const std::string member = object + item.path;
        if (item.count == 0) {
            text += line(level, store(item) + at(item.offset) + ", " + member + ");");
            written = item.offset + item.size;
        } else if (item.bits) {
            text += valueLoops(item, member, at(item.offset), level, store(item));
            written = item.offset + item.size * item.count;
        } else {
            text += line(level, "memcpy(" + at(item.offset) + ", &" + member + ", " +
                                    dec(item.size * item.count) + ");");
            written = item.offset + item.size * item.count;
        }
    }
    return text;
}

std::string BuildePack::unpackItems(const FixedBlock& block, const std::string& object,
                                    const std::string& pointer, unsigned level, bool swapped) {
    auto at = [&pointer](std::uint64_t offset) {
        return offset == 0 ? pointer : pointer + " + " + dec(offset);
    };
    std::string text;
    for (const BlockItem& item : block.items) {
        const std::string member = object + item.path;
        if (item.count == 0) {
            text += line(level, load(item, swapped) + at(item.offset) + ", " + member + ");");
        } else if (!item.boolean && !item.bits && (!swapped || item.size == 1)) {
            text += line(level, "memcpy(&" + member + ", " + at(item.offset) + ", " +
                                    dec(item.size * item.count) + ");");
        } else {
            text += valueLoops(item, member, at(item.offset), level, load(item, swapped));
        }
    }
    return text;
}

}  // namespace NLX
