// The checker's parameter rules: key flags, lengths, bounds, shifts, extensibility, base types,
// dimensions, and element lists that must not be empty.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect parameter(int kind, const QString& name, int code, const QStringList& values = {}) {
    return {"CheckMainParameters", kind, name, code, values};
}

TEST(CheckerParametersTest, KeyFlags) {
    const auto primitiveKey = [](const QString& key) {
        return Build([key](Model& m) { m.own().primitive("Counter", "UInt32", key); });
    };
    checkRows({
        {"true", primitiveKey("true"), PASSES},
        {"false", primitiveKey("false"), PASSES},
        {"capital", primitiveKey("True"), parameter(26, "Counter", 5, {"True"})},
        {"digit", primitiveKey("1"), parameter(26, "Counter", 5, {"1"})},
        {"leading blank", primitiveKey(" true"), parameter(26, "Counter", 5, {" true"})},
        {"empty", primitiveKey(""), parameter(26, "Counter", 5, {""})},
        {"enumeration key",
         [](Model& m) {
             m.own().enumeration("Mode", "Int32", {{"A", "0"}}, "TRUE");
         },
         parameter(14, "Mode", 5, {"TRUE"})},
        {"string key", [](Model& m) { m.own().string("Text", "Char8", "8", ""); },
         parameter(18, "Text", 5, {""})},
        {"array key", [](Model& m) { m.own().array("Grid", "Int32", "3", "yes"); },
         parameter(17, "Grid", 5, {"yes"})},
    });
}

TEST(CheckerParametersTest, Lengths) {
    const auto mapLength = [](const QString& length) {
        return Build([length](Model& m) { m.own().map("Table", "Int32", "Int32", length); });
    };
    const auto sequenceLength = [](const QString& length) {
        return Build([length](Model& m) { m.own().sequence("Seq", "Int32", length); });
    };
    checkRows({
        {"map -5", mapLength("-5"), PASSES},
        {"map 0", mapLength("0"), PASSES},
        {"map empty", mapLength(""), parameter(15, "Table", 3, {""})},
        {"map plus sign", mapLength("+5"), parameter(15, "Table", 3, {"+5"})},
        {"string -5", [](Model& m) { m.own().string("Text", "Char8", "-5"); }, PASSES},
        {"string empty", [](Model& m) { m.own().string("Text", "Char8", ""); },
         parameter(18, "Text", 3, {""})},
        {"sequence -1", sequenceLength("-1"), PASSES},
        {"sequence 0", sequenceLength("0"), PASSES},
        {"sequence 255", sequenceLength("255"), PASSES},
        {"sequence empty", sequenceLength(""), PASSES},
        {"sequence -2", sequenceLength("-2"), parameter(16, "Seq", 3, {"-2"})},
    });
}

TEST(CheckerParametersTest, BitSetBoundsAndShifts) {
    const auto bound = [](const QString& text) {
        return Build([text](Model& m) { m.own().bitSet("Flags", text, {{"a", "0"}}); });
    };
    const auto shift = [](const QString& text) {
        return Build([text](Model& m) {
            m.own().bitSet("Flags", "8", {{"first", "0"}, {"bit", text}});
        });
    };
    checkRows({
        {"bound 64", bound("64"), PASSES},
        {"bound 1", bound("1"), PASSES},
        {"bound 0", bound("0"), parameter(19, "Flags", 4, {"0"})},
        {"bound 65", bound("65"), parameter(19, "Flags", 4, {"65"})},
        {"bound no number", bound("x"), parameter(19, "Flags", 4, {"x"})},
        {"shift 7 of 8", shift("7"), PASSES},
        {"shift 8 of 8", shift("8"), parameter(19, "Flags", 25, {"bit"})},
        {"shift -1", shift("-1"), parameter(19, "Flags", 25, {"bit"})},
        {"shift no number reads 0", shift("x"), PASSES},
    });
}

