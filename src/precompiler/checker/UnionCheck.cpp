// The union check: the discriminator can discriminate, every case label is one value of it and
// no value is given twice, every case member is sound and unique, and exactly one case is the
// default.

#include "precompiler/checker/DiagnosticClass.h"
#include "precompiler/checker/IntegerText.h"

#include <QSet>

#include <cstdint>

using namespace EditorInternalTypes;

namespace {

enum class Discriminator { NONE, BOOLEAN, CHARACTER, ENUMERATION, INTEGER };

struct IntegerRange {
    const char* name;
    std::uint64_t lowerMagnitude;  // the lower limit is minus this
    std::uint64_t upper;
};

const IntegerRange INTEGER_RANGES[] = {
    {"Byte", 0u, 255u},
    {"Int16", 32768u, 32767u},
    {"Int32", 2147483648u, 2147483647u},
    {"Int64", 9223372036854775808u, 9223372036854775807u},
    {"UInt16", 0u, 65535u},
    {"UInt32", 0u, 4294967295u},
    {"UInt64", 0u, 18446744073709551615u},
};

const IntegerRange* integerRange(const QString& type) {
    for (const IntegerRange& range : INTEGER_RANGES) {
        if (type == QLatin1String(range.name)) {
            return &range;
        }
    }
    return nullptr;
}

// The discriminator's class, with what its labels are judged against.
struct DiscriminatorClass {
    Discriminator kind = Discriminator::NONE;
    const IntegerRange* range = nullptr;
    const Enumeration* enumeration = nullptr;
};

DiscriminatorClass classify(const QString& type, const VEXA_Types& mainModel,
                            const VEXA_Types& allModules) {
    DiscriminatorClass result;
    if (type == QLatin1String("Boolean")) {
        result.kind = Discriminator::BOOLEAN;
    } else if (type == QLatin1String("Char8") || type == QLatin1String("Char32")) {
        result.kind = Discriminator::CHARACTER;
    } else if (mainModel.getNamesEnumTypes().contains(type)) {
        result.kind = Discriminator::ENUMERATION;
        result.enumeration = &mainModel.m_enumerations[mainModel.getNamesEnumTypes().indexOf(type)];
    } else if (allModules.getNamesEnumTypes().contains(type)) {
        result.kind = Discriminator::ENUMERATION;
        result.enumeration =
            &allModules.m_enumerations[allModules.getNamesEnumTypes().indexOf(type)];
    } else if ((result.range = integerRange(type)) != nullptr) {
        result.kind = Discriminator::INTEGER;
    }
    return result;
}

// The value a label of an enumeration discriminator stands for: an enumerator by its name or by
// its value text. Two labels naming enumerators of one value would give one case value twice.
QString enumeratorValue(const Enumeration& enumeration, const QString& label, bool* found) {
    const Enumerator* chosen = nullptr;
    for (const Enumerator& enumerator : enumeration.m_enumerators) {
        if (enumerator.m_name == label) {
            chosen = &enumerator;
            break;
        }
    }
    for (int i = 0; chosen == nullptr && i < enumeration.m_enumerators.size(); ++i) {
        if (enumeration.m_enumerators[i].m_value == label) {
            chosen = &enumeration.m_enumerators[i];
        }
    }
    *found = chosen != nullptr;
    if (chosen == nullptr) {
        return QString();
    }
    const IntegerText value(chosen->m_value);
    // A value that is no number (an included module's) stands only for its own enumerator.
    return value.valid() ? value.canonical() : QLatin1Char('#') + chosen->m_name;
}

}  // namespace

