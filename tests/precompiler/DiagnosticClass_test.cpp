// The checker's frame: message templates, group names, built-in primitives, the order of the
// checks and the text of a refusal.

#include "CheckerModel.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

const char* const TEMPLATES[] = {
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

TEST(DiagnosticClassTest, TemplatesStandAtTheirCodes) {
    VEXA_Types mainModel;
    VEXA_Types modules;
    const DiagnosticClass checker(&mainModel, &modules);
    const QStringList& texts = checker.getErrorsTextList();
    ASSERT_EQ(texts.size(), static_cast<int>(sizeof TEMPLATES / sizeof TEMPLATES[0]));
    for (int code = 0; code < texts.size(); ++code) {
        EXPECT_EQ(texts[code].toStdString(), TEMPLATES[code]) << code;
    }
}

TEST(DiagnosticClassTest, EveryTemplateHasItsPlaceholdersOnce) {
    VEXA_Types mainModel;
    VEXA_Types modules;
    const DiagnosticClass checker(&mainModel, &modules);
    // Highest placeholder by code; every placeholder up to it appears exactly once.
    const QHash<int, int> highest = {{0, 2},  {27, 2}, {7, 2},  {18, 2}, {34, 2}, {36, 2},
                                     {14, 4}, {16, 4}, {17, 4}, {21, 4}, {22, 4}, {24, 4},
                                     {29, 4}, {37, 5}, {38, 4}, {39, 4}, {40, 4}};
    const QStringList& texts = checker.getErrorsTextList();
    for (int code = 0; code < texts.size(); ++code) {
        const int last = highest.value(code, 3);
        for (int n = 1; n <= 6; ++n) {
            const int count = texts[code].count(QStringLiteral("%") + QString::number(n));
            EXPECT_EQ(count, n <= last ? 1 : 0) << "code " << code << " %" << n;
        }
    }
}

TEST(DiagnosticClassTest, GroupNamesAndCodes) {
    const struct {
        int kind;
        const char* name;
        int code;
    } rows[] = {
        {14, "Перечисления", 1051},
        {15, "Словари", 1061},
        {16, "Последовательности", 1071},
        {17, "Массивы", 1081},
        {18, "Строковые данные", 1091},
        {19, "Наборы бит", 1101},
        {20, "Алиасы", 1111},
        {21, "Объединения", 1131},
        {22, "Структуры", 1141},
        {26, "Простые типы", 1011},
        {27, "Типы данных топиков", 1041},
        {0, "Неизвестный тип", -1},
        {13, "Неизвестный тип", -1},
        {23, "Неизвестный тип", -1},
        {24, "Неизвестный тип", -1},
        {25, "Неизвестный тип", -1},
        {28, "Неизвестный тип", -1},
    };
    for (const auto& row : rows) {
        QString name = "unchanged";
        EXPECT_EQ(DiagnosticClass::GetIntTypeWidget(row.kind, &name), row.code) << row.kind;
        EXPECT_EQ(name.toStdString(), row.name) << row.kind;
    }
}

// A model with one record of every kind and a keyed topic, sound by every rule.
void soundModel(Model& m) {
    m.own()
        .primitive("Counter", "UInt32")
        .enumeration("Color", "Int32", {{"RED", "0"}, {"GREEN", "1"}}, "true")
        .map("Table", "Int32", "Int16")
        .sequence("Samples", "Float64")
        .array("Grid", "Int32", "3 4", "true")
        .string("Label", "Char8", "32", "true")
        .bitSet("Flags", "8", {{"ready", "0"}, {"error", "1"}})
        .alias("Count", "UInt16")
        .unionType("Value", "Int32",
                   {{"1", caseMember("small", "Int32", true)}, {"2", caseMember("big", "Float64")}})
        .structure("Point", {member("x", "Int32", "true"), member("y", "Int32", "true")})
        .structure("Reading", {member("id", "UInt32", "true"), member("pos", "Point", "true"),
                               member("color", "Color", "true"), member("value", "Value"),
                               member("samples", "Samples"), member("flags", "Flags"),
                               member("label", "Label", "true"), member("grid", "Grid"),
                               member("count", "Count", "true"),
                               member("source", "Common::Name", "true"), member("text", "String8")})
        .topic("Reading", "id, pos.x, pos.y, color, label, count, source");
    m.included().string("Common::Name", "Char8", "64", "true");
}

TEST(DiagnosticClassTest, SoundModelPassesAndKeepsTheBuiltInPrimitives) {
    const Outcome outcome = checkBuilt(soundModel);
    ASSERT_FALSE(outcome.refused) << outcome.text;
    EXPECT_TRUE(outcome.findings.isEmpty());
    const char* names[] = {"Boolean", "Byte",    "Int16",   "UInt16",   "Int32", "UInt32", "Int64",
                           "UInt64",  "Float32", "Float64", "Float128", "Char8", "Char32"};
    const char* types[] = {"bool",        "uint8_t", "int16_t",  "uint16_t", "int32_t",
                           "uint32_t",    "int64_t", "uint64_t", "float",    "double",
                           "long double", "char",    "wchar_t"};
    ASSERT_EQ(outcome.primitivesAfter.size(), 14);
    EXPECT_EQ(outcome.primitivesAfter[0].m_name, "Counter");
    for (int i = 0; i < 13; ++i) {
        const Primitive& p = outcome.primitivesAfter[i + 1];
        EXPECT_EQ(p.m_name.toStdString(), names[i]);
        EXPECT_EQ(p.m_type.toStdString(), types[i]);
        EXPECT_EQ(p.m_kind, i + 1);
        EXPECT_EQ(p.m_key, "true");
        EXPECT_FALSE(p.m_definition.isEmpty());
    }
    EXPECT_EQ(outcome.primitivesAfter[3].m_definition.toStdString(),
              "Целое со знаком, этот тип описывает целое число, значение которого лежит в "
              "диапазоне от -32768 до +32767.");
    EXPECT_EQ(outcome.primitivesAfter[8].m_definition.toStdString(),
              "Целое без знака, этот тип описывает целое число, значение которого лежит в "
              "диапазоне от 0 до +18446744073709551615.");
}

// One fault per step, each in a model that passes every earlier step: the step's own prefix
// and the filled message, byte for byte.
TEST(DiagnosticClassTest, EachStepReportsWithItsOwnPrefix) {
    const struct {
        Build build;
        const char* text;
    } rows[] = {
        {[](Model& m) { m.main.m_namespace = "A"; },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckSpaceNameSintax : Пространство имен с "
         "именем 'A' не может быть использовано."},
        {[](Model& m) { m.own().alias("int", "Int32"); },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckAllNamesSintax : Алиасы содержат тип с "
         "именем 'int', которое является недопустимым."},
        {[](Model& m) { m.own().array("Grid", "Grid"); },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckAllPointingTypes : Массивы содержат тип "
         "с именем 'Grid', который ссылается на несуществующий тип 'Grid'."},
        {[](Model& m) { m.own().bitSet("Flags", "65", {}); },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckMainParameters : Наборы бит содержат тип "
         "с именем 'Flags', который имеет неверную границу '65'."},
        {[](Model& m) {
             m.own().alias("Point", "Int32").structure("Point", {member("x", "Int32")});
         },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckDoublingNames : Алиасы содержат тип с "
         "именем 'Point', у которого есть дубликат в типе 'Структуры'."},
        {[](Model& m) {
             m.own().enumeration("Color", "Int32", {{"RED", "1"}, {"GREEN", "1"}});
         },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckEnumElements : Перечисления содержат тип "
         "с именем 'Color', у которого есть элементы с одинаковым значением '1'."},
        {[](Model& m) {
             m.own().bitSet("Flags", "8", {{"a", "3"}, {"b", "3"}});
         },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckBitSetElements : Наборы бит содержат тип "
         "с именем 'Flags', у которого есть элемент 'b' с дублированным значением смещения."},
        {[](Model& m) {
             m.own().unionType("Value", "Int32", {{"1", caseMember("aa", "Int32")}});
         },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckUnionElements : Объединения содержат тип "
         "с именем 'Value', который не содержит альтернативу, выбираемую по умолчанию, или таких "
         "альтернатив указано несколько."},
        {[](Model& m) { m.own().structure("Point", {member("x", "Int32", "yes")}); },
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckStructureElements : Структуры содержат "
         "тип с именем 'Point', который имеет элемент 'x' с не верным признаком 'yes'."},
        {[](Model& m) { m.own().structure("Node", {member("next", "Node")}); },
         "Ошибка: DiagnosticClass::StartDiagnostics:TestItselfReference : Структуры содержат тип "
         "с именем 'Node', который имеет ссылку на самого себя в подчиненном типе 'Node'."},
        {[](Model& m) { m.own().structure("Point", {member("x", "Int32")}).topic("Point", "x"); },
         "Ошибка: DiagnosticClass::StartDiagnostics: CheckTopicKeys : Тип данных темы  содержат "
         "тип с именем 'Point', базирующийся на структуре 'Point', в которой ошибочно указан тип "
         "ключа 'x'. Данный тип не может быть ключом: а) такого типа нет в модели данных; б) у "
         "данного типа признак ключа указан не 'true'."},
    };
    for (const auto& row : rows) {
        const Outcome outcome = checkBuilt(row.build);
        EXPECT_TRUE(outcome.refused);
        EXPECT_EQ(outcome.text, row.text);
        EXPECT_EQ(outcome.findings.size(), 1);
    }
}

TEST(DiagnosticClassTest, TheEarlierStepIsTheOnlyOneReported) {
    const Outcome outcome = checkBuilt([](Model& m) {
        m.own().structure("X", {member("a", "Int32")}).structure("Point", {member("x", "Int32")});
        m.own().topic("Point", "x");
    });
    EXPECT_EQ(outcome.text, expectedText({"CheckAllNamesSintax", 22, "X", 0, {}}));
    EXPECT_EQ(outcome.findings.size(), 1);
}

TEST(DiagnosticClassTest, FindingRecordsGroupAndCode) {
    const Outcome outcome = checkBuilt([](Model& m) { m.own().sequence("Seq", "Missing"); });
    ASSERT_EQ(outcome.findings.size(), 1);
    const ErrorInformationStruct& finding = outcome.findings.last();
    EXPECT_EQ(finding.typeName, "Seq");
    EXPECT_EQ(finding.typeKind, 16);
    EXPECT_EQ(finding.groupCode, 1071);
    EXPECT_EQ(finding.otherKind, 0);
    EXPECT_EQ(finding.otherIndex, 0);
}

// A value holding a placeholder is written as it is, not filled in again by a later value.
TEST(DiagnosticClassTest, ValuesAreNotFilledTwice) {
    const Outcome outcome = checkBuilt([](Model& m) {
        m.included().enumeration("Common::E%4", "Int32", {{"ONE", "1"}});
        m.own().unionType("Value", "Common::E%4", {{"TWO", caseMember("aa", "Int32", true)}});
    });
    EXPECT_EQ(outcome.text,
              "Ошибка: DiagnosticClass::StartDiagnostics:CheckUnionElements : Объединения "
              "содержат тип с именем 'Value', который в качестве альтернативы использует тип "
              "'Common::E%4', но используемая величина альтернативы 'TWO' не является ни именем "
              "элемента, ни его значением.");
}

}  // namespace
