#include "precompiler/checker/DiagnosticClass.h"

#include "precompiler/checker/CheckerGroups.h"

#include "ZetException.h"

#include <QRegExp>
#include <QRegExpValidator>

#include <string>

using namespace EditorInternalTypes;

namespace {

// Message templates; the index is the error code. 1, 21, 23, 24 and 36 are raised by no check
// but keep their places.
const char* const ERROR_TEXTS[] = {
    /* 0 */ "%1 содержат тип с именем '%2', которое является недопустимым.",
    /* 1 */ "%1 содержат тип с именем '%2', который ссылается на недопустимый тип '%3'.",
    /* 2 */ "%1 содержат тип с именем '%2', который ссылается на несуществующий тип '%3'.",
    /* 3 */ "%1 содержат тип с именем '%2', который имеет элемент с неверной длиной '%3'.",
    /* 4 */ "%1 содержат тип с именем '%2', который имеет неверную границу '%3'.",
    /* 5 */ "%1 содержат тип с именем '%2', который имеет неверное значение ключа '%3'.",
    /* 6 */
    "%1 содержат тип с именем '%2', который имеет неверное значение признака расширяемости '%3'.",
    /* 7 */ "%1 содержат тип с именем '%2', у которого отсутствует список элементов.",
    /* 8 */ "%1 содержат тип с именем '%2', у которого есть дубликат в типе '%3'.",
    /* 9 */
    "%1 содержат тип с именем '%2', у которого есть элемент с недопустимым идентификатором '%3'.",
    /* 10 */
    "%1 содержат тип с именем '%2', у которого есть элемент с недопустимым значением '%3'.",
    /* 11 */
    "%1 содержат тип с именем '%2', у которого есть элементы с одинаковым идентификатором '%3'.",
    /* 12 */ "%1 содержат тип с именем '%2', у которого есть элементы с одинаковым значением '%3'.",
    /* 13 */ "%1 содержат тип с именем '%2', у которого есть элемент с несуществующим типом '%3'.",
    /* 14 */
    "%1 содержат тип с именем '%2', который имеет элемент '%3' с не верным признаком '%4'.",
    /* 15 */ "%1 содержат тип с именем '%2', который имеет признак, тип которого '%3' недопустим.",
    /* 16 */
    "%1 содержат тип с именем '%2', который в качестве альтернативы использует тип '%3', но "
    "используемая величина альтернативы '%4' не является ни именем элемента, ни его значением.",
    /* 17 */
    "%1 содержат тип с именем '%2', который в качестве альтернативы использует тип '%3', но "
    "используемая величина '%4' не может являться значением альтернативы.",
    /* 18 */ "%1 содержат тип с именем '%2', который не является структурой.",
    /* 19 */ "%1 содержат тип с именем '%2', у которого указан не правильный ключ '%3'.",
    /* 20 */
    "%1 содержат тип с именем '%2', у которого элемент с именем '%3', тип данного элемента не "
    "позволяет указать значение признака ключа равное 'true'.",
    /* 21 */
    "%1 содержат тип с именем '%2', который ссылается на тип '%3' с признаком ключа '%4', не "
    "позволяющим использовать данный тип как ключ.",
    /* 22 */
    "%1 содержат тип с именем '%2', базирующийся на структуре '%3', в которой ошибочно указан тип "
    "ключа '%4'. Данный тип не может быть ключом: а) такого типа нет в модели данных; б) у данного "
    "типа признак ключа указан не 'true'.",
    /* 23 */
    "%1 содержат тип с именем '%2', который не содержит ссылку на тип '%3' в ключевой "
    "последовательности.",
    /* 24 */
    "%1 содержат тип с именем '%2', который ссылается на тип '%3', который в свою очередь не "
    "содержит ссылки на дочерний тип '%4'.",
    /* 25 */
    "%1 содержат тип с именем '%2', который содержит элемент '%3' со сдвигом, превышающим "
    "максимально допустимое значение.",
    /* 26 */
    "%1 содержат тип с именем '%2', у которого есть элемент '%3' с дублированным значением "
    "смещения.",
    /* 27 */ "%1 с именем '%2' не может быть использовано.",
    /* 28 */ "%1 содержат тип с именем '%2', у которого элементы имеют ошибочный тип '%3'.",
    /* 29 */
    "%1 содержат тип с именем '%2', у которого число элементов '%3' превышает максимально "
    "допустимое для данного типа '%4'.",
    /* 30 */
    "%1 содержат тип с именем '%2', у которого элемент меньше минимально допустимого для данного "
    "типа '%3'.",
    /* 31 */
    "%1 содержат тип с именем '%2', у которого элемент больше максимально допустимого для данного "
    "типа '%3'.",
    /* 32 */ "%1 содержат тип с именем '%2', у которого не правильно задана размерность '%3'.",
    /* 33 */
    "%1 содержат тип с именем '%2', который имеет ссылку на самого себя в подчиненном типе '%3'.",
    /* 34 */
    "%1 содержат тип с именем '%2', который не содержит альтернативу, выбираемую по умолчанию, или "
    "таких альтернатив указано несколько.",
    /* 35 */
    "%1 содержат тип с именем '%2', у которого есть элементы с одинаковым идентификатором '%3', но "
    "имеющие разные типы.",
    /* 36 */
    "%1 содержат тип с именем '%2', у которого имя совпадает с именем элемента базовой структуры.",
    /* 37 */
    "%1 содержат тип с именем '%2', который содержит элемент с именем '%3', ссылающийся на тип "
    "'%4' с признаком ключа '%5', не позволяющим использовать данный тип как ключ.",
    /* 38 */
    "%1 содержат тип с именем '%2', у которого есть дубликат в типе '%3' с именем '%4', "
    "отличающимся только регистром букв.",
    /* 39 */
    "%1 содержат тип с именем '%2', который в качестве альтернативы использует тип '%3', но "
    "величина альтернативы '%4' выходит за пределы значений данного типа.",
    /* 40 */
    "%1 содержат тип с именем '%2', у которого величины альтернатив '%3' и '%4' задают одно и то "
    "же значение.",
    /* 41 */
    "%1 содержат тип с именем '%2', у которого элемент с именем '%3' указан в нескольких "
    "альтернативах.",
    /* 42 */
    "%1 содержат тип с именем '%2', у которого есть элемент '%3' с именем, совпадающим с именем "
    "типа данных модели.",
    /* 43 */
    "%1 содержат тип с именем '%2', у которого есть элемент '%3' с именем, совпадающим с именем "
    "метода темы.",
    /* 44 */
    "%1 содержат тип с именем '%2', который использует объявленный в модели простой тип '%3': "
    "код создается только для встроенных простых типов.",
};

struct BuiltInPrimitive {
    const char* name;
    const char* cppType;
    int kind;
    const char* definition;
};

const BuiltInPrimitive BUILT_IN_PRIMITIVES[] = {
    {"Boolean", "bool", 1,
     "Булевый тип, данные этого типа могут принимать только одно из двух значений: 1 или 0 (true "
     "или false соответственно)"},
    {"Byte", "uint8_t", 2, "Байт содержит 8 бит, не имеет числового значения."},
    {"Int16", "int16_t", 3,
     "Целое со знаком, этот тип описывает целое число, значение которого лежит в диапазоне от "
     "-32768 до +32767."},
    {"UInt16", "uint16_t", 4,
     "Целое без знака, этот тип описывает целое число, значение которого лежит в диапазоне от 0 до "
     "+65535."},
    {"Int32", "int32_t", 5,
     "Целое со знаком, этот тип описывает целое число, значение которого лежит в диапазоне от "
     "-2147483648 до +2147483647."},
    // "to" is as the texts have always read.
    {"UInt32", "uint32_t", 6,
     "Целое без знака, этот тип описывает целое число, значение которого лежит в диапазоне от 0 to "
     "+4294967295."},
    {"Int64", "int64_t", 7,
     "Целое со знаком, этот тип описывает целое число, значение которого лежит в диапазоне от - "
     "9223372036854775808 до +9223372036854775807."},
    {"UInt64", "uint64_t", 8,
     "Целое без знака, этот тип описывает целое число, значение которого лежит в диапазоне от 0 до "
     "+18446744073709551615."},
    {"Float32", "float", 9,
     "32-х разрядное число с плавающей запятой, описывает дробные числа одинарной точности."},
    {"Float64", "double", 10,
     "64-х разрядное число с плавающей запятой, описывает дробные числа двойной точности."},
    {"Float128", "long double", 11,
     "128-ми разрядное число с плавающей запятой, описывает дробные числа учетверенной точности."},
    {"Char8", "char", 12, "Данный тип описывает набор  символов согласно стандарту ISO-8859-1."},
    {"Char32", "wchar_t", 13,
     "Данный тип описывает универсальный набор символов (Universal Character Set (UCS))."},
};

// C++ words a generated name must not be, in seven groups tried in order.
const char* const RESERVED_WORDS[7][15] = {
    {"and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break", "case", "catch", "char",
     "class", "compl", "const"},
    {"const_cast", "continue", "default", "delete", "do", "double", "dynamic_cast", "else", "enum",
     "explicit", "export", "extern"},
    {"false", "float", "for", "friend", "goto", "if", "inline", "int", "long", "mutable",
     "namespace", "new", "not", "not_eq", "operator"},
    {"or", "or_eq", "private", "protected", "public", "register", "reinterpret_cast", "return",
     "short", "signed", "sizeof", "static", "static_cast"},
    {"struct", "switch", "template", "this", "throw", "true", "try", "typedef", "typeid",
     "typename", "union"},
    {"unsigned", "using", "virtual", "void", "volatile", "wchar_t", "while", "xor", "xor_eq"},
    {"alignas", "alignof", "char16_t", "char32_t", "constexpr", "decltype", "noexcept", "nullptr",
     "static_assert", "thread_local", "override", "final"},
};

std::unique_ptr<QRegExpValidator> validator(const QString& pattern) {
    return std::unique_ptr<QRegExpValidator>(
        new QRegExpValidator(QRegExp(pattern, Qt::CaseSensitive, QRegExp::RegExp)));
}

struct Step {
    bool (DiagnosticClass::*check)();
    const char* prefix;
};

}  // namespace

