// The checker's self-reference rule: no type contains itself.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect selfFinding(int kind, const QString& name, const QString& reference) {
    return {"TestItselfReference", kind, name, 33, {reference}};
}

TEST(CheckerSelfReferenceTest, TypesThatContainThemselves) {
    checkRows({
        {"structure member of its own type",
         [](Model& m) { m.own().structure("Node", {member("next", "Node")}); },
         selfFinding(22, "Node", "Node")},
        {"through a sequence: the sequence first",
         [](Model& m) {
             m.own().structure("Tree", {member("kids", "Kids")}).sequence("Kids", "Tree");
         },
         selfFinding(16, "Kids", "Tree")},
        {"map through an alias of a structure",
         [](Model& m) {
             m.own().map("Table", "Entry", "Int32").alias("Entry", "Row");
             m.own().structure("Row", {member("rest", "Table")});
         },
         selfFinding(15, "Table", "Entry")},
        {"alias through a structure",
         [](Model& m) { m.own().alias("Ref", "Row").structure("Row", {member("back", "Ref")}); },
         selfFinding(20, "Ref", "Row")},
        {"structure through a union: the structure first",
         [](Model& m) {
             m.own().structure("Shape", {member("inner", "Choice")});
             m.own().unionType("Choice", "Int32", {{"1", caseMember("shape", "Shape", true)}});
         },
         selfFinding(22, "Shape", "Choice")},
        {"array through a structure's second member",
         [](Model& m) {
             m.own()
                 .array("Grid", "Cell")
                 .structure("Cell", {member("a", "Int32"), member("b", "Grid")});
         },
         selfFinding(17, "Grid", "Cell")},
        {"leaves only",
         [](Model& m) {
             m.own().enumeration("Color", "Int32", {{"RED", "0"}}).string("Text", "Char8");
             m.own().bitSet("Flags", "8", {{"a", "0"}});
             m.own().structure("Plain",
                               {member("a", "Int32"), member("b", "Color"), member("c", "Text"),
                                member("d", "Flags"), member("e", "String8")});
         },
         PASSES},
        {"a cycle through an included module is not seen",
         [](Model& m) {
             m.included().structure("Common::Outer", {member("inner", "Ns::Row")});
             m.own().structure("Row", {member("outer", "Common::Outer")});
         },
         PASSES},
    });
}

// The walk from a structure enters a union that contains itself but not the structure: it
// ends, and the union is reported when its own turn comes.
TEST(CheckerSelfReferenceTest, ACycleAwayFromTheTestedTypeEndsTheWalk) {
    checkRow(
        "union in a cycle of its own",
        [](Model& m) {
            m.own().structure("Holder", {member("choice", "Loop")});
            m.own().unionType("Loop", "Int32", {{"1", caseMember("again", "Loop", true)}});
        },
        selfFinding(21, "Loop", "Loop"));
}

// Forty levels of structures, each holding the next twice: followed path by path, the walk
// would take 2^40 steps.
TEST(CheckerSelfReferenceTest, SharedSubStructuresAreWalkedOnce) {
    Model model;
    const int levels = 40;
    for (int i = 0; i < levels; ++i) {
        const QString next = QStringLiteral("Level%1").arg(i + 1);
        if (i + 1 == levels) {
            model.own().structure(QStringLiteral("Level%1").arg(i), {member("leaf", "Int32")});
        } else {
            model.own().structure(QStringLiteral("Level%1").arg(i),
                                  {member("left", next), member("right", next)});
        }
    }
    model.own().sequence("Levels", "Level0");
    const Outcome outcome = model.check();
    EXPECT_FALSE(outcome.refused) << outcome.text;
}

}  // namespace
