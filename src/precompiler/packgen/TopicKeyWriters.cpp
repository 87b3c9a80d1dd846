// The key functions of keyed topics: packKey, keylenPacked, keyHash, the three keyEqual forms
// and unpackKey. A packed key is the header, then the key members in key order, each placed
// as pack places a member; the leading fixed-size keys (the key prefix) lie at offsets worked
// out here. Keys are primitives, enumerations, strings and arrays of primitives or
// enumerations (checkKeys refuses the rest), so every key is served by the runtime's forms.
//
// Key readers take network data: they test the length before they touch it, read Boolean
// bytes as "not 0", and report any short or malformed key as a failure.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Structure.h"
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

bool scalar(const AnyType* base) {
    return isPrimitive(base->m_Kind) || base->m_Kind == ENUMERATION_TYPE;
}

// The scalar a key is made of: itself, or an array's element.
AnyType* scalarOf(AnyType* base) {
    return base->m_Kind == ARRAY_TYPE ? resolved(static_cast<Array*>(base)->m_elementType) : base;
}

// Why the key functions cannot serve a key of this type; empty when they can.
std::string refusalReason(AnyType* type) {
    if (type == nullptr) {
        return "поле не найдено";
    }
    AnyType* base = finalType(type);
    if (base == nullptr) {
        return "цепочка псевдонимов не завершена";
    }
    switch (base->m_Kind) {
        case STRING_TYPE:
            return std::string();
        case ARRAY_TYPE:
            return scalar(scalarOf(base))
                       ? std::string()
                       : "массив с элементами непримитивного типа не поддерживается";
        case STRUCTURE_TYPE:
            return "структура не поддерживается";
        case BITSET_TYPE:
            return "набор битов не поддерживается";
        case UNION_TYPE:
            return "объединение не поддерживается";
        case MAP_TYPE:
            return "отображение не поддерживается";
        case SEQUENCE_TYPE:
            return "последовательность не поддерживается";
        default:
            return scalar(base) ? std::string() : "тип не поддерживается";
    }
}

// Where one key lies in a packed key; size 0 for keys after the first variable-size key.
struct KeySlot {
    AnyType* type = nullptr;  // aliases resolved
    std::string member;       // m_a.m_b
    std::uint64_t start = 0;
    std::uint64_t size = 0;
};

// Host-order bytes of the key are its packed bytes, so a packed key can be compared and read
// with memcmp and memcpy: no Char32 (4 bytes on the wire whatever wchar_t is), no Float128
// (its 6 padding bytes), no Boolean (a packed byte other than 0 and 1 is true).
bool directCopy(const KeySlot& key) {
    if (key.size == 0) {
        return false;
    }
    const TypeKind kind = scalarOf(key.type)->m_Kind;
    return kind != CHAR_32_TYPE && kind != FLOAT_128_TYPE && kind != BOOLEAN_TYPE;
}

bool booleanKey(const KeySlot& key) {
    return key.type->m_Kind == BOOLEAN_TYPE;
}

// The runtime serves every admissible key: its array forms take arrays of enumerations behind
// any chain of aliases, for which the model asks a helper of its own.
std::string packCallee(const KeySlot& key) {
    return scalar(key.type) ? "VEXA_PACK::packPrimitive" : "VEXA_PACK::pack";
}

std::string unpackCallee(const KeySlot& key) {
    return scalar(key.type) ? "VEXA_PACK::unpackPrimitive" : "VEXA_PACK::unpack";
}

std::string plus(std::uint64_t offset) {
    return offset == 0 ? std::string() : "+" + dec(offset);
}

}  // namespace

void BuildePack::checkKeys(Structure* topic) {
    for (std::size_t i = 0; i < topic->m_keyPaths.size(); ++i) {
        AnyType* type = i < topic->m_keyTypes.size() ? topic->m_keyTypes[i] : nullptr;
        const std::string reason = refusalReason(type);
        if (!reason.empty()) {
            refuse(__func__, __LINE__,
                   "Ключ " + topic->m_keyPaths[i] + " топика " + topic->m_qualifiedName + ": " +
                       reason);
        }
    }
}

namespace {

// The keys of the topic with their places in the packed key; prefixEnd is where the key
// prefix ends. Refuses, as checkKeys does, a key the writers cannot serve.
std::vector<KeySlot> keySlots(BuildePack& pack, Structure* topic, std::uint64_t& prefixEnd) {
    pack.checkKeys(topic);
    std::vector<KeySlot> keys;
    prefixEnd = 0;
    bool prefix = true;
    for (std::size_t i = 0; i < topic->m_keyPaths.size(); ++i) {
        KeySlot key;
        key.type = resolved(topic->m_keyTypes[i]);
        key.member = BuildePack::replaceLiteral(topic->m_keyPaths[i]);
        if (prefix && key.type->isFixedLength()) {
            const std::uint64_t end = pack.lenPackedFixed(key.type, prefixEnd);
            key.size = key.type->m_size;
            key.start = end - key.size;
            prefixEnd = end;
        } else {
            prefix = false;
        }
        keys.push_back(key);
    }
    return keys;
}

}  // namespace