bool DiagnosticClass::checkUnionLabels(const Union& unionType) {
    const QString& name = unionType.m_nameUnion;
    const QString& type = unionType.m_typeDiscriminant;
    DiscriminatorClass discriminator = classify(type, *mainModel, *allModulesModel);
    if (discriminator.kind == Discriminator::NONE) {
        // An alias of the main model stands for what it names, one level deep.
        const int alias = aliasNames.indexOf(type);
        if (alias >= 0) {
            discriminator =
                classify(mainModel->m_aliases[alias].m_type, *mainModel, *allModulesModel);
        }
    }
    if (discriminator.kind == Discriminator::NONE) {
        record(KIND_UNION, name, 15, {type});
        return true;
    }

    QSet<QString> labels;
    // The first label of each case value, by the value's canonical text.
    QHash<QString, QString> labelOfValue;
    for (const UnionCase& unionCase : unionType.m_cases) {
        const QString& label = unionCase.first;
        const auto duplicate = [&]() {
            if (labels.contains(label)) {
                record(KIND_UNION, name, 11, {label});
                return true;
            }
            labels.insert(label);
            return false;
        };
        const auto sameValue = [&](const QString& value) {
            const auto earlier = labelOfValue.constFind(value);
            if (earlier != labelOfValue.constEnd()) {
                record(KIND_UNION, name, 40, {earlier.value(), label});
                return true;
            }
            labelOfValue.insert(value, label);
            return false;
        };
        switch (discriminator.kind) {
            case Discriminator::BOOLEAN:
                if (!isAcceptable(*booleanValidator, label)) {
                    record(KIND_UNION, name, 16, {type, label});
                    return true;
                }
                if (duplicate()) {
                    return true;
                }
                break;
            case Discriminator::INTEGER: {
                if (duplicate()) {
                    return true;
                }
                if (!isAcceptable(*integerValidator, label)) {
                    record(KIND_UNION, name, 17, {type, label});
                    return true;
                }
                const IntegerText value(label);
                if (value.below(discriminator.range->lowerMagnitude) ||
                    value.above(discriminator.range->upper)) {
                    record(KIND_UNION, name, 39, {type, label});
                    return true;
                }
                if (sameValue(value.canonical())) {
                    return true;
                }
                break;
            }
            case Discriminator::CHARACTER:
                if (duplicate()) {
                    return true;
                }
                if (!isAcceptable(*alphanumericValidator, label)) {
                    record(KIND_UNION, name, 17, {type, label});
                    return true;
                }
                break;
            case Discriminator::ENUMERATION: {
                bool found = false;
                const QString value = enumeratorValue(*discriminator.enumeration, label, &found);
                if (!found) {
                    record(KIND_UNION, name, 16, {type, label});
                    return true;
                }
                if (duplicate() || sameValue(value)) {
                    return true;
                }
                break;
            }
            case Discriminator::NONE:
                break;
        }
    }
    return false;
}

bool DiagnosticClass::checkUnionMembers(const Union& unionType) {
    const QString& name = unionType.m_nameUnion;
    QHash<QString, QString> typeOfMember;
    int defaults = 0;
    for (const UnionCase& unionCase : unionType.m_cases) {
        const QMemberAgregate& member = unionCase.second;
        // The member becomes a field and accessors of the union class: no scope in its name, not
        // the discriminator's accessor, and not the class's own name (its constructors).
        if (!isAcceptable(*qualifiedNameValidator, member.m_name) ||
            member.m_name.contains(QLatin1String("::")) || isReservedWord(member.m_name) ||
            member.m_name == QLatin1String("_d") || member.m_name == name) {
            record(KIND_UNION, name, 9, {member.m_name});
            return true;
        }
        if (isModelTypeName(member.m_name)) {
            record(KIND_UNION, name, 42, {member.m_name});
            return true;
        }
        if (!isMemberTypeKnown(member.m_type)) {
            record(KIND_UNION, name, 13, {member.m_type});
            return true;
        }
        const auto earlier = typeOfMember.constFind(member.m_name);
        if (earlier != typeOfMember.constEnd()) {
            // Each case declares its member in the generated class: once is all it can take.
            record(KIND_UNION, name, earlier.value() != member.m_type ? 35 : 41, {member.m_name});
            return true;
        }
        typeOfMember.insert(member.m_name, member.m_type);
        if (!isAcceptable(*booleanValidator, member.m_shared)) {
            record(KIND_UNION, name, 14, {member.m_name, member.m_shared});
            return true;
        }
        if (!isAcceptable(*booleanValidator, member.m_optional)) {
            record(KIND_UNION, name, 14, {member.m_name, member.m_optional});
            return true;
        }
        if (member.m_default == QLatin1String("true")) {
            ++defaults;
        }
    }
    if (defaults != 1) {
        record(KIND_UNION, name, 34);
        return true;
    }
    return false;
}

bool DiagnosticClass::CheckUnionElements() {
    typeNamesByKind = hashTypeAndListOfTypeNames();
    for (const Union& unionType : mainModel->m_unions) {
        if (checkUnionLabels(unionType) || checkUnionMembers(unionType)) {
            return true;
        }
    }
    return false;
}
