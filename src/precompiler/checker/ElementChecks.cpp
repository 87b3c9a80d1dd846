// The element checks of enumerations (names, values, count, range) and bit sets (names, shifts).

#include "precompiler/checker/DiagnosticClass.h"
#include "precompiler/checker/IntegerText.h"

#include <QSet>

#include <cstdint>

using namespace EditorInternalTypes;

namespace {

struct EnumerationBase {
    const char* name;
    std::uint64_t lowerMagnitude;  // the lower limit is minus this
    std::uint64_t upper;
    const char* lowerText;
    const char* upperText;
    std::uint64_t maxCount;
};

const EnumerationBase ENUMERATION_BASES[] = {
    {"Int16", 32768u, 32767u, "-32768", "32767", 65535u},
    {"UInt16", 0u, 65535u, "0", "65535", 65535u},
    {"Int32", 2147483648u, 2147483647u, "-2147483648", "2147483647", 4294967295u},
    {"UInt32", 0u, 4294967295u, "0", "4294967295", 4294967295u},
    {"Int64", 9223372036854775808u, 9223372036854775807u, "-9223372036854775808",
     "9223372036854775807", 0},
    {"UInt64", 0u, 18446744073709551615u, "0", "18446744073709551615", 0},
};

const EnumerationBase* baseOf(const QString& type) {
    for (const EnumerationBase& base : ENUMERATION_BASES) {
        if (type == QLatin1String(base.name)) {
            return &base;
        }
    }
    return nullptr;
}

// Bit-element names the generated bit-set class cannot take: its own members (all, MaskType),
// a constructor (the bit set's name), and the base's conversions its pack code calls, which an
// element's getter would hide and answer with one bit.
bool isBitSetMemberName(const QString& element, const QString& bitSet) {
    static const QSet<QString> MEMBERS = {QStringLiteral("all"), QStringLiteral("MaskType"),
                                          QStringLiteral("to_ulong"), QStringLiteral("to_ullong")};
    return element == bitSet || MEMBERS.contains(element);
}

}  // namespace

bool DiagnosticClass::CheckEnumElements() {
    for (const Enumeration& enumeration : mainModel->m_enumerations) {
        QSet<QString> names;
        QSet<QString> values;
        for (const Enumerator& enumerator : enumeration.m_enumerators) {
            if (!isAcceptable(*identifierValidator, enumerator.m_name) ||
                isReservedWord(enumerator.m_name)) {
                record(KIND_ENUMERATION, enumeration.m_name, 9, {enumerator.m_name});
                return true;
            }
            if (!isAcceptable(*integerValidator, enumerator.m_value)) {
                record(KIND_ENUMERATION, enumeration.m_name, 10, {enumerator.m_value});
                return true;
            }
            if (names.contains(enumerator.m_name)) {
                record(KIND_ENUMERATION, enumeration.m_name, 11, {enumerator.m_name});
                return true;
            }
            names.insert(enumerator.m_name);
            if (values.contains(enumerator.m_value)) {
                record(KIND_ENUMERATION, enumeration.m_name, 12, {enumerator.m_value});
                return true;
            }
            values.insert(enumerator.m_value);
        }

        // The parameter check has admitted only the six integer bases.
        const EnumerationBase* base = baseOf(enumeration.m_type);
        if (base == nullptr) {
            continue;
        }
        const auto count = static_cast<std::uint64_t>(enumeration.m_enumerators.size());
        if (base->maxCount != 0 && count > base->maxCount) {
            record(KIND_ENUMERATION, enumeration.m_name, 29,
                   {QString::number(count), QString::number(base->maxCount)});
            return true;
        }
        // Every base is range-checked, the 64-bit ones too: a value beyond them would be read
        // as 0 by the front end.
        bool below = false;
        bool above = false;
        for (const Enumerator& enumerator : enumeration.m_enumerators) {
            const IntegerText value(enumerator.m_value);
            below = below || value.below(base->lowerMagnitude);
            above = above || value.above(base->upper);
        }
        if (below) {
            record(KIND_ENUMERATION, enumeration.m_name, 30, {QLatin1String(base->lowerText)});
            return true;
        }
        if (above) {
            record(KIND_ENUMERATION, enumeration.m_name, 31, {QLatin1String(base->upperText)});
            return true;
        }
    }
    return false;
}

bool DiagnosticClass::CheckBitSetElements() {
    for (const BitSet& bitSet : mainModel->m_bitSets) {
        QSet<QString> names;
        QSet<QString> shifts;
        for (const BitElement& element : bitSet.m_bitElements) {
            // Each element becomes a setter and a getter of the generated class.
            if (!isAcceptable(*identifierValidator, element.m_name) ||
                isReservedWord(element.m_name) ||
                isBitSetMemberName(element.m_name, bitSet.m_name)) {
                record(KIND_BITSET, bitSet.m_name, 9, {element.m_name});
                return true;
            }
            if (names.contains(element.m_name)) {
                record(KIND_BITSET, bitSet.m_name, 11, {element.m_name});
                return true;
            }
            names.insert(element.m_name);
            if (shifts.contains(element.m_flush)) {
                record(KIND_BITSET, bitSet.m_name, 26, {element.m_name});
                return true;
            }
            shifts.insert(element.m_flush);
        }
    }
    return false;
}
