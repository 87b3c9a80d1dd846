// The topic's unpack(): one length test, the header, then one branch per byte order. Members
// of fixed size are read inline at offsets worked out here, the rest through the helpers.
//
// The inline reader's cursor ptrSrc moves lazily: it stands on the first byte of the item
// last read (offset - pending), and one statement moves it on by pending plus the next
// item's padding right before that item is read.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/packgen/GeneratedLines.h"
#include "precompiler/typegen/FinalType.h"

namespace NLX {

using packgen::dec;
using packgen::line;
using packgen::usesName;

namespace {

AnyType* resolved(AnyType* type) {
    AnyType* base = finalType(type);
    return base != nullptr ? base : type;
}

std::uint64_t alignUp(std::uint64_t pos, std::uint64_t alignment) {
    return alignment <= 1 ? pos : (pos + alignment - 1) / alignment * alignment;
}

// A bit set read inline, at any depth of structures: the reads go through uint64_t_obj.
bool readsBitSetInline(AnyType* type) {
    AnyType* base = resolved(type);
    if (base->m_Kind == BITSET_TYPE) {
        return true;
    }
    if (base->m_Kind != STRUCTURE_TYPE) {
        return false;
    }
    auto* structure = static_cast<Structure*>(base);
    for (const MemberAgregate& member : structure->m_members) {
        if (readsBitSetInline(structure->getAnyTypeByString(member.m_typeName))) {
            return true;
        }
    }
    return false;
}

const char* const CDR_LE_TEST =
    "if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {";

// The header read and the two cursors, each declared only where the reads use it. The length
// test before it has made sure of the header's 4 bytes, so it is copied in place.
std::string headerLines(unsigned level, const std::string& reads) {
    std::string text = line(level, "VEXA_PACK::CDR_HEADER cdrHEADER;") +
                       line(level, "memcpy(&cdrHEADER,in_from_buf,4);");
    const bool cursor = usesName(reads, "ptrSrc");
    if (cursor) {
        text += line(level, "uint8_t* ptrSrc = (uint8_t*)in_from_buf+4;");
    }
    if (usesName(reads, "from_buf")) {
        text += line(level, cursor ? "const void* from_buf = (const void*)ptrSrc;"
                                   : "const void* from_buf = (const uint8_t*)in_from_buf+4;");
    }
    return text;
}

}  // namespace

void BuildePack::unpackTopic(Structure* topic) {
    for (const MemberAgregate& member : topic->m_members) {
        buildUnPackF(topic->getAnyTypeByString(member.m_typeName));
    }
    // Collected first: every helper the text calls is written before it.
    std::string text = line(
        1, "bool " + className(topic) + "::unpack(const void* in_from_buf, unsigned in_lenbuf) {");
    if (topic->isFixedLength()) {
        text += unpackTopicFixed(topic, 2);
    } else {
        std::uint64_t prefix = 0;
        std::size_t inline_ = 0;
        for (; inline_ < topic->m_members.size(); ++inline_) {
            bool fixed = false;
            prefix = lenPackedFixedFirst(
                topic->getAnyTypeByString(topic->m_members[inline_].m_typeName), prefix, fixed);
            if (!fixed) {
                break;
            }
        }
        std::string branches;
        for (std::size_t e = 0; e < m_encapsulations.size(); ++e) {
            const VEXA_PACK::EnEncapsulation encapsulation = m_encapsulations[e];
            const std::string suffix = m_suffixes[encapsulation];
            branches += e == 0 ? line(2, CDR_LE_TEST) : line(2, "} else {");
            branches += unpackTopicFixedFirst(topic, encapsulation, 3);
            for (std::size_t i = inline_; i < topic->m_members.size(); ++i) {
                const MemberAgregate& member = topic->m_members[i];
                branches +=
                    line(3, "pos = " + UNPACK_F_NAME(topic->getAnyTypeByString(member.m_typeName)) +
                                suffix + "(m_" + member.m_name + ",from_buf, pos, in_lenbuf-4);");
                branches += line(3, "if (pos == 0) return false;");
            }
        }
        branches += line(2, "}");
        text += line(2, "if (in_lenbuf < " + dec(prefix + 4) + ") {return false;}");
        text += line(2, "unsigned pos = " + dec(prefix) + ";");
        text += headerLines(2, branches) + branches;
    }
    text += line(2, "return true;");
    text += line(1, "}");
    *m_source << text;
}

std::string BuildePack::unpackTopicFixed(Structure* topic, unsigned level) {
    const std::uint64_t length = lenPackedFixed(topic, 0);
    bool bitsetFlag = true;
    std::string branches;
    bool scratch = false;
    for (std::size_t e = 0; e < m_encapsulations.size(); ++e) {
        const VEXA_PACK::EnEncapsulation encapsulation = m_encapsulations[e];
        branches += e == 0 ? line(level, CDR_LE_TEST) : line(level, "} else {");
        std::uint64_t offset = 0;
        std::uint64_t pending = 0;
        for (const MemberAgregate& member : topic->m_members) {
            AnyType* type = topic->getAnyTypeByString(member.m_typeName);
            scratch = scratch || readsBitSetInline(type);
            branches +=
                Code_UnPack(type, "m_" + member.m_name, offset, Indent::shiftIndent(level + 1),
                            bitsetFlag, pending, encapsulation);
        }
    }
    branches += line(level, "}");
    std::string text = line(level, "if (in_lenbuf < " + dec(length + 4) + ") {return false;}");
    text += headerLines(level, branches);
    if (scratch) {
        text += line(level, "uint64_t uint64_t_obj = 0;");
    }
    return text + branches;
}

std::string BuildePack::unpackTopicFixedFirst(Structure* topic,
                                              VEXA_PACK::EnEncapsulation encapsulation,
                                              unsigned level) {
    std::vector<AnyType*> leading;
    for (const MemberAgregate& member : topic->m_members) {
        AnyType* type = topic->getAnyTypeByString(member.m_typeName);
        if (!type->isFixedLength()) {
            break;
        }
        leading.push_back(type);
    }
    std::string text;
    for (AnyType* type : leading) {
        if (readsBitSetInline(type)) {
            text += line(level, "uint64_t uint64_t_obj = 0;");
            break;
        }
    }
    std::uint64_t offset = 0;
    std::uint64_t pending = 0;
    bool bitsetFlag = true;
    for (std::size_t i = 0; i < leading.size(); ++i) {
        text += Code_UnPack(leading[i], "m_" + topic->m_members[i].m_name, offset,
                            Indent::shiftIndent(level), bitsetFlag, pending, encapsulation);
    }
    return text;
}

std::string BuildePack::Code_UnPack(AnyType* type, const std::string& expr, std::uint64_t& offset,
                                    std::string indent, bool& bitsetFlag, std::uint64_t& pending,
                                    VEXA_PACK::EnEncapsulation encapsulation) {
    const bool swapped = encapsulation != VEXA_PACK::CDR_LE;
    auto at = [&indent](unsigned deeper, const std::string& text) {
        return indent + Indent::shiftIndent(deeper) + text + "\n";
    };
    // Moves the cursor onto the next item of the given alignment; returns the padding.
    std::string text;
    auto advance = [&](std::uint64_t alignment) {
        const std::uint64_t remainder = alignment > 1 ? offset % alignment : 0;
        const std::uint64_t pad = remainder == 0 ? 0 : alignment - remainder;
        if (pad + pending != 0) {
            text += at(0, "ptrSrc += " + dec(pad + pending) + ";");
        }
        return pad;
    };

    AnyType* base = resolved(type);
    const TypeKind kind = base->m_Kind;
    if (kind == STRUCTURE_TYPE) {
        auto* structure = static_cast<Structure*>(base);
        for (const MemberAgregate& member : structure->m_members) {
            text += Code_UnPack(structure->getAnyTypeByString(member.m_typeName),
                                expr + ".m_" + member.m_name, offset, indent, bitsetFlag, pending,
                                encapsulation);
        }
        return text;
    }
    if (kind == BITSET_TYPE) {
        if (bitsetFlag) {
            bitsetFlag = false;
        } else {
            text += at(0, "uint64_t_obj = 0;");
        }
        const std::uint64_t n = base->m_size;
        const std::uint64_t pad = advance(n);
        text += at(0, "memcpy(&uint64_t_obj,ptrSrc," + dec(n) + ");");
        if (swapped && n != 1) {
            text += at(0, "VEXA_PACK::changeENDIAN(&uint64_t_obj," + dec(n) + ");");
        }
        text += at(0, expr + " = uint64_t_obj; ");
        offset += pad + n;
        pending = n;
        return text;
    }
    if (kind == CHAR_32_TYPE) {
        const std::uint64_t pad = advance(4);
        text += "#ifdef WIN32\n";
        text +=
            at(0, std::string("memcpy(&") + expr + (swapped ? ",ptrSrc+2,2); " : ",ptrSrc,2); "));
        text += "#else\n";
        text += at(0, "memcpy(&" + expr + ",ptrSrc,4); ");
        text += "#endif\n";
        if (swapped) {
            text += at(0, "VEXA_PACK::changeENDIAN(" + expr + ");");
        }
        offset += pad + 4;
        pending = 4;
        return text;
    }
    if (kind == BOOLEAN_TYPE) {
        const std::uint64_t pad = advance(1);
        // Through a byte: any value but 0 is true, and no other byte reaches the bool.
        text += at(0, expr + " = (*ptrSrc != 0);");
        offset += pad + 1;
        pending = 1;
        return text;
    }
    if (isPrimitive(kind) || kind == ENUMERATION_TYPE) {
        const std::uint64_t n = base->m_size;
        const std::uint64_t pad = advance(n);
        text += at(0, "memcpy(&" + expr + ",ptrSrc," + dec(n) + "); ");
        if (swapped && n != 1) {
            text += at(0, "VEXA_PACK::changeENDIAN(" + expr + ");");
        }
        offset += pad + n;
        pending = n;
        return text;
    }
    if (kind != ARRAY_TYPE) {
        return text;  // maps, sequences, strings and unions never stand in a fixed part
    }
    auto* array = static_cast<Array*>(base);
    AnyType* element = resolved(array->m_elementType);
    const TypeKind elementKind = element->m_Kind;
    const bool scalar = (isPrimitive(elementKind) && elementKind != CHAR_32_TYPE) ||
                        elementKind == ENUMERATION_TYPE;
    if (scalar) {
        const std::uint64_t e = element->m_size;
        const std::uint64_t count = array->m_elementCount;
        const std::uint64_t pad = advance(e);
        const bool boolean = elementKind == BOOLEAN_TYPE;
        text += at(0, "{");
        text += at(1, "uint8_t* src = reinterpret_cast<uint8_t*>(" + expr + ".data());");
        if ((!swapped || e == 1) && !boolean) {
            text += at(1, "memcpy(src,ptrSrc," + dec(count * e) + ");");
            text += at(1, "ptrSrc += " + dec((count - 1) * e) + ";");
        } else if (boolean) {
            // Several bytes at a time: a loop with a test per byte costs more than the copy.
            text += at(1, "VEXA_PACK::loadBooleans(src,ptrSrc," + dec(count) + ");");
            text += at(1, "ptrSrc += " + dec(count - 1) + ";");
        } else {
            text += at(1, "for (unsigned i=0; i<" + dec(count) + "; i++) {");
            text += at(2, "memcpy(src + i*" + dec(e) + ",ptrSrc," + dec(e) + ");");
            text += at(2, "VEXA_PACK::changeENDIAN(src + i*" + dec(e) + "," + dec(e) + ");");
            text += at(2, "if (i != " + dec(count - 1) + ") {");
            text += at(3, "ptrSrc = ptrSrc + " + dec(e) + ";");
            text += at(2, "}");
            text += at(1, "}");
        }
        text += at(0, "}");
        offset += pad + count * e;
        pending = e;
        return text;
    }
    const std::size_t d = array->m_dimensions.size();
    FixedBlock block;
    if (fixedRun(array->m_elementType, block) &&
        lenPackedFixed(array, offset) ==
            alignUp(offset, block.alignment) + block.span * array->m_elementCount) {
        // Structures of fixed blocks: element after element at a constant stride.
        const std::uint64_t pad = advance(block.alignment);
        text += at(0, "{");
        text += at(1, "const uint8_t* p = ptrSrc;");
        text += at(1, "for (auto& i0 : " + expr + ") {");
        for (std::size_t k = 1; k < d; ++k) {
            text += at(static_cast<unsigned>(k + 1),
                       "for (auto& i" + dec(k) + " : i" + dec(k - 1) + ") {");
        }
        const unsigned inner = static_cast<unsigned>(d + 1);
        text += unpackItems(block, "i" + dec(d - 1), "p",
                            static_cast<unsigned>(indent.size() / 2) + inner, swapped);
        text += at(inner, "p += " + dec(block.span) + ";");
        for (std::size_t k = d; k >= 1; --k) {
            text += at(static_cast<unsigned>(k), "}");
        }
        text += at(0, "}");
        const std::uint64_t total = block.span * array->m_elementCount;
        offset += pad + total;
        pending = total;
        return text;
    }
    // Elements that are no primitive or enumeration: each through its helper, which aligns it
    // itself; the layout placed them the same way, element by element.
    buildUnPackF(array->m_elementType);
    const std::string callee =
        UNPACK_F_NAME(array->m_elementType) + (swapped ? std::string("CH") : std::string());
    text += at(0, "{");
    text += at(1, "unsigned pos_new = " + dec(offset) + ";");
    text += at(1, "for (auto& i0 : " + expr + ") {");
    for (std::size_t k = 1; k < d; ++k) {
        text +=
            at(static_cast<unsigned>(k + 1), "for (auto& i" + dec(k) + " : i" + dec(k - 1) + ") {");
    }
    const unsigned inner = static_cast<unsigned>(d + 1);
    text +=
        at(inner, "pos_new = " + callee + "(i" + dec(d - 1) + ",from_buf,pos_new,in_lenbuf-4);");
    text += at(inner, "if (pos_new == 0) return false;");
    for (std::size_t k = d; k >= 1; --k) {
        text += at(static_cast<unsigned>(k), "}");
    }
    text += at(0, "}");
    const std::uint64_t end = lenPackedFixed(array, offset);
    if (pending != 0) {
        text += at(0, "ptrSrc += " + dec(pending) + ";");
    }
    pending = end - offset;
    offset = end;
    return text;
}

}  // namespace NLX
