// The packing side: the topic's pack() and the pack helpers of structures, maps, sequences and
// arrays. Packing writes the host's byte order only, behind the CDR_LE header.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Map.h"
#include "precompiler/frontend/Sequence.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/frontend/Union.h"
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

bool primitiveOrEnumeration(const AnyType* type) {
    return isPrimitive(type->m_Kind) || type->m_Kind == ENUMERATION_TYPE;
}

// The scalar a fixed member is copied as: itself, or an array's element; null for members
// that go through a helper (structures, bit sets, arrays of anything else).
AnyType* copiedScalar(AnyType* base) {
    if (primitiveOrEnumeration(base)) {
        return base;
    }
    if (base->m_Kind == ARRAY_TYPE) {
        AnyType* element = resolved(static_cast<Array*>(base)->m_elementType);
        return primitiveOrEnumeration(element) ? element : nullptr;
    }
    return nullptr;
}

std::uint64_t alignUp(std::uint64_t pos, std::uint64_t alignment) {
    return alignment <= 1 ? pos : (pos + alignment - 1) / alignment * alignment;
}

using Params = std::vector<std::pair<std::string, std::string>>;

Params packParams(const std::string& type, const char* object) {
    return {{"const " + type + "&", object},
            {"void*", "to_buf"},
            {"unsigned", "pos"},
            {"unsigned", "lenbuf"}};
}

}  // namespace

std::string BuildePack::blockStart(const FixedBlock& block, const std::string& size) {
    return line(2, "unsigned char* p = VEXA_PACK::packBlock<" + dec(block.alignment) +
                       ">(to_buf, pos, lenbuf, " + size + ");") +
           line(2, "if (p == nullptr) return 0;");
}

void BuildePack::buildPackF(AnyType* type) {
    switch (type->m_Kind) {
        case MAP_TYPE:
            buildPackF(static_cast<Map*>(type));
            break;
        case SEQUENCE_TYPE:
            buildPackF(static_cast<Sequence*>(type));
            break;
        case ARRAY_TYPE:
            buildPackF(static_cast<Array*>(type));
            break;
        case ALIAS_TYPE: {
            AnyType* base = type->getAnyTypePtrBase();
            if (base != nullptr) {
                buildPackF(base);
                type->m_packBuild = base->m_packBuild;
            }
            break;
        }
        case UNION_TYPE:
            buildPackF(static_cast<Union*>(type));
            break;
        case STRUCTURE_TYPE:
            buildPackF(static_cast<Structure*>(type));
            break;
        default:
            break;
    }
}

void BuildePack::buildPackF(Structure* structure) {
    if (!claim(PACK_FAMILY, structure)) {
        return;
    }
    std::vector<AnyType*> types;
    for (const MemberAgregate& member : structure->m_members) {
        types.push_back(structure->getAnyTypeByString(member.m_typeName));
        buildPackF(types.back());
    }
    std::string body;
    FixedBlock block;
    if (fixedBlock(structure, block)) {
        body += blockStart(block, "uint64_t(" + dec(block.span) + ")");
        body += packItems(block, "StructObj", "p", 0, 2);
    } else {
        for (std::size_t i = 0; i < types.size(); ++i) {
            body += line(2, "pos = " + PACK_F_NAME(types[i]) + "(StructObj.m_" +
                                structure->m_members[i].m_name + ",to_buf,pos,lenbuf);");
            if (i + 1 < types.size()) {
                body += line(2, "if (pos == 0) return 0;");
            }
        }
    }
    body += line(2, "return pos;");
    writeHelper("pack", packParams(structure->m_qualifiedName, "StructObj"), body);
    markWritten(PACK_FAMILY, structure, BUILD_DONE);
}

void BuildePack::buildPackF(Map* map) {
    if (!claim(PACK_FAMILY, map)) {
        return;
    }
    checkMapKey(map);
    // The key first: a key needing a helper of its own would otherwise be called undeclared.
    buildPackF(map->m_keyType);
    buildPackF(map->m_valueType);
    std::string body;
    body += line(2, "uint32_t size = (uint32_t)MapObj.size();");
    body += line(2, "pos = VEXA_PACK::packPrimitive(size, to_buf, pos, lenbuf);");
    body += line(2, "if (pos == 0) return pos;");
    body += line(2, "if (size == 0) return pos;");
    body += line(2, "for (auto &j : MapObj) {");
    body += line(3, "pos = " + PACK_F_NAME(map->m_keyType) + "(j.first,to_buf,pos,lenbuf);");
    body += line(3, "if (pos == 0) return 0;");
    FixedBlock block;
    if (blockValue(map->m_valueType, block)) {
        // A value of fixed layout stored in place, with no call per entry.
        body += line(3, "unsigned char* p = VEXA_PACK::packBlock<" + dec(block.alignment) +
                            ">(to_buf, pos, lenbuf, uint64_t(" + dec(block.span) + "));");
        body += line(3, "if (p == nullptr) return 0;");
        body += packItems(block, "j.second", "p", 0, 3);
    } else {
        body += line(3, "pos = " + PACK_F_NAME(map->m_valueType) + "(j.second,to_buf,pos,lenbuf);");
        body += line(3, "if (pos == 0) return 0;");
    }
    body += line(2, "};");
    body += line(2, "return pos;");
    writeHelper("pack", packParams(map->m_qualifiedName, "MapObj"), body);
    markWritten(PACK_FAMILY, map, BUILD_DONE);
}

