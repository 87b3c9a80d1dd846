// The skip helpers next and nextCH: they step over a packed value without storing it and
// return the position after it, 0 when the data ends early. Nothing outside this family
// calls them; they are part of the generated interface.
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

Params nextParams(const std::string& type, const char* object) {
    return {{type + "&", object},
            {"const void*", "from_buf"},
            {"unsigned", "pos"},
            {"unsigned", "lenbuf"}};
}

// The count of a map or sequence, read in the data's byte order.
std::string countLines(const std::string& suffix) {
    return line(2, "uint32_t size = 0;") +
           line(2, "pos = VEXA_PACK::unpackPrimitive" + suffix + "(size, from_buf, pos, lenbuf);") +
           line(2, "if (pos == 0) return pos;") + line(2, "if (size == 0) return pos;");
}

}  // namespace

void BuildePack::buildNextF(AnyType* type) {
    if (flagOf(NEXT_FAMILY, type) <= BUILD_DONE) {
        return;
    }
    switch (type->m_Kind) {
        case MAP_TYPE:
            buildNextF(static_cast<Map*>(type));
            break;
        case SEQUENCE_TYPE:
            buildNextF(static_cast<Sequence*>(type));
            break;
        case ARRAY_TYPE:
            buildNextF(static_cast<Array*>(type));
            break;
        case UNION_TYPE:
            buildNextF(static_cast<Union*>(type));
            break;
        case STRUCTURE_TYPE:
            buildNextF(static_cast<Structure*>(type));
            break;
        case ALIAS_TYPE:
            if (type->getAnyTypePtrBase() != nullptr) {
                buildNextF(type->getAnyTypePtrBase());
            }
            break;
        default:
            break;
    }
    setFlag(NEXT_FAMILY, type, BUILD_NOT_NEEDED);
}

void BuildePack::buildNextF(Structure* structure) {
    if (!claim(NEXT_FAMILY, structure)) {
        return;
    }
    std::vector<AnyType*> types;
    for (const MemberAgregate& member : structure->m_members) {
        types.push_back(structure->getAnyTypeByString(member.m_typeName));
        buildNextF(types.back());
    }
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        std::string body;
        for (std::size_t i = 0; i < types.size(); ++i) {
            body +=
                line(2, "pos = " +
                            NEXT_F_NAME(types[i], "StructObj.m_" + structure->m_members[i].m_name,
                                        "from_buf", "pos", "lenbuf", encapsulation) +
                            ";");
            if (i + 1 < types.size()) {
                body += line(2, "if (pos == 0) return 0;");
            }
        }
        body += line(2, "return pos;");
        writeHelper("next" + m_suffixes[encapsulation],
                    nextParams(structure->m_qualifiedName, "StructObj"), body);
    }
    markWritten(NEXT_FAMILY, structure, BUILD_DONE);
}

void BuildePack::buildNextF(Map* map) {
    if (!claim(NEXT_FAMILY, map)) {
        return;
    }
    checkMapKey(map);
    buildNextF(map->m_keyType);
    buildNextF(map->m_valueType);
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        bool keyRuntime = false;
        bool valueRuntime = false;
        const std::string keyCall = NEXT_F_NAME(map->m_keyType, "key", "from_buf", "pos", "lenbuf",
                                                keyRuntime, encapsulation);
        const std::string valueCall = NEXT_F_NAME(map->m_valueType, "value", "from_buf", "pos",
                                                  "lenbuf", valueRuntime, encapsulation);
        // The entries of the data, not of the object passed in.
        std::string body = countLines(suffix);
        if (!keyRuntime) {
            body += line(2, "std::decay<decltype(MapObj)>::type::key_type key{};");
        }
        if (!valueRuntime) {
            body += line(2, "std::decay<decltype(MapObj)>::type::mapped_type value{};");
        }
        body += line(2, "for (uint32_t j = 0; j < size; j++) {");
        body += line(3, "pos = " + keyCall + ";");
        body += line(3, "if (pos == 0) return 0;");
        body += line(3, "pos = " + valueCall + ";");
        body += line(3, "if (pos == 0) return 0;");
        body += line(2, "};");
        body += line(2, "return pos;");
        writeHelper("next" + suffix, nextParams(map->m_qualifiedName, "MapObj"), body);
    }
    markWritten(NEXT_FAMILY, map, BUILD_NOT_NEEDED);
}

