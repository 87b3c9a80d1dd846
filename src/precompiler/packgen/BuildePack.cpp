// The generator frame: the topic driver, the names of callees, the written-once records.
#include "precompiler/packgen/BuildePack.h"

#include "precompiler/frontend/Array.h"
#include "precompiler/frontend/Map.h"
#include "precompiler/frontend/Sequence.h"
#include "precompiler/frontend/Structure.h"
#include "precompiler/packgen/GeneratedLines.h"
#include "precompiler/typegen/FinalType.h"
#include "precompiler/typegen/GeneratorError.h"

#include "NlxUtils.h"
#include "common/nlx/Logger.h"

namespace NLX {

using packgen::dec;
using packgen::line;

namespace {

// Per family, the C++ type of every helper written in this run and the namespace of the
// section it was written in. Flags live in the type objects; these records outlive the
// per-module generators as the flags do, and say where to find a helper.
std::map<std::string, std::string>& writtenIn(BuildePack::Family family) {
    static std::map<std::string, std::string> records[BuildePack::FAMILIES];
    return records[family];
}

AnyType* resolved(AnyType* type) {
    AnyType* base = finalType(type);
    return base != nullptr ? base : type;
}

bool simpleKind(TypeKind kind) {
    return isPrimitive(kind) || kind == ENUMERATION_TYPE || kind == BITSET_TYPE;
}

}  // namespace

void BuildePack::startRun() {
    for (int family = 0; family < FAMILIES; ++family) {
        writtenIn(static_cast<Family>(family)).clear();
    }
    forgetLayouts();
}

void BuildePack::createTopic(Structure* structure) {
    if (!structure->m_isTopic) {
        return;
    }
    const std::string& name = structure->m_qualifiedName;
    // Before any text of the topic: a refused key leaves no half-written topic behind.
    checkKeys(structure);
    log("Генерируем описания и методы Топика типа ", name);
    log("Генерируем описание и метод упаковки Топика типа ", name + " в CDR буфер");
    packTopic(structure);
    log("Генерируем описание и метод распаковки Топика типа ", name + " из CDR буфера");
    unpackTopic(structure);
    const bool fixed = structure->isFixedLength();
    if (fixed) {
        log("Генерируем описание и метод получения длины CDR буфера топика фиксированной длинны ",
            name);
        lenPackedTopic(structure);
    }
    if (structure->m_keyPaths.empty()) {
        if (!fixed) {
            lenPacked(structure);
        }
        return;
    }
    log("Генерируем описание и метод получения хеша ключей топика ", name);
    KeyHash_t(structure);
    log("Генерируем описание и метод сравнения ключей топика ", name);
    keyEqual(structure);
    if (!fixed) {
        lenPacked(structure);
    }
    log("Генерируем описание и метод сравнения ключей топика в CDR буфере ", name);
    keyEqualBuf(structure);
    log("Генерируем описание и метод упаковки ключей топика ", name);
    packKey(structure);
    log("Генерируем описание и метод опредления размера упаковки ключей топика ", name);
    keylenPacked(structure);
    log("Генерируем описание и метод распаковки ключей топика ", name);
    unpackKey(structure);
    log("Генерируем описание и метод сравнения ключей топиков по их CDR буферам ", name);
    keyEqualBufBuf(structure);
}

// Strings go through the runtime's inline forms.
bool BuildePack::textType(AnyType* base) {
    return base->m_Kind == STRING_TYPE;
}

std::string BuildePack::PACK_F_NAME(AnyType* type) {
    AnyType* base = resolved(type);
    if (textType(base)) {
        return "VEXA_PACK::packText";
    }
    if (base->m_packBuild == BUILD_NOT_NEEDED) {
        const bool primitive = isPrimitive(base->m_Kind) || base->m_Kind == ENUMERATION_TYPE;
        return primitive ? "VEXA_PACK::packPrimitive" : "VEXA_PACK::pack";
    }
    return helperNamespace(PACK_FAMILY, base) + "::pack";
}

std::string BuildePack::UNPACK_F_NAME(AnyType* type) {
    AnyType* base = resolved(type);
    if (textType(base)) {
        return "VEXA_PACK::unpackText";
    }
    if (base->m_unPackBuild == BUILD_NOT_NEEDED) {
        bool primitive = isPrimitive(base->m_Kind) || base->m_Kind == ENUMERATION_TYPE;
        if (base->m_Kind == SEQUENCE_TYPE) {
            const TypeKind element = resolved(static_cast<Sequence*>(base)->m_elementType)->m_Kind;
            primitive = isPrimitive(element) || element == ENUMERATION_TYPE;
        }
        return primitive ? "VEXA_PACK::unpackPrimitive" : "VEXA_PACK::unpack";
    }
    return helperNamespace(UNPACK_FAMILY, base) + "::unpack";
}

std::string BuildePack::NEXT_F_NAME(AnyType* type, const std::string& object,
                                    const std::string& buffer, const std::string& position,
                                    const std::string& length, bool& runtimeCallee,
                                    VEXA_PACK::EnEncapsulation encapsulation) {
    const std::string suffix = encapsulation == VEXA_PACK::CDR_BE ? "CH" : "";
    const std::string withBuffer = "(" + buffer + "," + position + "," + length + ")";
    const std::string positionOnly = "(" + position + "," + length + ")";
    AnyType* base = resolved(type);
    const TypeKind kind = base->m_Kind;
    if (simpleKind(kind)) {
        runtimeCallee = true;
        return "VEXA_PACK::nextPrimitive<" + dec(base->m_alignment) + ">" + positionOnly;
    }
    if (kind == STRING_TYPE) {
        runtimeCallee = true;
        return "VEXA_PACK::nextSTR" + suffix + withBuffer;
    }
    if (kind == ARRAY_TYPE) {
        auto* array = static_cast<Array*>(base);
        AnyType* element = resolved(array->m_elementType);
        if (simpleKind(element->m_Kind)) {
            runtimeCallee = true;
            return "VEXA_PACK::nextARR<" + dec(element->m_alignment) + "," +
                   dec(array->m_elementCount) + ">" + positionOnly;
        }
    }
    if (kind == SEQUENCE_TYPE) {
        AnyType* element = resolved(static_cast<Sequence*>(base)->m_elementType);
        if (simpleKind(element->m_Kind)) {
            // The element's own size: the runtime aligns the first element to it.
            runtimeCallee = true;
            return "VEXA_PACK::nextPrimitiveVCT" + suffix + "<" + dec(element->m_size) + ">" +
                   withBuffer;
        }
        if (element->m_Kind == STRING_TYPE) {
            runtimeCallee = true;
            return "VEXA_PACK::nextVCTSTR" + suffix + withBuffer;
        }
    }
    return helperNamespace(NEXT_FAMILY, base) + "::next" + suffix + "(" + object + "," + buffer +
           "," + position + "," + length + ")";
}

std::string BuildePack::NEXT_F_NAME(AnyType* type, const std::string& object,
                                    const std::string& buffer, const std::string& position,
                                    const std::string& length,
                                    VEXA_PACK::EnEncapsulation encapsulation) {
    bool runtimeCallee = false;
    return NEXT_F_NAME(type, object, buffer, position, length, runtimeCallee, encapsulation);
}

std::string BuildePack::replaceLiteral(const std::string& path) {
    return NLX::replaceLiteral(path);
}

std::string BuildePack::cppSpelling(AnyType* type) {
    AnyType* base = resolved(type);
    switch (base->m_Kind) {
        case STRING_TYPE:
            return base->m_cppTypeText.compare(0, 12, "std::wstring") == 0 ? "std::wstring"
                                                                           : "std::string";
        case SEQUENCE_TYPE:
            return "std::vector<" + cppSpelling(static_cast<Sequence*>(base)->m_elementType) + ">";
        case MAP_TYPE: {
            auto* map = static_cast<Map*>(base);
            return "std::map<" + cppSpelling(map->m_keyType) + "," + cppSpelling(map->m_valueType) +
                   ">";
        }
        case ARRAY_TYPE: {
            auto* array = static_cast<Array*>(base);
            std::string text = cppSpelling(array->m_elementType);
            for (auto d = array->m_dimensions.rbegin(); d != array->m_dimensions.rend(); ++d) {
                text = "std::array<" + text + "," + dec(*d) + ">";
            }
            return text;
        }
        default:
            if (isPrimitive(base->m_Kind)) {
                return base->m_cppName;
            }
            return "::" + base->m_qualifiedName;
    }
}

std::string BuildePack::className(const AnyType* type) const {
    return type->m_moduleName == m_moduleName ? type->m_shortName : type->m_qualifiedName;
}

enBuildPack& BuildePack::flagOf(Family family, AnyType* type) {
    switch (family) {
        case PACK_FAMILY:
            return type->m_packBuild;
        case UNPACK_FAMILY:
            return type->m_unPackBuild;
        case NEXT_FAMILY:
            return type->m_nextBuild;
        default:
            return type->m_lenPackedBuild;
    }
}

bool BuildePack::claim(Family family, AnyType* type) {
    if (flagOf(family, type) < BUILD_DUE) {
        return false;
    }
    // A structurally equal type of another spelling, or an equal C++ type the model does not
    // count as the same type: either way one C++ type has one helper per namespace at most.
    if (writtenIn(family).count(cppSpelling(type)) != 0) {
        flagOf(family, type) = BUILD_DONE;
        return false;
    }
    return true;
}

void BuildePack::markWritten(Family family, AnyType* type, enBuildPack flag) {
    writtenIn(family).emplace(cppSpelling(type), m_moduleName);
    setFlag(family, type, flag);
}

void BuildePack::setFlag(Family family, AnyType* type, enBuildPack flag) {
    // Not the model's setters: the same-types set also pairs types of different C++ types
    // (two enumerations count as equal), and a helper serves only its own C++ type.
    const std::string spelling = cppSpelling(type);
    flagOf(family, type) = flag;
    for (AnyType* same : type->m_sameTypes) {
        if (cppSpelling(same) == spelling) {
            flagOf(family, same) = flag;
        }
    }
}

bool BuildePack::canPackEmpty(AnyType* type) {
    AnyType* base = resolved(type);
    if (base->m_Kind == ARRAY_TYPE) {
        return canPackEmpty(static_cast<Array*>(base)->m_elementType);
    }
    if (base->m_Kind != STRUCTURE_TYPE) {
        return false;
    }
    auto* structure = static_cast<Structure*>(base);
    for (const MemberAgregate& member : structure->m_members) {
        if (!canPackEmpty(structure->getAnyTypeByString(member.m_typeName))) {
            return false;
        }
    }
    return true;
}

std::string BuildePack::helperNamespace(Family family, AnyType* type) {
    AnyType* base = resolved(type);
    const auto found = writtenIn(family).find(cppSpelling(base));
    return found != writtenIn(family).end() ? found->second : base->m_moduleName;
}

std::string BuildePack::helperHead(const std::string& name,
                                   const std::vector<std::pair<std::string, std::string>>& params,
                                   const std::string& body, bool definition) {
    std::string head = "unsigned " + name + "(";
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (i != 0) {
            head += ", ";
        }
        head += params[i].first;
        if (!definition || packgen::usesName(body, params[i].second)) {
            head += " " + params[i].second;
        }
    }
    return head + ")";
}

