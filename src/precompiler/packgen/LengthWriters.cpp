// The packed length of variable-size data: lenPacked() of a variable-size topic, the lenPacked
// helpers of structures, maps, sequences and arrays, and getKeyPos, which walks the topic the
// same way up to its last key. Every length is exactly what pack writes: an empty sequence
// ends after its count word, whatever its elements' alignment.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Map.h"
#include "precompiler/frontend/Sequence.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/frontend/Union.h"
#include "precompiler/packgen/GeneratedLines.h"
#include "precompiler/typegen/FinalType.h"

#include "common/nlx/Logger.h"

namespace NLX {

using packgen::dec;
using packgen::line;
using packgen::usesName;

namespace {

AnyType* resolved(AnyType* type) {
    AnyType* base = finalType(type);
    return base != nullptr ? base : type;
}

// Primitives, enumerations and bit sets: one value of their size at their alignment.
bool simple(const AnyType* base) {
    return isPrimitive(base->m_Kind) || base->m_Kind == ENUMERATION_TYPE ||
           base->m_Kind == BITSET_TYPE;
}

bool simpleArray(AnyType* base) {
    return base->m_Kind == ARRAY_TYPE && simple(resolved(static_cast<Array*>(base)->m_elementType));
}

// Sequences the runtime measures or the call text measures inline.
bool inlineSequence(AnyType* base) {
    if (base->m_Kind != SEQUENCE_TYPE) {
        return false;
    }
    AnyType* element = resolved(static_cast<Sequence*>(base)->m_elementType);
    return simple(element) || element->m_Kind == STRING_TYPE;
}

using Params = std::vector<std::pair<std::string, std::string>>;

Params lengthParams(const std::string& type, const char* object) {
    return {{"const " + type + "&", object}, {"unsigned", "pos"}};
}

std::string keyPair(std::size_t key, const std::string& first, const std::string& second) {
    return "key_pos[" + dec(key) + "].first = " + first + "; key_pos[" + dec(key) +
           "].second = " + second + ";";
}

}  // namespace

std::string BuildePack::lenPacked_F_NAME2(AnyType* type, const std::string& object,
                                          const std::string& position, bool& isSimple) {
    AnyType* base = resolved(type);
    isSimple = true;
    if (simple(base)) {
        return "VEXA_PACK::lenPackedPrim(" + position + "," + dec(base->m_size) + ");";
    }
    if (base->m_Kind == SEQUENCE_TYPE) {
        AnyType* element = resolved(static_cast<Sequence*>(base)->m_elementType);
        if (simple(element)) {
            // The runtime aligns the first element even when there is none; pack does not.
            isSimple = false;
            return "(" + object + ".size() ? VEXA_PACK::lenPackedVct(" + position + "," +
                   dec(element->m_size) + ",(unsigned)" + object +
                   ".size()) : VEXA_PACK::lenPackedPrim(" + position + ",4));";
        }
    }
    if (simpleArray(base)) {
        AnyType* element = resolved(static_cast<Array*>(base)->m_elementType);
        return "VEXA_PACK::lenPacked(" + position + "," + dec(element->m_alignment) + "," +
               dec(base->m_size) + ");";
    }
    isSimple = false;
    if (base->m_Kind == STRING_TYPE || inlineSequence(base)) {
        return "VEXA_PACK::lenPacked(" + object + ", " + position + ");";
    }
    return helperNamespace(LENPACKED_FAMILY, base) + "::lenPacked(" + object + ", " + position +
           ");";
}

std::string BuildePack::lenPacked_F_NAME2(AnyType* type, const std::string& object,
                                          const std::string& position) {
    bool isSimple = false;
    return lenPacked_F_NAME2(type, object, position, isSimple);
}

void BuildePack::lenPackedChanged(AnyType* type, const std::string& object, std::string& out,
                                  unsigned level) {
    AnyType* base = resolved(type);
    if (simple(base)) {
        out += line(level, base->m_size == 1
                               ? std::string("pos += 1;")
                               : "pos = VEXA_PACK::lenPackedPrim(pos," + dec(base->m_size) + ");");
        return;
    }
    if (simpleArray(base)) {
        auto* array = static_cast<Array*>(base);
        const std::uint64_t element = resolved(array->m_elementType)->m_size;
        out += line(level, "pos = VEXA_PACK::lenPackedPrim(pos," + dec(element) + ");");
        if (array->m_elementCount > 1) {
            out += line(level, "pos +=" + dec(element * (array->m_elementCount - 1)) + ";");
        }
        return;
    }
    out += line(level, "pos = " + lenPacked_F_NAME2(type, object, "pos"));
}

void BuildePack::build_lenPackedF(AnyType* type) {
    AnyType* base = resolved(type);
    switch (base->m_Kind) {
        case MAP_TYPE:
            build_lenPackedF(static_cast<Map*>(base));
            break;
        case SEQUENCE_TYPE:
            build_lenPackedF(static_cast<Sequence*>(base));
            break;
        case ARRAY_TYPE:
            build_lenPackedF(static_cast<Array*>(base));
            break;
        case UNION_TYPE:
            build_lenPackedF(static_cast<Union*>(base));
            break;
        case STRUCTURE_TYPE:
            build_lenPackedF(static_cast<Structure*>(base));
            break;
        default:
            break;
    }
}

void BuildePack::build_lenPackedF(Structure* structure) {
    if (!claim(LENPACKED_FAMILY, structure)) {
        return;
    }
    std::vector<AnyType*> types;
    for (const MemberAgregate& member : structure->m_members) {
        types.push_back(structure->getAnyTypeByString(member.m_typeName));
        build_lenPackedF(types.back());
    }
    std::string body;
    for (std::size_t i = 0; i < types.size(); ++i) {
        lenPackedChanged(types[i], "StructObj.m_" + structure->m_members[i].m_name, body, 2);
    }
    body += line(2, "return pos;");
    writeHelper("lenPacked", lengthParams(structure->m_qualifiedName, "StructObj"), body);
    markWritten(LENPACKED_FAMILY, structure, BUILD_DONE);
}

void BuildePack::build_lenPackedF(Map* map) {
    if (!claim(LENPACKED_FAMILY, map)) {
        return;
    }
    // The key first: a key needing a helper of its own would otherwise be called undeclared.
    build_lenPackedF(map->m_keyType);
    build_lenPackedF(map->m_valueType);
    std::string entry;
    lenPackedChanged(map->m_keyType, "member.first", entry, 3);
    lenPackedChanged(map->m_valueType, "member.second", entry, 3);
    std::string body = line(2, "pos = VEXA_PACK::lenPackedPrim(pos,4);");
    body += line(2, "for (const auto& member : MapObj) {");
    if (!usesName(entry, "member")) {
        body += line(3, "(void)member;");
    }
    body += entry;
    body += line(2, "}");
    body += line(2, "return pos;");
    writeHelper("lenPacked", lengthParams(cppSpelling(map), "MapObj"), body);
    markWritten(LENPACKED_FAMILY, map, BUILD_DONE);
}

void BuildePack::build_lenPackedF(Sequence* sequence) {
    if (!claim(LENPACKED_FAMILY, sequence)) {
        return;
    }
    AnyType* elementType = sequence->m_elementType;
    build_lenPackedF(elementType);
    AnyType* element = resolved(elementType);
    std::string body = line(2, "pos = VEXA_PACK::lenPackedPrim(pos,4);");
    if (simple(element)) {
        // Written for applications; generated code measures these sequences inline.
        const std::uint64_t size = element->m_size;
        body += line(2, "uint32_t size = (uint32_t)VectorObj.size();");
        if (size <= 4) {
            body += line(2, "pos += " + dec(size) + "*size;");  // after the count, 4-aligned
        } else {
            body += line(2, "if (size != 0) {");
            body += line(3, "pos = VEXA_PACK::lenPackedPrim(pos," + dec(size) + ");");
            body += line(3, "pos += " + dec(size) + "*(size - 1);");
            body += line(2, "}");
        }
    } else if (simpleArray(element)) {
        AnyType* scalar = resolved(static_cast<Array*>(element)->m_elementType);
        body += line(2, "if (VectorObj.size() != 0) {");
        body += line(3, "pos = VEXA_PACK::lenPacked(pos," + dec(scalar->m_alignment) +
                            ",(unsigned)(" + dec(element->m_size) + "*VectorObj.size()));");
        body += line(2, "}");
    } else {
        body += line(2, "for (const auto& j : VectorObj) {");
        std::string step;
        lenPackedChanged(elementType, "j", step, 3);
        if (!usesName(step, "j")) {
            body += line(3, "(void)j;");
        }
        body += step;
        body += line(2, "}");
    }
    body += line(2, "return pos;");
    writeHelper("lenPacked", lengthParams(cppSpelling(sequence), "VectorObj"), body);
    markWritten(LENPACKED_FAMILY, sequence, BUILD_DONE);
}

void BuildePack::build_lenPackedF(Array* array) {
    if (!claim(LENPACKED_FAMILY, array)) {
        return;
    }
    build_lenPackedF(array->m_elementType);
    const std::size_t d = array->m_dimensions.size();
    const std::string last = "i" + dec(d - 1);
    std::string step;
    lenPackedChanged(array->m_elementType, last, step, static_cast<unsigned>(d + 2));
    std::string body;
    if (usesName(step, last)) {
        // Element by element, each by reference: elements may be strings or containers.
        body += line(2, "for (const auto& i0 : ArrayObj) {");
        for (std::size_t k = 1; k < d; ++k) {
            body += line(static_cast<unsigned>(k + 2),
                         "for (const auto& i" + dec(k) + " : i" + dec(k - 1) + ") {");
        }
        body += step;
        for (std::size_t r = 0; r < d; ++r) {
            body += line(static_cast<unsigned>(d + 1 - r), "}");
        }
    } else {
        // Elements whose length depends on the position only (arrays of simple elements).
        step.clear();
        lenPackedChanged(array->m_elementType, last, step, 3);
        body += line(2, "for (size_t i0 = 0; i0 < " + dec(array->m_elementCount) + "; i0++) {");
        body += step;
        body += line(2, "}");
    }
    body += line(2, "return pos;");
    writeHelper("lenPacked", lengthParams(array->m_qualifiedName, "ArrayObj"), body);
    markWritten(LENPACKED_FAMILY, array, BUILD_DONE);
}

void BuildePack::genBody_getKeyPos(AnyType* type, const std::string& path,
                                   const std::vector<std::string>& keyPaths, unsigned& located,
                                   std::string& out, unsigned level, bool& shiftUsed) {
    auto keyAt = [&keyPaths, &path]() -> long {
        for (std::size_t i = 0; i < keyPaths.size(); ++i) {
            if (replaceLiteral(keyPaths[i]) == path) {
                return static_cast<long>(i);
            }
        }
        return -1;
    };
    AnyType* base = resolved(type);
    if (base->m_Kind == STRUCTURE_TYPE) {
        auto* structure = static_cast<Structure*>(base);
        for (const MemberAgregate& member : structure->m_members) {
            if (located >= keyPaths.size()) {
                return;
            }
            genBody_getKeyPos(structure->getAnyTypeByString(member.m_typeName),
                              path + ".m_" + member.m_name, keyPaths, located, out, level,
                              shiftUsed);
        }
        return;
    }
    const long key = keyAt();
    if (base->m_Kind == STRING_TYPE) {
        if (key >= 0) {
            // The pair spans the length word, which lies at pos rounded up to 4.
            shiftUsed = true;
            out += line(level, "pos_old = pos;");
            out += line(level, "shift = pos%4;");
            out += line(level, "if (shift != 0) shift = 4 - shift;");
        }
        out += line(level, "pos = VEXA_PACK::lenPacked(Obj." + path + ", pos);");
        if (key >= 0) {
            out += line(level, keyPair(static_cast<std::size_t>(key), "pos_old + shift",
                                       "pos - (pos_old + shift)"));
            ++located;
        }
        return;
    }
    if (base->m_Kind == MAP_TYPE || base->m_Kind == SEQUENCE_TYPE || base->m_Kind == UNION_TYPE ||
        !(simple(base) || simpleArray(base))) {
        // Never a key (the keys are checked before); only stepped over.
        out += line(level, "pos = " + lenPacked_F_NAME2(base, "Obj." + path, "pos"));
        return;
    }
    lenPackedChanged(base, "Obj." + path, out, level);
    if (key >= 0) {
        out += line(level, keyPair(static_cast<std::size_t>(key), "pos - " + dec(base->m_size),
                                   dec(base->m_size)));
        ++located;
    }
}

void BuildePack::lenPacked(Structure* topic) {
    const std::string name = className(topic);
    m_shiftDeclared = false;
    const std::vector<std::string>& keys = topic->m_keyPaths;
    const std::size_t k = keys.size();
    std::vector<std::uint32_t> keyOffsets(k, 0);
    std::vector<std::uint32_t> keyLengths(k, 0);
    const std::string keyPosHead =
        "std::vector<std::pair<unsigned,unsigned> > getKeyPos(const " + name + "& Obj)";

    std::string length = line(1, "unsigned " + name + "::" + "lenPacked() const {");
    std::string keyPos;   // getKeyPos body after its first lines
    std::string located;  // getKeyPos statements after "unsigned pos"
    unsigned count = 0;
    bool prefix = true;
    std::uint64_t prefixEnd = 0;
    for (const MemberAgregate& member : topic->m_members) {
        AnyType* type = topic->getAnyTypeByString(member.m_typeName);
        build_lenPackedF(type);
        const std::string object = "m_" + member.m_name;
        if (prefix && type->isFixedLength()) {
            prefixEnd = k != 0 ? lenPackedFixed(type, prefixEnd, keys, member.m_name, keyOffsets,
                                                keyLengths)
                               : lenPackedFixed(type, prefixEnd);
            continue;
        }
        if (prefix) {
            prefix = false;
            for (std::size_t i = 0; i < k; ++i) {
                if (keyLengths[i] != 0) {
                    keyPos += line(2, keyPair(i, dec(keyOffsets[i]), dec(keyLengths[i])));
                    ++count;
                }
            }
            length += line(2, "unsigned pos = " + dec(prefixEnd) + ";");
        }
        lenPackedChanged(type, object, length, 2);
        if (count < k) {
            genBody_getKeyPos(type, object, keys, count, located, 2, m_shiftDeclared);
        }
    }
    *m_source << length << line(2, "return pos+4;") << line(1, "}")
              << line(1, "unsigned " + name + "::" + "maxlenPacked() {")
              << line(2, "return (unsigned)0;") << line(1, "}");
    if (k == 0) {
        return;
    }
    log("Генерируем описание метода getKeyPos для топика ", name);
    *m_header << line(1, keyPosHead + ";") << "\n";
    log("Генерируем определение метода getKeyPos (начало) для топика ", name);
    std::string text = line(1, keyPosHead + " {");
    text += line(2, "std::pair<unsigned,unsigned> kp(0,0);");
    text += line(2, "std::vector<std::pair<unsigned,unsigned> > key_pos(" + dec(k) + ", kp);");
    text += keyPos;
    if (located.find("Obj.") == std::string::npos) {
        // Every key lies at a constant position: in the fixed prefix, or in a nested
        // structure's own fixed prefix.
        text += line(2, "(void)Obj;");
    }
    if (!located.empty()) {
        text += line(2, "unsigned pos = " + dec(prefixEnd) + ";");
        if (m_shiftDeclared) {
            text += line(2, "unsigned pos_old = 0;");
            text += line(2, "unsigned shift = 0;");
            m_shiftDeclared = false;
        }
        text += located;
    }
    text += line(2, "return key_pos;");
    text += line(1, "}");
    *m_source << text;
}

}  // namespace NLX
