// The unpack helpers unpack and unpackCH of structures, maps, sequences and arrays: they read
// one value from packed data of the host's byte order (unpackCH: big-endian) and return the
// position after it, 0 on short or malformed data.
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

namespace {

AnyType* resolved(AnyType* type) {
    AnyType* base = finalType(type);
    return base != nullptr ? base : type;
}

using Params = std::vector<std::pair<std::string, std::string>>;

Params unpackParams(const std::string& type, const char* object) {
    return {{type + "&", object},
            {"const void*", "from_buf"},
            {"unsigned", "pos"},
            {"unsigned", "lenbuf"}};
}

// The count of a map or sequence, read in the data's byte order.
std::string countLines(const std::string& suffix) {
    return line(2, "uint32_t size = 0;") +
           line(2, "pos = VEXA_PACK::unpackPrimitive" + suffix + "(size, from_buf, pos, lenbuf);") +
           line(2, "if (pos == 0) return pos;");
}

}  // namespace

std::string BuildePack::unpackBlockStart(const FixedBlock& block, const std::string& size,
                                         const std::string& failure) {
    return line(2, "const unsigned char* p = VEXA_PACK::unpackBlock<" + dec(block.alignment) +
                       ">(from_buf, pos, lenbuf, " + size + ");") +
           line(2, "if (p == nullptr) return " + failure + ";");
}

void BuildePack::buildUnPackF(AnyType* type) {
    switch (type->m_Kind) {
        case MAP_TYPE:
            buildNextF(type);
            buildUnPackF(static_cast<Map*>(type));
            break;
        case SEQUENCE_TYPE:
            buildNextF(type);
            buildUnPackF(static_cast<Sequence*>(type));
            break;
        case ARRAY_TYPE:
            buildNextF(type);
            buildUnPackF(static_cast<Array*>(type));
            break;
        case UNION_TYPE:
            buildNextF(type);
            buildUnPackF(static_cast<Union*>(type));
            break;
        case STRUCTURE_TYPE:
            buildNextF(type);
            buildUnPackF(static_cast<Structure*>(type));
            break;
        case ALIAS_TYPE: {
            AnyType* base = type->getAnyTypePtrBase();
            if (base != nullptr) {
                buildNextF(base);
                buildUnPackF(base);
                type->m_unPackBuild = base->m_unPackBuild;
            }
            break;
        }
        default:
            break;
    }
}

void BuildePack::buildUnPackF(Structure* structure) {
    if (!claim(UNPACK_FAMILY, structure)) {
        return;
    }
    std::vector<AnyType*> types;
    for (const MemberAgregate& member : structure->m_members) {
        types.push_back(structure->getAnyTypeByString(member.m_typeName));
        buildUnPackF(types.back());
    }
    FixedBlock block;
    const bool fixed = fixedBlock(structure, block);
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        std::string body;
        if (fixed) {
            body += unpackBlockStart(block, "uint64_t(" + dec(block.span) + ")", "0");
            body += unpackItems(block, "StructObj", "p", 2, encapsulation != VEXA_PACK::CDR_LE);
            body += line(2, "return pos;");
            writeHelper("unpack" + suffix, unpackParams(structure->m_qualifiedName, "StructObj"),
                        body);
            continue;
        }
        for (std::size_t i = 0; i < types.size(); ++i) {
            body += line(2, "pos = " + UNPACK_F_NAME(types[i]) + suffix + "(StructObj.m_" +
                                structure->m_members[i].m_name + ",from_buf,pos,lenbuf);");
            if (i + 1 < types.size()) {
                body += line(2, "if (pos == 0) return 0;");
            }
        }
        body += line(2, "return pos;");
        writeHelper("unpack" + suffix, unpackParams(structure->m_qualifiedName, "StructObj"), body);
    }
    markWritten(UNPACK_FAMILY, structure, BUILD_DONE);
}

