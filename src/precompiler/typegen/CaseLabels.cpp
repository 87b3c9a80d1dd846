#include "precompiler/typegen/CaseLabels.h"

#include "precompiler/frontend/Enumeration.h"
#include "precompiler/frontend/Union.h"
#include "precompiler/typegen/FinalType.h"
#include "precompiler/typegen/GeneratorError.h"
#include "precompiler/typegen/IntegerLiteral.h"

#include <cstdint>
#include <limits>
#include <map>

namespace NLX {

namespace {

// A decimal text: an optional minus and at least one digit, leading zeros allowed.
struct Decimal {
    bool negative = false;
    std::uint64_t magnitude = 0;
};

bool readDecimal(const std::string& text, Decimal& out) {
    std::size_t i = 0;
    out = Decimal();
    if (i < text.size() && text[i] == '-') {
        out.negative = true;
        ++i;
    }
    if (i == text.size()) {
        return false;
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return false;
        }
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (out.magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
            return false;  // beyond every integer kind
        }
        out.magnitude = out.magnitude * 10 + digit;
    }
    return true;
}

// The value as the type model stores values of the kind (signed 64 bits, a UInt64 by its bits);
// false when the kind cannot hold it.
bool valueOfKind(const Decimal& number, TypeKind kind, std::int64_t& value) {
    const std::uint64_t int64Max =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (number.negative) {
        if (number.magnitude == 0) {
            value = 0;
        } else if (number.magnitude - 1 <= int64Max) {
            value = -static_cast<std::int64_t>(number.magnitude - 1) - 1;
        } else {
            return false;
        }
    } else if (number.magnitude <= int64Max) {
        value = static_cast<std::int64_t>(number.magnitude);
    } else if (kind == UINT_64_TYPE) {
        value = static_cast<std::int64_t>(number.magnitude);  // two's complement bits
        return true;
    } else {
        return false;
    }
    if (kind == UINT_64_TYPE) {
        return value >= 0;
    }
    return fitsIntegerKind(value, kind);
}

// The first code point of a UTF-8 text and its length; false for text that is no UTF-8.
bool readCodePoint(const std::string& text, std::uint32_t& point, std::size_t& length) {
    if (text.empty()) {
        return false;
    }
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    std::uint32_t minimum = 0;
    if (first < 0x80) {
        point = first;
        length = 1;
        return true;
    } else if ((first & 0xE0) == 0xC0) {
        point = first & 0x1F;
        length = 2;
        minimum = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        point = first & 0x0F;
        length = 3;
        minimum = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        point = first & 0x07;
        length = 4;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (text.size() < length) {
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return false;
        }
        point = (point << 6) | (byte(i) & 0x3F);
    }
    return point >= minimum && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
}

bool printable(std::uint32_t point) {
    return point >= 0x20 && point != 0x7F && (point < 0x80 || point > 0x9F);
}

std::string quoted(const std::string& character, const char* prefix) {
    const bool escape = character == "'" || character == "\\";
    return std::string(prefix) + "'" + (escape ? "\\" : "") + character + "'";
}

std::string unionHead(const Union& unionType, const std::string& module) {
    return "Модуль " + module + ", объединение " + unionType.m_qualifiedName;
}

// The text of a label for the discriminator behind its aliases; empty when it is no value of it.
std::string labelText(AnyType& discriminator, const std::string& label, const std::string& module) {
    const TypeKind kind = discriminator.m_Kind;
    switch (kind) {
        case BOOLEAN_TYPE:
            return label == "true" || label == "false" ? label : std::string();
        case BYTE_TYPE:
        case INT_16_TYPE:
        case UINT_16_TYPE:
        case INT_32_TYPE:
        case UINT_32_TYPE:
        case INT_64_TYPE:
        case UINT_64_TYPE: {
            Decimal number;
            std::int64_t value = 0;
            if (!readDecimal(label, number) || !valueOfKind(number, kind, value)) {
                return std::string();
            }
            return integerLiteral(value, kind);
        }
        case CHAR_8_TYPE: {
            const bool one = label.size() == 1 && label[0] >= 0x20 && label[0] < 0x7F;
            return one ? quoted(label, "") : std::string();
        }
        case CHAR_32_TYPE: {
            std::uint32_t point = 0;
            std::size_t length = 0;
            const bool one =
                readCodePoint(label, point, length) && length == label.size() && printable(point);
            return one ? quoted(label, "L") : std::string();
        }
        case ENUMERATION_TYPE: {
            const auto& enumeration = static_cast<const Enumeration&>(discriminator);
            const std::string spelling = discriminator.getRealType(module) + "::";
            for (const Enumerator& enumerator : enumeration.m_enumerators) {
                if (enumerator.m_name == label) {
                    return spelling + enumerator.m_name;
                }
            }
            Decimal number;
            std::int64_t value = 0;
            if (!readDecimal(label, number) ||
                !valueOfKind(number,
                             enumeration.m_TypeOfEnum == UINT_64_TYPE ? UINT_64_TYPE : INT_64_TYPE,
                             value)) {
                return std::string();
            }
            for (const Enumerator& enumerator : enumeration.m_enumerators) {
                if (enumerator.m_value == value) {
                    return spelling + enumerator.m_name;
                }
            }
            return std::string();
        }
        default:
            return std::string();
    }
}

AnyType* discriminatorOf(Union& unionType) {
    AnyType* declared = unionType.m_discriminatorType != nullptr
                            ? unionType.m_discriminatorType
                            : unionType.getAnyTypeByString(unionType.m_discriminatorTypeName);
    return finalType(declared);
}

}  // namespace

