// The checker's reference rules: every type a constructed type names exists and is of an
// admissible kind.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect missing(int kind, const QString& name, const QString& reference) {
    return {"CheckAllPointingTypes", kind, name, 2, {reference}};
}

Build mapKeyedBy(const QString& key) {
    return [key](Model& m) {
        m.own().enumeration("Color", "Int32", {{"RED", "0"}}).alias("Id", "Int32");
        m.own().alias("Shade", "Color").map("Table", "Int32", key);
    };
}

Build stringOf(const QString& character) {
    return [character](Model& m) {
        m.own().alias("Wide", "Char32").primitive("Letter", "Char32");
        if (character == "Glyph") {
            // Used only where the row names it: the alias of a declared primitive is refused.
            m.own().alias("Glyph", "Letter");
        }
        m.own().string("Text", character);
    };
}

Build unionOver(const QString& discriminator) {
    return [discriminator](Model& m) {
        m.own().alias("Small", "UInt16").structure("Point", {member("x", "Int32")});
        m.own().unionType("Value", discriminator, {{"1", caseMember("aa", "Int32", true)}});
    };
}

TEST(CheckerReferencesTest, EachKindOfReference) {
    checkRows({
        {"array of itself", [](Model& m) { m.own().array("Grid", "Grid"); },
         missing(17, "Grid", "Grid")},
        {"sequence of itself", [](Model& m) { m.own().sequence("Seq", "Seq"); },
         missing(16, "Seq", "Seq")},
        {"map of itself", [](Model& m) { m.own().map("Table", "Table", "Int32"); },
         missing(15, "Table", "Table")},
        {"alias of an alias",
         [](Model& m) { m.own().alias("Count", "UInt16").alias("Total", "Count"); },
         missing(20, "Total", "Count")},
        // Found here already, before the self-reference check would.
        {"alias of itself", [](Model& m) { m.own().alias("Loop", "Loop"); },
         missing(20, "Loop", "Loop")},
        {"alias of an included alias",
         [](Model& m) {
             m.included().alias("Common::Count", "UInt16");
             m.own().alias("Total", "Common::Count");
         },
         PASSES},
        {"alias of an unknown type", [](Model& m) { m.own().alias("Total", "Nothing"); },
         missing(20, "Total", "Nothing")},
        {"names are compared with case", [](Model& m) { m.own().alias("Total", "int32"); },
         missing(20, "Total", "int32")},
        {"map keyed by Boolean",
         mapKeyedBy("Boolean"),
         {"CheckAllPointingTypes", 15, "Table", 19, {"Boolean"}}},
        {"map keyed by Byte",
         mapKeyedBy("Byte"),
         {"CheckAllPointingTypes", 15, "Table", 19, {"Byte"}}},
        {"map keyed by Float64",
         mapKeyedBy("Float64"),
         {"CheckAllPointingTypes", 15, "Table", 19, {"Float64"}}},
        {"map keyed by an enumeration", mapKeyedBy("Color"), PASSES},
        {"map keyed by an alias of Int32", mapKeyedBy("Id"), PASSES},
        {"map keyed by an alias of an enumeration", mapKeyedBy("Shade"), PASSES},
        {"map keyed by String32", mapKeyedBy("String32"), PASSES},
        {"map keyed by an included type",
         [](Model& m) {
             m.included().structure("Common::Point", {member("x", "Int32")});
             m.own().map("Table", "Int32", "Common::Point");
         },
         PASSES},
        {"map element judged before its key",
         [](Model& m) { m.own().map("Table", "Nothing", "Boolean"); },
         missing(15, "Table", "Nothing")},
        {"string of Char8", stringOf("Char8"), PASSES},
        {"string of an alias of Char32", stringOf("Wide"), PASSES},
        // Admissible as a string's character; the alias of a declared primitive is refused last.
        {"string of an alias of a character primitive",
         stringOf("Glyph"),
         {"CheckDeclaredPrimitives", 20, "Glyph", 44, {"Letter"}}},
        {"string of Int32", stringOf("Int32"), missing(18, "Text", "Int32")},
        {"union over Byte", unionOver("Byte"), PASSES},
        {"union over an alias of UInt16", unionOver("Small"), PASSES},
        {"union over Float32", unionOver("Float32"), missing(21, "Value", "Float32")},
        {"union over String8", unionOver("String8"), missing(21, "Value", "String8")},
        {"union over a structure", unionOver("Point"), missing(21, "Value", "Point")},
    });
}

// The predefined strings stand wherever a type is named, though no model declares them.
TEST(CheckerReferencesTest, PredefinedStringsAreTypes) {
    checkRows({
        {"alias of String8", [](Model& m) { m.own().alias("Text", "String8"); }, PASSES},
        {"sequence of String32", [](Model& m) { m.own().sequence("Texts", "String32"); }, PASSES},
        {"array of String8", [](Model& m) { m.own().array("Texts", "String8"); }, PASSES},
        {"map of String8", [](Model& m) { m.own().map("Texts", "String8", "Int32"); }, PASSES},
        {"structure member",
         [](Model& m) { m.own().structure("Point", {member("name", "String8")}); }, PASSES},
        {"union member",
         [](Model& m) {
             m.own().unionType("Value", "Int32", {{"1", caseMember("text", "String32", true)}});
         },
         PASSES},
        {"still no string character", stringOf("String8"), missing(18, "Text", "String8")},
    });
}

TEST(CheckerReferencesTest, KindsAreWalkedInOrder) {
    checkRows({
        {"aliases before arrays",
         [](Model& m) { m.own().array("Grid", "Grid").alias("Total", "Nothing"); },
         missing(20, "Total", "Nothing")},
        {"sequences before strings",
         [](Model& m) { m.own().string("Text", "Int32").sequence("Seq", "Nothing"); },
         missing(16, "Seq", "Nothing")},
        {"within a kind, list order",
         [](Model& m) { m.own().sequence("First", "Nothing").sequence("Second", "None"); },
         missing(16, "First", "Nothing")},
    });
}

}  // namespace