void BuildePack::writeHelper(const std::string& name,
                             const std::vector<std::pair<std::string, std::string>>& params,
                             const std::string& body, const std::string& afterHead) {
    *m_header << line(1, helperHead(name, params, body, false) + ";");
    *m_source << line(1, helperHead(name, params, body, true) + afterHead) << body << line(1, "}");
}

void BuildePack::checkMapKey(Map* map) {
    const TypeKind kind = resolved(map->m_keyType)->m_Kind;
    const bool orderedAndSkipped = (kind >= INT_16_TYPE && kind <= UINT_64_TYPE) ||
                                   kind == CHAR_8_TYPE || kind == CHAR_32_TYPE ||
                                   kind == STRING_TYPE || kind == ENUMERATION_TYPE;
    if (!orderedAndSkipped) {
        refuse(__func__, __LINE__,
               "Модуль " + m_moduleName + ", отображение " + map->m_qualifiedName + ": тип ключа " +
                   map->m_keyTypeName +
                   " не может быть ключом отображения (допустимы Int16-UInt64, Char8, Char32, "
                   "строки и перечисления)");
    }
}

void BuildePack::refuse(const char* function, int line, const std::string& text) const {
    NLX::refuse(m_logger, "BuildePack", function, line, text);
}

void BuildePack::log(const std::string& text, const std::string& name) const {
    if (m_logger != nullptr) {
        m_logger->log(text, name, Logger::SEV_DEBUG_2);
    }
}

}  // namespace NLX