void BuildePack::buildUnPackF(Map* map) {
    if (!claim(UNPACK_FAMILY, map)) {
        return;
    }
    checkMapKey(map);
    buildUnPackF(map->m_keyType);
    buildUnPackF(map->m_valueType);
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        // Entries are read over the earlier ones while the keys agree, as when a sample of
        // the same instance comes again: nothing is allocated and the tree is not touched.
        // The packed key is compared where it lies with the entry's. From the first key that
        // differs the rest is dropped and the keys, which arrive in order, go in at the end.
        // A repeated key keeps the last value. Declared through the container: its key and
        // value types are spelled right from whichever module's section this helper stands
        // in. An empty map is common and costs no more than the count.
        std::string body = countLines(suffix);
        body += line(2, "if (size == 0) {");
        body += line(3, "MapObj.clear();");
        body += line(3, "return pos;");
        body += line(2, "}");
        body += line(2, "auto at = MapObj.begin();");
        body += line(2, "for (unsigned j=0; j<size; j++) {");
        body += line(3, "const unsigned same = at != MapObj.end() ? VEXA_PACK::matchKey" + suffix +
                            "(at->first,from_buf,pos,lenbuf) : 0;");
        body += line(3, "if (same != 0) {");
        FixedBlock block;
        const bool inPlace = blockValue(map->m_valueType, block);
        const bool swapped = encapsulation != VEXA_PACK::CDR_LE;
        // A value of fixed layout is read in place, with no call per entry.
        auto readValue = [&](const std::string& object, const std::string& from, unsigned level) {
            if (!inPlace) {
                return line(level, "pos = " + UNPACK_F_NAME(map->m_valueType) + suffix + "(" +
                                       object + ",from_buf," + from + ",lenbuf);");
            }
            std::string text;
            if (from != "pos") {
                text += line(level, "pos = " + from + ";");
            }
            text += line(level, "const unsigned char* p = VEXA_PACK::unpackBlock<" +
                                    dec(block.alignment) + ">(from_buf, pos, lenbuf, uint64_t(" +
                                    dec(block.span) + "));");
            text += line(level, "if (p == nullptr) {");
            text += line(level + 1, "pos = 0;");
            text += line(level, "} else {");
            text += unpackItems(block, object, "p", level + 1, swapped);
            text += line(level, "}");
            return text;
        };
        body += readValue("at->second", "same", 4);
        body += line(4, "++at;");
        body += line(3, "} else {");
        body += line(4, "std::decay<decltype(MapObj)>::type::key_type key{};");
        body += line(
            4, "pos = " + UNPACK_F_NAME(map->m_keyType) + suffix + "(key,from_buf,pos,lenbuf);");
        body += line(4, "if (pos != 0) {");
        body += line(5, "at = MapObj.erase(at, MapObj.end());");
        body += line(5, "std::decay<decltype(MapObj)>::type::mapped_type value{};");
        body += readValue("value", "pos", 5);
        body += line(5,
                     "if (pos != 0) MapObj.insert_or_assign(MapObj.end(), std::move(key), "
                     "std::move(value));");
        body += line(5, "at = MapObj.end();");
        body += line(4, "}");
        body += line(3, "}");
        body += line(3, "if (pos == 0) {");
        body += line(4, "MapObj.clear();");
        body += line(4, "return 0;");
        body += line(3, "}");
        body += line(2, "};");
        body += line(2, "if (at != MapObj.end()) MapObj.erase(at, MapObj.end());");
        body += line(2, "return pos;");
        writeHelper("unpack" + suffix, unpackParams(map->m_qualifiedName, "MapObj"), body);
    }
    markWritten(UNPACK_FAMILY, map, BUILD_DONE);
}