void BuildePack::buildPackF(Sequence* sequence) {
    if (!claim(PACK_FAMILY, sequence)) {
        return;
    }
    buildPackF(sequence->m_elementType);
    std::string body;
    body += line(2, "uint32_t size = (uint32_t)VectorObj.size();");
    body += line(2, "pos = VEXA_PACK::packPrimitive(size, to_buf, pos, lenbuf);");
    body += line(2, "if (pos == 0) return pos;");
    body += line(2, "if (size == 0) return pos;");
    FixedBlock block;
    if (fixedRun(sequence->m_elementType, block)) {
        body += blockStart(block, "uint64_t(" + dec(block.span) + ") * size");
        body += line(2, "for (auto &j : VectorObj) {");
        body += packItems(block, "j", "p", 0, 3);
        body += line(3, "p += " + dec(block.span) + ";");
        body += line(2, "}");
        body += line(2, "return pos;");
        writeHelper("pack", packParams(sequence->m_qualifiedName, "VectorObj"), body);
        markWritten(PACK_FAMILY, sequence, BUILD_DONE);
        return;
    }
    body += line(2, "for (auto &j : VectorObj) {");
    body += line(3, "pos = " + PACK_F_NAME(sequence->m_elementType) + "(j,to_buf,pos,lenbuf);");
    body += line(3, "if (pos == 0) return 0;");
    body += line(2, "};");
    body += line(2, "return pos;");
    writeHelper("pack", packParams(sequence->m_qualifiedName, "VectorObj"), body);
    markWritten(PACK_FAMILY, sequence, BUILD_DONE);
}

void BuildePack::buildPackF(Array* array) {
    if (!claim(PACK_FAMILY, array)) {
        return;
    }
    buildPackF(array->m_elementType);
    const std::size_t d = array->m_dimensions.size();
    if (d == 1 && textType(resolved(array->m_elementType))) {
        // A row of strings in one run of the runtime's.
        writeHelper("pack", packParams(array->m_qualifiedName, "ArrayObj"),
                    line(2, "return VEXA_PACK::packTexts(ArrayObj,to_buf,pos,lenbuf);"));
        markWritten(PACK_FAMILY, array, BUILD_DONE);
        return;
    }
    FixedBlock block;
    const bool run = fixedRun(array->m_elementType, block);
    std::string body;
    if (run) {
        body += blockStart(block, "uint64_t(" + dec(block.span * array->m_elementCount) + ")");
    }
    body += line(2, "for (auto& i0 : ArrayObj) {");
    for (std::size_t k = 1; k < d; ++k) {
        body += line(static_cast<unsigned>(k + 2),
                     "for (auto& i" + dec(k) + " : i" + dec(k - 1) + ") {");
    }
    const unsigned inner = static_cast<unsigned>(d + 2);
    if (run) {
        body += packItems(block, "i" + dec(d - 1), "p", 0, inner);
        body += line(inner, "p += " + dec(block.span) + ";");
    } else {
        body += line(inner, "pos = " + PACK_F_NAME(array->m_elementType) + "(i" + dec(d - 1) +
                                ",to_buf,pos,lenbuf);");
        body += line(inner, "if (pos == 0) return 0;");
    }
    for (std::size_t r = 0; r < d; ++r) {
        body += line(static_cast<unsigned>(d + 1 - r), "}");
    }
    body += line(2, "return pos;");
    writeHelper("pack", packParams(array->m_qualifiedName, "ArrayObj"), body);
    markWritten(PACK_FAMILY, array, BUILD_DONE);
}