std::string BuildePack::COMPARE_F_NAME(AnyType* type, const std::string& member,
                                       const std::string& buffer, const std::string& position,
                                       const std::string& length,
                                       VEXA_PACK::EnEncapsulation encapsulation) {
    const std::string suffix = m_suffixes[encapsulation];
    const std::string where = "(const void*)" + buffer + "," + position + "," + length + ")";
    AnyType* base = resolved(type);
    if (base->m_Kind == BOOLEAN_TYPE) {
        // Through a byte: any value but 0 is true.
        return "{ uint8_t b = 0; " + position + " = VEXA_PACK::unpackPrimitive" + suffix + "(b," +
               buffer + "," + position + "," + length + "); if (" + position +
               " == 0 || (b != 0) != " + member + ") return false; }";
    }
    if (base->m_Kind == ARRAY_TYPE && scalar(scalarOf(base))) {
        auto* array = static_cast<Array*>(base);
        return "if (!VEXA_PACK::compareArr" + suffix + "<" + cppSpelling(scalarOf(base)) + "," +
               dec(array->m_elementCount) + ">((const void*)" + member + ".data()," + where +
               ") return false;";
    }
    if (scalar(base)) {
        return "if (!VEXA_PACK::comparePrimitive" + suffix + "(" + member + "," + where +
               ") return false;";
    }
    if (base->m_Kind == STRING_TYPE) {
        return "if (!VEXA_PACK::compare" + suffix + "(" + member + "," + where + ") return false;";
    }
    refuse(__func__, __LINE__,
           "Ключ " + member + ": " + base->m_qualifiedName + " не может быть ключом");
}

void BuildePack::KeyHash_t(Structure* topic) {
    std::uint64_t prefixEnd = 0;
    const std::vector<KeySlot> keys = keySlots(*this, topic, prefixEnd);
    const std::string name = className(topic);
    bool fixed = true;
    bool plain = true;
    for (const KeySlot& key : keys) {
        fixed = fixed && key.size != 0;
        plain = plain && key.type->m_Kind != CHAR_32_TYPE && key.type->m_Kind != ARRAY_TYPE;
    }
    // Big-endian pack lines of every key into to_buf, from position 0.
    auto packLines = [&keys](const std::string& failed) {
        std::string text;
        for (const KeySlot& key : keys) {
            text +=
                line(2, "pos = " + packCallee(key) + "CH(" + key.member + ",to_buf,pos,lenbuf);");
            text += line(2, "if (pos == 0) " + failed);
        }
        return text;
    };
    // Copy lines of the plain fixed forms: each key big-endian at its packed offset.
    auto copyLines = [&keys](const std::string& target, std::uint64_t room) {
        std::string text;
        for (const KeySlot& key : keys) {
            const std::string at = target + plus(key.start);
            if (key.type->m_Kind == FLOAT_128_TYPE) {
                // The runtime writes the 10 value bytes and zeros, not the padding in memory.
                text += line(2, "VEXA_PACK::packPrimitiveCH(" + key.member + "," + target + "," +
                                    dec(key.start) + "," + dec(room) + ");");
                continue;
            }
            text += line(2, "memcpy(" + at + ",&" + key.member + "," + dec(key.size) + ");");
            if (key.size != 1) {
                text += line(2, "VEXA_PACK::changeENDIAN(" + at + "," + dec(key.size) + ");");
            }
        }
        return text;
    };

    std::string text = line(1, "vexa::dds::KeyHash_t " + name + "::keyHash() const {");
    text += line(2, "vexa::dds::KeyHash_t Hash;");
    if (!fixed) {
        // Keys of up to 256 packed bytes (most string keys) are hashed without allocating.
        text += line(2, "const unsigned lenbuf = keylenPacked() - 4;");
        text += line(2, "unsigned char stack_buf[256];");
        text += line(2,
                     "unsigned char* heap_buf = lenbuf > 256 ? new unsigned char[lenbuf] : "
                     "nullptr;");
        text += line(2, "unsigned char* to_buf = heap_buf != nullptr ? heap_buf : stack_buf;");
        text += line(2, "memset(to_buf,0,lenbuf);");
        text += line(2, "unsigned pos = 0;");
        text += packLines("{delete[] heap_buf; return Hash;}");
        text += line(2, "VEXA_PACK::MD5::calculate(to_buf, lenbuf, Hash.hash);");
        text += line(2, "delete[] heap_buf;");
    } else if (plain && prefixEnd <= 16) {
        text += copyLines("Hash.hash", 16);
    } else if (plain) {
        text += line(2, "unsigned char buf[" + dec(prefixEnd) + "];");
        text += line(2, "memset(buf,0," + dec(prefixEnd) + ");");
        text += copyLines("buf", prefixEnd);
        text += line(2, "VEXA_PACK::MD5::calculate(buf, " + dec(prefixEnd) + ", Hash.hash);");
    } else {
        text += line(2, "const unsigned lenbuf = " + dec(prefixEnd) + ";");
        text += line(2, "unsigned char to_buf[" + dec(prefixEnd) + "];");
        text += line(2, "memset(to_buf,0,lenbuf);");
        text += line(2, "unsigned pos = 0;");
        text += packLines("return vexa::dds::KeyHash_t();");
        text += line(2, "VEXA_PACK::MD5::calculate(to_buf, lenbuf, Hash.hash);");
    }
    text += line(2, "return Hash;");
    text += line(1, "}");
    *m_source << text;
}