DiagnosticClass::DiagnosticClass(VEXA_Types* mainModel, VEXA_Types* allModulesModel)
    : mainModel(mainModel), allModulesModel(allModulesModel) {
    UpdateListAllNames();
    UpdateListAllKeysNames();
    SetErrorsTextList();
    addPrimitives();
}

DiagnosticClass::~DiagnosticClass() = default;

void DiagnosticClass::UpdateListAllNames() {
    allModulesTypeNames = allModulesModel->getAllTypesNames();
}

void DiagnosticClass::SetErrorsTextList() {
    for (const char* text : ERROR_TEXTS) {
        errorsTextList.append(QString::fromUtf8(text));
    }
}

void DiagnosticClass::addPrimitives() {
    for (const BuiltInPrimitive& row : BUILT_IN_PRIMITIVES) {
        Primitive primitive;
        primitive.m_name = QString::fromLatin1(row.name);
        primitive.m_type = QString::fromLatin1(row.cppType);
        primitive.m_key = QStringLiteral("true");
        primitive.m_definition = QString::fromUtf8(row.definition);
        primitive.m_kind = row.kind;
        mainModel->m_primitives.append(primitive);
    }
}

void DiagnosticClass::createValidators() {
    identifierValidator = validator(QStringLiteral("([_A-Za-z])([A-Za-z_0-9]?)+"));
    reservedWordValidators.clear();
    for (const auto& group : RESERVED_WORDS) {
        QStringList alternatives;
        for (const char* word : group) {
            if (word != nullptr) {
                alternatives.append(QLatin1Char('^') + QLatin1String(word) + QLatin1String("\\b"));
            }
        }
        reservedWordValidators.push_back(validator(alternatives.join(QLatin1Char('|'))));
    }
    integerValidator = validator(QStringLiteral("[\\-]{,1}[0-9]+"));
    booleanValidator = validator(QStringLiteral("\\b(true|false)\\b"));
    extensibilityValidator = validator(QStringLiteral("\\b(final|extensible|mutable)\\b"));
    lengthValidator = validator(QStringLiteral("(\\-1)|([0-9]*)"));
    // Positive numbers without a leading zero, one blank between two: the front end splits the
    // dimensions at single blanks and reads what is no number as 0.
    dimensionsValidator = validator(QStringLiteral("[1-9][0-9]*( [1-9][0-9]*)*"));
    qualifiedNameValidator =
        validator(QStringLiteral("([_A-Za-z]|::)(([a-zA-Z_0-9]|::)*([a-zA-Z_0-9]))+"));
    alphanumericValidator = validator(QStringLiteral("[0-9A-Za-z]"));
}