void BuildePack::buildNextF(Sequence* sequence) {
    if (!claim(NEXT_FAMILY, sequence)) {
        return;
    }
    AnyType* element = resolved(sequence->m_elementType);
    buildNextF(element);
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        const std::string suffix = m_suffixes[encapsulation];
        bool runtime = false;
        const std::string call =
            NEXT_F_NAME(element, "tmp", "from_buf", "pos", "lenbuf", runtime, encapsulation);
        std::string body = countLines(suffix);
        if (canPackEmpty(element)) {
            // Elements of no bytes: a count beyond the bytes left is no sender's data, and
            // looping over it would take a long time.
            body += line(2, "if (size > lenbuf - pos) return 0;");
        }
        if (!runtime) {
            body += line(2, "std::decay<decltype(VectorObj)>::type::value_type tmp{};");
        }
        body += line(2, "for (uint32_t j = 0; j < size; j++) {");
        body += line(3, "pos = " + call + ";");
        body += line(3, "if (pos == 0) return 0;");
        body += line(2, "};");
        body += line(2, "return pos;");
        writeHelper("next" + suffix, nextParams(sequence->m_qualifiedName, "VectorObj"), body);
    }
    markWritten(NEXT_FAMILY, sequence, BUILD_NOT_NEEDED);
}

void BuildePack::buildNextF(Array* array) {
    if (!claim(NEXT_FAMILY, array)) {
        return;
    }
    if (array->isFixedLength()) {
        lenPackedFixed(array, 0);  // refuses an array past 32-bit positions
    }
    buildNextF(array->m_elementType);
    AnyType* element = resolved(array->m_elementType);
    const std::size_t d = array->m_dimensions.size();
    for (VEXA_PACK::EnEncapsulation encapsulation : m_encapsulations) {
        std::string body;
        if (element->isLenghthAsSimple()) {
            const std::uint64_t size = element->m_size;
            body += line(2, "unsigned sizeOfArray = " + dec(size * array->m_elementCount) + ";");
            body += SHIFT(Indent::shiftIndent(2u), static_cast<unsigned>(size)) + "\n";
            // In 64 bits: a position near 2^32 must not wrap past the length test.
            body += line(2, "uint64_t end = (uint64_t)pos + shift + sizeOfArray;");
            body += line(2, "if (end > lenbuf) {return 0;}");
            body += line(2, "return (unsigned)end;");
        } else {
            bool runtime = false;
            const std::string call = NEXT_F_NAME(array->m_elementType, "i" + dec(d - 1), "from_buf",
                                                 "pos", "lenbuf", runtime, encapsulation);
            for (std::size_t k = 0; k < d; ++k) {
                const unsigned level = static_cast<unsigned>(k + 2);
                if (runtime) {
                    const std::string i = k == 0 ? "i" : "i" + dec(k);
                    body += line(level, "for (uint32_t " + i + " = 0; " + i + "<" +
                                            dec(array->m_dimensions[k]) + "; " + i + "++) {");
                } else {
                    body += line(level, "for (auto& i" + dec(k) + " : " +
                                            (k == 0 ? std::string("ArrayObj") : "i" + dec(k - 1)) +
                                            ") {");
                }
            }
            body += line(static_cast<unsigned>(d + 2), "pos = " + call + ";");
            body += line(static_cast<unsigned>(d + 2), "if (pos == 0) return 0;");
            for (std::size_t r = 0; r < d; ++r) {
                body += line(static_cast<unsigned>(d + 1 - r), "}");
            }
            body += line(2, "return pos;");
        }
        writeHelper("next" + m_suffixes[encapsulation],
                    nextParams(array->m_qualifiedName, "ArrayObj"), body);
    }
    markWritten(NEXT_FAMILY, array, BUILD_NOT_NEEDED);
}

}  // namespace NLX