void BuildePack::keyEqual(Structure* topic) {
    checkKeys(topic);
    std::string text = line(1, "bool " + className(topic) + "::" + "keyEqual(const " +
                                   topic->m_qualifiedName + "& object) const {");
    for (const std::string& path : topic->m_keyPaths) {
        const std::string member = replaceLiteral(path);
        text += line(2, "if (object." + member + "!=" + member + ") return false;");
    }
    text += line(2, "return true;");
    text += line(1, "}");
    *m_source << text;
}

std::string BuildePack::keyEqualBufKey(Structure* topic) {
    std::uint64_t prefixEnd = 0;
    const std::vector<KeySlot> keys = keySlots(*this, topic, prefixEnd);
    std::string text = line(3, "if (lenbuf < " + dec(prefixEnd + 4) + ") return false;");
    text += line(3, "VEXA_PACK::CDR_HEADER cdrHEADER;");
    text += line(3, "VEXA_PACK::unpack(cdrHEADER,from_buf,lenbuf);");
    text += line(3, "const uint8_t* ptrSrc = (const uint8_t*)from_buf+4;");
    text += line(3, "unsigned pos = 0;");
    text += line(3, "if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {");
    bool posCurrent = false;
    for (const KeySlot& key : keys) {
        if (directCopy(key)) {
            text += line(4, "if (memcmp(ptrSrc" + plus(key.start) + ", &" + key.member + ", " +
                                dec(key.size) + ") !=0) return false;");
            posCurrent = false;
            continue;
        }
        if (key.size != 0 && booleanKey(key)) {
            text += line(4, "if ((ptrSrc[" + dec(key.start) + "] != 0) != " + key.member +
                                ") return false;");
            posCurrent = false;
            continue;
        }
        if (!posCurrent) {
            text += line(4, "pos = " + dec(key.size != 0 ? key.start : prefixEnd) + ";");
        }
        text += line(4, COMPARE_F_NAME(key.type, key.member, "ptrSrc", "pos", "lenbuf-4",
                                       VEXA_PACK::CDR_LE));
        posCurrent = true;
    }
    text += line(3, "} else {");
    for (const KeySlot& key : keys) {
        text += line(4, COMPARE_F_NAME(key.type, key.member, "ptrSrc", "pos", "lenbuf-4",
                                       VEXA_PACK::CDR_BE));
    }
    text += line(3, "}");
    text += line(3, "return true;");
    return text;
}

void BuildePack::keyEqualBuf(Structure* topic) {
    const std::string keyOnly = keyEqualBufKey(topic);
    const std::string name = className(topic);
    std::string text =
        line(1, "bool " + name +
                    "::keyEqual(const void* from_buf, unsigned lenbuf, bool key_only) const {");
    text += line(2, "if (key_only) {");
    text += keyOnly;
    text += line(2, "}");
    text += line(2, name + " tmp;");
    text += line(2, "if (!tmp.unpack(from_buf,lenbuf)) return false;");
    text += line(2, "return keyEqual(tmp);");
    text += line(1, "}");
    *m_source << text;
}