TEST(CheckerParametersTest, Enumerations) {
    const auto enumeration = [](const QString& base, const QString& extensibility) {
        return Build([base, extensibility](Model& m) {
            m.own().enumeration("Mode", base, {{"A", "0"}}, "false", extensibility);
        });
    };
    checkRows({
        {"final", enumeration("Int32", "final"), PASSES},
        {"extensible", enumeration("UInt64", "extensible"), PASSES},
        {"mutable", enumeration("Int16", "mutable"), PASSES},
        {"capital", enumeration("Int32", "Final"), parameter(14, "Mode", 6, {"Final"})},
        {"empty extensibility", enumeration("Int32", ""), parameter(14, "Mode", 6, {""})},
        {"base Byte", enumeration("Byte", "final"), parameter(14, "Mode", 28, {"Byte"})},
        {"base Char8", enumeration("Char8", "final"), parameter(14, "Mode", 28, {"Char8"})},
        {"base Boolean", enumeration("Boolean", "final"), parameter(14, "Mode", 28, {"Boolean"})},
        {"no enumerators before the base",
         [](Model& m) { m.own().enumeration("Mode", "Byte", {}); }, parameter(14, "Mode", 7)},
    });
}

TEST(CheckerParametersTest, ArrayDimensions) {
    const auto bounds = [](const QString& text) {
        return Build([text](Model& m) { m.own().array("Grid", "Int32", text); });
    };
    const auto refused = [](const QString& text) { return parameter(17, "Grid", 32, {text}); };
    checkRows({
        {"one", bounds("10"), PASSES},
        {"two", bounds("3 4"), PASSES},
        {"three", bounds("2 3 4"), PASSES},
        {"ending in zero, then more", bounds("10 20"), PASSES},
        {"three ending in zero", bounds("100 200 300"), PASSES},
        {"largest readable", bounds("9223372036854775807"), PASSES},
        {"zero", bounds("0"), refused("0")},
        {"comma", bounds("3,4"), refused("3,4")},
        {"leading zero", bounds("03"), refused("03")},
        {"empty", bounds(""), refused("")},
        {"tab", bounds("3\t4"), refused("3\t4")},
        {"zero dimension", bounds("1 0"), refused("1 0")},
        {"two blanks", bounds("3  4"), refused("3  4")},
        {"leading blank", bounds(" 3"), refused(" 3")},
        {"trailing blank", bounds("3 "), refused("3 ")},
        {"beyond 64 bits", bounds("9223372036854775808"), refused("9223372036854775808")},
    });
}

TEST(CheckerParametersTest, EmptyElementLists) {
    checkRows({
        {"union without cases", [](Model& m) { m.own().unionType("Value", "Int32", {}); },
         parameter(21, "Value", 7)},
        {"structure without members", [](Model& m) { m.own().structure("Point", {}); },
         parameter(22, "Point", 7)},
    });
}

TEST(CheckerParametersTest, KindsAreWalkedInOrder) {
    checkRows({
        {"primitives first",
         [](Model& m) {
             m.own()
                 .structure("Point", {})
                 .map("Table", "Int32", "Int32", "")
                 .primitive("Prim", "Int32", "");
         },
         parameter(26, "Prim", 5, {""})},
        {"bit sets before enumerations",
         [](Model& m) {
             m.own().enumeration("Mode", "Byte", {{"A", "0"}}).bitSet("Flags", "0", {});
         },
         parameter(19, "Flags", 4, {"0"})},
        {"sequences before strings",
         [](Model& m) { m.own().string("Text", "Char8", "").sequence("Seq", "Int32", "x"); },
         parameter(16, "Seq", 3, {"x"})},
        {"arrays before unions",
         [](Model& m) { m.own().unionType("Value", "Int32", {}).array("Grid", "Int32", "0"); },
         parameter(17, "Grid", 32, {"0"})},
        {"unions before structures",
         [](Model& m) { m.own().structure("Point", {}).unionType("Value", "Int32", {}); },
         parameter(21, "Value", 7)},
    });
}

}  // namespace