void BuildePack::packTopic(Structure* topic) {
    std::vector<AnyType*> types;
    for (const MemberAgregate& member : topic->m_members) {
        types.push_back(topic->getAnyTypeByString(member.m_typeName));
    }
    std::string head = line(
        1, "unsigned " + className(topic) + "::pack(void* to_buf, unsigned in_lenbuf) const {");
    std::string statements;
    std::string result;
    std::string lengthTest;
    if (topic->isFixedLength()) {
        const std::uint64_t length = lenPackedFixed(topic, 0);
        std::uint64_t offset = 0;
        for (std::size_t i = 0; i < types.size(); ++i) {
            const std::string member = "m_" + topic->m_members[i].m_name;
            AnyType* base = resolved(types[i]);
            AnyType* scalar = copiedScalar(base);
            FixedBlock block;
            if (scalar == nullptr && fixedBlockAt(types[i], offset, block)) {
                // A nested structure: its items at their offsets in the topic.
                if (block.start > offset) {
                    statements += line(2, "memset(ptrDist + " + dec(offset) + ", 0, " +
                                              dec(block.start - offset) + ");");
                }
                statements += packItems(block, member, "ptrDist", block.start, 2);
                offset = block.start + block.span;
                continue;
            }
            if (scalar == nullptr && base->m_Kind == ARRAY_TYPE &&
                fixedRun(static_cast<Array*>(base)->m_elementType, block) &&
                lenPackedFixed(types[i], offset) ==
                    alignUp(offset, block.alignment) +
                        block.span * static_cast<Array*>(base)->m_elementCount) {
                // An array of structures: one element after another at a constant stride.
                auto* array = static_cast<Array*>(base);
                const std::uint64_t at = alignUp(offset, block.alignment);
                if (at > offset) {
                    statements += line(
                        2, "memset(ptrDist + " + dec(offset) + ", 0, " + dec(at - offset) + ");");
                }
                const std::size_t d = array->m_dimensions.size();
                statements += line(2, "{");
                statements += line(3, "uint8_t* p = ptrDist + " + dec(at) + ";");
                statements += line(3, "for (auto& i0 : " + member + ") {");
                for (std::size_t k = 1; k < d; ++k) {
                    statements += line(static_cast<unsigned>(k + 3),
                                       "for (auto& i" + dec(k) + " : i" + dec(k - 1) + ") {");
                }
                const unsigned inner = static_cast<unsigned>(d + 3);
                statements += packItems(block, "i" + dec(d - 1), "p", 0, inner);
                statements += line(inner, "p += " + dec(block.span) + ";");
                for (std::size_t r = 0; r < d; ++r) {
                    statements += line(static_cast<unsigned>(d + 2 - r), "}");
                }
                statements += line(2, "}");
                offset = at + block.span * array->m_elementCount;
                continue;
            }
            if (scalar == nullptr) {
                buildPackF(types[i]);
                statements += line(2, PACK_F_NAME(types[i]) + "(" + member + ", ptrDist," +
                                          dec(offset) + ", lenbuf);");
                offset = lenPackedFixed(types[i], offset);
                continue;
            }
            const std::uint64_t at =
                base->m_size == 1 ? offset : alignUp(offset, base->m_alignment);
            if (at > offset) {
                // The gap is written too: a reused buffer must not send what it held before.
                statements +=
                    line(2, "memset(ptrDist +" + dec(offset) + ",0," + dec(at - offset) + ");");
            }
            if (scalar->m_Kind == FLOAT_128_TYPE) {
                // The runtime writes the 10 value bytes and zeros for the padding the memory
                // holds, so equal values pack to equal bytes.
                statements += line(2, PACK_F_NAME(types[i]) + "(" + member + ", ptrDist," +
                                          dec(at) + ", lenbuf);");
            } else if (at == 0) {
                statements +=
                    line(2, "memcpy(ptrDist, &" + member + "," + dec(base->m_size) + ");");
            } else {
                statements += line(2, "memcpy(ptrDist +" + dec(at) + ",&" + member + "," +
                                          dec(base->m_size) + ");");
            }
            offset = at + base->m_size;
        }
        lengthTest = line(2, "if (in_lenbuf < " + dec(length + 4) + ") return 0;");
        result = line(2, "return " + dec(length + 4) + ";");
    } else {
        statements += line(2, "unsigned pos = 0;");
        for (std::size_t i = 0; i < types.size(); ++i) {
            buildPackF(types[i]);
            statements += line(2, "pos = " + PACK_F_NAME(types[i]) + "(m_" +
                                      topic->m_members[i].m_name + ", ptrDist, pos, lenbuf);");
            statements += line(2, "if (pos == 0) return 0;");
        }
        lengthTest = line(2, "if (in_lenbuf < 4) return 0;");
        result = line(2, "return pos+4;");
    }
    std::string text = head + lengthTest;
    if (usesName(statements, "lenbuf")) {
        text += line(2, "unsigned lenbuf = in_lenbuf - 4;");
    }
    text += line(2, "memcpy(to_buf,(void*)&VEXA_PACK::ex_CDR_HEADER_LE,4);");
    if (usesName(statements, "ptrDist")) {
        text += line(2, "uint8_t* ptrDist = (uint8_t*)to_buf+4;");
    }
    *m_source << text << statements << result << line(1, "}");
}

}  // namespace NLX