void BuildePack::packKey(Structure* topic) {
    std::uint64_t prefixEnd = 0;
    const std::vector<KeySlot> keys = keySlots(*this, topic, prefixEnd);
    std::string text = line(
        1, "unsigned " + className(topic) + "::packKey(void* to_buf, unsigned lenbuf) const {");
    text += line(2, "if (lenbuf<" + dec(prefixEnd + 4) + ") return 0;");
    text += line(2, "memcpy(to_buf,(void*)&VEXA_PACK::ex_CDR_HEADER_LE,4);");
    text += line(2, "uint8_t* ptrDist = (uint8_t*)to_buf+4;");
    // Leading keys whose memory bytes are their packed bytes are copied, at their packed
    // offsets; the rest is packed by the runtime, which aligns each key itself.
    std::size_t i = 0;
    std::uint64_t end = 0;
    for (; i < keys.size(); ++i) {
        const KeySlot& key = keys[i];
        if (key.size == 0 || (!directCopy(key) && !booleanKey(key))) {
            break;
        }
        if (key.start > end) {
            // Zeros between keys: the packed key (and what it hashes to) depends on the keys
            // alone, never on what the buffer held.
            text += line(2, "memset(ptrDist" + plus(end) + ",0," + dec(key.start - end) + ");");
        }
        text += line(
            2, "memcpy(ptrDist" + plus(key.start) + ",&" + key.member + "," + dec(key.size) + ");");
        end = key.start + key.size;
    }
    if (i == keys.size()) {
        text += line(2, "return " + dec(end + 4) + ";");
    } else {
        text += line(2, "unsigned pos = " + dec(end) + ";");
        for (; i < keys.size(); ++i) {
            text += line(2, "pos = " + packCallee(keys[i]) + "(" + keys[i].member +
                                ",ptrDist,pos,lenbuf-4);");
            text += line(2, "if (pos == 0) return 0;");
        }
        text += line(2, "return pos+4;");
    }
    text += line(1, "}");
    *m_source << text;
}

void BuildePack::keylenPacked(Structure* topic) {
    std::uint64_t prefixEnd = 0;
    const std::vector<KeySlot> keys = keySlots(*this, topic, prefixEnd);
    std::string text = line(1, "unsigned " + className(topic) + "::" + "keylenPacked() const {");
    std::string steps;
    for (const KeySlot& key : keys) {
        if (key.size == 0) {
            lenPackedChanged(key.type, key.member, steps, 2);
        }
    }
    if (steps.empty()) {
        text += line(2, "return " + dec(prefixEnd + 4) + ";");
    } else {
        text += line(2, "unsigned pos = " + dec(prefixEnd) + ";");
        text += steps;
        text += line(2, "return pos + 4;");
    }
    text += line(1, "}");
    *m_source << text;
}

void BuildePack::unpackKey(Structure* topic) {
    std::uint64_t prefixEnd = 0;
    const std::vector<KeySlot> keys = keySlots(*this, topic, prefixEnd);
    std::string text = line(
        1, "bool " + className(topic) + "::unpackKey(const void* from_buf, unsigned lenbuf) {");
    text += line(2, "if (lenbuf < " + dec(prefixEnd + 4) + ") return false;");
    text += line(2, "VEXA_PACK::CDR_HEADER cdrHEADER;");
    text += line(2, "VEXA_PACK::unpack(cdrHEADER,from_buf,lenbuf);");
    text += line(2, "const uint8_t* ptrSrc = (const uint8_t*)from_buf+4;");
    text += line(2, "unsigned pos=0;");
    auto call = [](const KeySlot& key, const std::string& suffix) {
        return line(3, "pos = " + unpackCallee(key) + suffix + "(" + key.member +
                           ",ptrSrc,pos,lenbuf-4);") +
               line(3, "if (pos == 0) return false;");
    };
    text += line(2, "if (cdrHEADER.Encapsulation == VEXA_PACK::EnEncapsulation::CDR_LE) {");
    bool posCurrent = false;
    for (const KeySlot& key : keys) {
        if (directCopy(key)) {
            text += line(3, "memcpy(&" + key.member + ", ptrSrc" + plus(key.start) + "," +
                                dec(key.size) + ");");
            posCurrent = false;
            continue;
        }
        if (key.size != 0 && booleanKey(key)) {
            text += line(3, key.member + " = (ptrSrc[" + dec(key.start) + "] != 0);");
            posCurrent = false;
            continue;
        }
        if (!posCurrent) {
            text += line(3, "pos = " + dec(key.size != 0 ? key.start : prefixEnd) + ";");
        }
        text += call(key, "");
        posCurrent = true;
    }
    text += line(2, "} else {");
    for (const KeySlot& key : keys) {
        text += call(key, "CH");
    }
    text += line(2, "}");
    text += line(2, "return true;");
    text += line(1, "}");
    *m_source << text;
}

void BuildePack::keyEqualBufBuf(Structure* topic) {
    const std::string name = className(topic);
    std::string text = line(1, "bool " + name +
                                   "::keyEqual(const void* key_packed, unsigned lenkey, const "
                                   "void* buf, unsigned lenbuf, bool key_only) {");
    text += line(2, name + " tmp1;");
    text += line(2, "if (!tmp1.unpackKey(key_packed,lenkey)) return false;");
    text += line(2, "return tmp1.keyEqual(buf,lenbuf,key_only);");
    text += line(1, "}");
    *m_source << text;
}

}  // namespace NLX