void BuildePack::buildUnPackF(Sequence* sequence) {
    if (!claim(UNPACK_FAMILY, sequence)) {
        return;
    }
    AnyType* element = resolved(sequence->m_elementType);
    buildUnPackF(element);
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        // Elements are read over the earlier ones, which keep what they own (a string's
        // room, a sequence's storage); only elements past them are added.
        std::string body = countLines(suffix);
        FixedBlock block;
        if (fixedRun(element, block)) {
            // The count is checked against the bytes left before the sequence grows.
            body += line(2, "if (size == 0) {");
            body += line(3, "VectorObj.clear();");
            body += line(3, "return pos;");
            body += line(2, "}");
            body +=
                line(2, "const unsigned char* p = VEXA_PACK::unpackBlock<" + dec(block.alignment) +
                            ">(from_buf, pos, lenbuf, uint64_t(" + dec(block.span) + ") * size);");
            body += line(2, "if (p == nullptr) {");
            body += line(3, "VectorObj.clear();");
            body += line(3, "return 0;");
            body += line(2, "}");
            body += line(2, "VectorObj.resize(size);");
            body += line(2, "for (auto &j : VectorObj) {");
            body += unpackItems(block, "j", "p", 3, encapsulation != VEXA_PACK::CDR_LE);
            body += line(3, "p += " + dec(block.span) + ";");
            body += line(2, "}");
            body += line(2, "return pos;");
            writeHelper("unpack" + suffix, unpackParams(sequence->m_qualifiedName, "VectorObj"),
                        body);
            continue;
        }
        if (canPackEmpty(element)) {
            // Elements of no bytes: without this test a count of 2^32 - 1 would grow the
            // sequence to that many elements out of four bytes of data.
            body += line(2, "if (size > lenbuf - pos) return 0;");
        }
        body += line(2, "std::decay<decltype(VectorObj)>::type::value_type value{};");
        body += line(2, "for (unsigned j=0; j<size; j++) {");
        body += line(3, "if (j < VectorObj.size()) {");
        body += line(
            4, "pos = " + UNPACK_F_NAME(element) + suffix + "(VectorObj[j],from_buf,pos,lenbuf);");
        body += line(3, "} else {");
        body +=
            line(4, "pos = " + UNPACK_F_NAME(element) + suffix + "(value,from_buf,pos,lenbuf);");
        body += line(4, "if (pos != 0) VectorObj.push_back(value);");
        body += line(3, "}");
        body += line(3, "if (pos == 0) {");
        body += line(4, "VectorObj.clear();");
        body += line(4, "return 0;");
        body += line(3, "}");
        body += line(2, "};");
        body += line(2, "VectorObj.resize(size);");
        body += line(2, "return pos;");
        writeHelper("unpack" + suffix, unpackParams(sequence->m_qualifiedName, "VectorObj"), body);
    }
    markWritten(UNPACK_FAMILY, sequence, BUILD_DONE);
}

void BuildePack::buildUnPackF(Array* array) {
    if (!claim(UNPACK_FAMILY, array)) {
        return;
    }
    buildUnPackF(array->m_elementType);
    const std::size_t d = array->m_dimensions.size();
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        if (d == 1 && textType(resolved(array->m_elementType))) {
            // A row of strings in one run of the runtime's.
            writeHelper("unpack" + suffix, unpackParams(array->m_qualifiedName, "ArrayObj"),
                        line(2, "return VEXA_PACK::unpackTexts" + suffix +
                                    "(ArrayObj,from_buf,pos,lenbuf);"));
            continue;
        }
        // The loops walk the rows by reference; the innermost reference is the element, read
        // in place.
        FixedBlock block;
        const bool run = fixedRun(array->m_elementType, block);
        std::string body;
        if (run) {
            body += unpackBlockStart(
                block, "uint64_t(" + dec(block.span * array->m_elementCount) + ")", "0");
        }
        body += line(2, "for (auto& i0 : ArrayObj) {");
        for (std::size_t k = 1; k < d; ++k) {
            body += line(static_cast<unsigned>(k + 2),
                         "for (auto& i" + dec(k) + " : i" + dec(k - 1) + ") {");
        }
        const unsigned inner = static_cast<unsigned>(d + 2);
        if (run) {
            body += unpackItems(block, "i" + dec(d - 1), "p", inner,
                                encapsulation != VEXA_PACK::CDR_LE);
            body += line(inner, "p += " + dec(block.span) + ";");
        } else {
            body += line(inner, "pos = " + UNPACK_F_NAME(array->m_elementType) + suffix + "(i" +
                                    dec(d - 1) + ",from_buf,pos,lenbuf);");
            body += line(inner, "if (pos == 0) return 0;");
        }
        for (std::size_t r = 0; r < d; ++r) {
            body += line(static_cast<unsigned>(d + 1 - r), "}");
        }
        body += line(2, "return pos;");
        writeHelper("unpack" + suffix, unpackParams(array->m_qualifiedName, "ArrayObj"), body);
    }
    markWritten(UNPACK_FAMILY, array, BUILD_DONE);
}

}  // namespace NLX