AnyType* discriminatorBase(Union& unionType) {
    AnyType* base = discriminatorOf(unionType);
    if (base == nullptr) {
        return nullptr;
    }
    const TypeKind kind = base->m_Kind;
    const bool admissible = (kind >= BOOLEAN_TYPE && kind <= UINT_64_TYPE) || kind == CHAR_8_TYPE ||
                            kind == CHAR_32_TYPE || kind == ENUMERATION_TYPE;
    return admissible ? base : nullptr;
}

std::string switchSubject(Union& unionType, const std::string& value) {
    const AnyType* base = discriminatorBase(unionType);
    if (base != nullptr && base->m_Kind == BOOLEAN_TYPE) {
        return "static_cast<int>(" + value + ")";
    }
    return value;
}

std::string caseLabel(Union& unionType, const std::string& label, const std::string& module,
                      Logger* logger) {
    AnyType* base = discriminatorBase(unionType);
    if (base == nullptr) {
        refuse(logger, "CaseLabels", __func__, __LINE__,
               unionHead(unionType, module) + ": тип дискриминанта " +
                   unionType.m_discriminatorTypeName +
                   " не Boolean, не Byte, не целый, не Char8, не Char32 и не перечисление");
    }
    const std::string text = labelText(*base, label, module);
    if (text.empty()) {
        refuse(logger, "CaseLabels", __func__, __LINE__,
               unionHead(unionType, module) + ": метка \"" + label +
                   "\" не является значением типа дискриминанта " +
                   unionType.m_discriminatorTypeName);
    }
    return text;
}

std::vector<std::string> caseLabels(Union& unionType, const std::string& module, Logger* logger) {
    std::vector<std::string> texts;
    std::map<std::string, std::string> labelOfText;
    for (const auto& entry : unionType.m_cases) {
        const std::string text = caseLabel(unionType, entry.first, module, logger);
        const auto earlier = labelOfText.emplace(text, entry.first);
        if (!earlier.second) {
            refuse(logger, "CaseLabels", __func__, __LINE__,
                   unionHead(unionType, module) + ": метки \"" + earlier.first->second + "\" и \"" +
                       entry.first + "\" обозначают одно значение " + text);
        }
        texts.push_back(text);
    }
    return texts;
}

}  // namespace NLX
