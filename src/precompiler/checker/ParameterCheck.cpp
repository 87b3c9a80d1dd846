// The parameter check: key flags, lengths, bounds, shifts, dimensions, extensibility and base
// types, and whether enumerations, unions and structures have elements at all.

#include "precompiler/checker/CheckerGroups.h"
#include "precompiler/checker/DiagnosticClass.h"
#include "precompiler/checker/IntegerText.h"

#include <cstdint>
#include <limits>

using namespace EditorInternalTypes;

namespace {

const QStringList ENUMERATION_BASES = {QStringLiteral("Int16"), QStringLiteral("UInt16"),
                                       QStringLiteral("Int32"), QStringLiteral("UInt32"),
                                       QStringLiteral("Int64"), QStringLiteral("UInt64")};

// A number as the front end reads it: a text that is no number reads as 0.
int numberOf(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : 0;
}

// Every dimension fits the 64-bit signed number the front end reads it into; a larger one
// would read as 0.
bool dimensionsReadable(const QString& bounds) {
    for (const QString& dimension : bounds.split(QLatin1Char(' '))) {
        if (IntegerText(dimension).above(std::numeric_limits<std::int64_t>::max())) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool DiagnosticClass::CheckMainParameters() {
    for (const Primitive& primitive : mainModel->m_primitives) {
        if (!isAcceptable(*booleanValidator, primitive.m_key)) {
            record(GROUP_PRIMITIVES, primitive.m_name, 5, {primitive.m_key});
            return true;
        }
    }
    for (const MapData& map : mainModel->m_maps) {
        if (!isAcceptable(*integerValidator, map.m_elementMaxLength)) {
            record(KIND_MAP, map.m_name, 3, {map.m_elementMaxLength});
            return true;
        }
    }
    for (const BitSet& bitSet : mainModel->m_bitSets) {
        const int bound = numberOf(bitSet.m_bound);
        if (bound < 1 || bound > 64) {
            record(KIND_BITSET, bitSet.m_name, 4, {bitSet.m_bound});
            return true;
        }
        for (const BitElement& element : bitSet.m_bitElements) {
            const int shift = numberOf(element.m_flush);
            if (shift < 0 || shift >= bound) {
                record(KIND_BITSET, bitSet.m_name, 25, {element.m_name});
                return true;
            }
        }
    }
    for (const Enumeration& enumeration : mainModel->m_enumerations) {
        if (!isAcceptable(*booleanValidator, enumeration.m_key)) {
            record(KIND_ENUMERATION, enumeration.m_name, 5, {enumeration.m_key});
            return true;
        }
        if (!isAcceptable(*extensibilityValidator, enumeration.m_extensibility)) {
            record(KIND_ENUMERATION, enumeration.m_name, 6, {enumeration.m_extensibility});
            return true;
        }
        if (enumeration.m_enumerators.isEmpty()) {
            record(KIND_ENUMERATION, enumeration.m_name, 7);
            return true;
        }
        if (!ENUMERATION_BASES.contains(enumeration.m_type)) {
            record(KIND_ENUMERATION, enumeration.m_name, 28, {enumeration.m_type});
            return true;
        }
    }
    for (const Sequence& sequence : mainModel->m_sequences) {
        if (!isAcceptable(*lengthValidator, sequence.m_memberMaxLength)) {
            record(KIND_SEQUENCE, sequence.m_name, 3, {sequence.m_memberMaxLength});
            return true;
        }
    }
    for (const String& string : mainModel->m_strings) {
        if (!isAcceptable(*integerValidator, string.m_maxLength)) {
            record(KIND_STRING, string.m_name, 3, {string.m_maxLength});
            return true;
        }
        if (!isAcceptable(*booleanValidator, string.m_key)) {
            record(KIND_STRING, string.m_name, 5, {string.m_key});
            return true;
        }
    }
    for (const Array& array : mainModel->m_arrays) {
        if (!isAcceptable(*dimensionsValidator, array.m_bounds) ||
            !dimensionsReadable(array.m_bounds)) {
            record(KIND_ARRAY, array.m_name, 32, {array.m_bounds});
            return true;
        }
        if (!isAcceptable(*booleanValidator, array.m_key)) {
            record(KIND_ARRAY, array.m_name, 5, {array.m_key});
            return true;
        }
    }
    for (const Union& unionType : mainModel->m_unions) {
        if (unionType.m_cases.isEmpty()) {
            record(KIND_UNION, unionType.m_nameUnion, 7);
            return true;
        }
    }
    for (const StructureQ& structure : mainModel->m_structures) {
        if (structure.m_members.isEmpty()) {
            record(KIND_STRUCTURE, structure.m_name, 7);
            return true;
        }
    }
    return false;
}
