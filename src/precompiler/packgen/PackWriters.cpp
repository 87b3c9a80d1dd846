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
    for (std::size_t i = 0; i < types.size(); ++i) {
        body += line(2, "pos = " + PACK_F_NAME(types[i]) + "(StructObj.m_" +
                            structure->m_members[i].m_name + ",to_buf,pos,lenbuf);");
        if (i + 1 < types.size()) {
            body += line(2, "if (pos == 0) return 0;");
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
    body += line(3, "pos = " + PACK_F_NAME(map->m_valueType) + "(j.second,to_buf,pos,lenbuf);");
    body += line(3, "if (pos == 0) return 0;");
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
    std::string body = line(2, "for (auto& i0 : ArrayObj) {");
    for (std::size_t k = 1; k < d; ++k) {
        body += line(static_cast<unsigned>(k + 2),
                     "for (auto& i" + dec(k) + " : i" + dec(k - 1) + ") {");
    }
    const unsigned inner = static_cast<unsigned>(d + 2);
    body += line(inner, "pos = " + PACK_F_NAME(array->m_elementType) + "(i" + dec(d - 1) +
                            ",to_buf,pos,lenbuf);");
    body += line(inner, "if (pos == 0) return 0;");
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