void DiagnosticClass::StartDiagnostics() {
    createValidators();
    static const Step STEPS[] = {
        {&DiagnosticClass::CheckSpaceNameSintax,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckSpaceNameSintax : "},
        {&DiagnosticClass::CheckAllNamesSintax,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckAllNamesSintax : "},
        {&DiagnosticClass::CheckAllPointingTypes,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckAllPointingTypes : "},
        {&DiagnosticClass::CheckMainParameters,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckMainParameters : "},
        {&DiagnosticClass::CheckDoublingNames,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckDoublingNames : "},
        {&DiagnosticClass::CheckEnumElements,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckEnumElements : "},
        {&DiagnosticClass::CheckBitSetElements,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckBitSetElements : "},
        {&DiagnosticClass::CheckUnionElements,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckUnionElements : "},
        {&DiagnosticClass::CheckStructureElements,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckStructureElements : "},
        {&DiagnosticClass::TestItselfReference,
         "Ошибка: DiagnosticClass::StartDiagnostics:TestItselfReference : "},
        // The blank after the colon is how this prefix has always read.
        {&DiagnosticClass::CheckTopicKeys,
         "Ошибка: DiagnosticClass::StartDiagnostics: CheckTopicKeys : "},
        {&DiagnosticClass::CheckDeclaredPrimitives,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckDeclaredPrimitives : "},
    };
    for (const Step& step : STEPS) {
        if ((this->*step.check)()) {
            throw NLX::ZetException(std::string(step.prefix) +
                                    errorInformation.last().message.toStdString());
        }
    }
}

int DiagnosticClass::GetIntTypeWidget(int typeKind, QString* groupName) {
    static const struct {
        int kind;
        const char* name;
        int code;
    } GROUPS[] = {
        {KIND_ENUMERATION, "Перечисления", 1051},
        {KIND_MAP, "Словари", 1061},
        {KIND_SEQUENCE, "Последовательности", 1071},
        {KIND_ARRAY, "Массивы", 1081},
        {KIND_STRING, "Строковые данные", 1091},
        {KIND_BITSET, "Наборы бит", 1101},
        {KIND_ALIAS, "Алиасы", 1111},
        {KIND_UNION, "Объединения", 1131},
        {KIND_STRUCTURE, "Структуры", 1141},
        {GROUP_PRIMITIVES, "Простые типы", 1011},
        {GROUP_TOPICS, "Типы данных топиков", 1041},
    };
    for (const auto& group : GROUPS) {
        if (group.kind == typeKind) {
            if (groupName != nullptr) {
                *groupName = QString::fromUtf8(group.name);
            }
            return group.code;
        }
    }
    if (groupName != nullptr) {
        *groupName = QString::fromUtf8("Неизвестный тип");
    }
    return -1;
}

QString DiagnosticClass::fillMessage(int code, const QStringList& values) const {
    // One pass, so that a value holding "%3" is not filled in again.
    const QString text = errorsTextList.value(code);
    QString message;
    for (int i = 0; i < text.size(); ++i) {
        const int number =
            i + 1 < text.size() && text[i] == QLatin1Char('%') ? text[i + 1].digitValue() : -1;
        if (number >= 1 && number <= values.size()) {
            message += values[number - 1];
            ++i;
        } else {
            message += text[i];
        }
    }
    return message;
}

void DiagnosticClass::record(int typeKind, const QString& typeName, int code,
                             const QStringList& values) {
    ErrorInformationStruct finding;
    finding.typeName = typeName;
    finding.typeKind = typeKind;
    QString groupName;
    finding.groupCode = GetIntTypeWidget(typeKind, &groupName);
    finding.message = fillMessage(code, QStringList{groupName, typeName} + values);
    errorInformation.append(finding);
}

bool DiagnosticClass::isAcceptable(const QRegExpValidator& validator, const QString& text) const {
    QString copy = text;
    int position = 0;
    return validator.validate(copy, position) == QValidator::Acceptable;
}

bool DiagnosticClass::isReservedWord(const QString& text) const {
    for (const Validator& words : reservedWordValidators) {
        if (isAcceptable(*words, text)) {
            return true;
        }
    }
    return false;
}
