// The checker's topic rules: a topic names a structure of the model, and its keys are paths of
// key members that end in a type allowed in a key.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect keyFinding(const QString& key) {
    return {"CheckTopicKeys", 27, "Rec", 22, {"Rec", key}};
}

// Key texts other than "true" on types of the main model are refused by the structure check
// already; the included types stand for them here.
// A topic of structure Rec with the keys given, Rec having one key member k of the type given,
// a key member pos of structure Point (key members x and y, plain member z), and a plain member
// plain; the types named in the rows exist.
Build topicOf(const QString& keyType, const QString& keys) {
    return [keyType, keys](Model& m) {
        m.own()
            .primitive("OpenId", "UInt32", "true")
            .primitive("ClosedId", "UInt32", "false")
            .enumeration("KeyedEnum", "Int32", {{"A", "0"}}, "true")
            .string("KeyedText", "Char8", "8", "true")
            .array("KeyedArray", "Int32", "3", "true")
            .unionType("KeyedUnion", "Int32", {{"1", caseMember("aa", "Int32", true)}}, "true")
            .alias("Small", "UInt16")
            .alias("Wide", "String32")
            .alias("EnumAlias", "KeyedEnum")
            .alias("ModuleAlias", "Common::Small")
            .alias("PointAlias", "Point")
            .structure("Point", {member("x", "Int32", "true"), member("y", "Int32", "true"),
                                 member("z", "Int32")});
        m.included()
            .alias("Common::Small", "UInt16")
            .enumeration("Common::KeyedEnum", "Int32", {{"C", "0"}}, "true")
            .enumeration("Common::OpenEnum", "Int32", {{"B", "0"}}, "")
            .string("Common::OpenText", "Char8", "8", "")
            .structure("Common::Loop",
                       {member("self", "Common::Loop", "true"), member("id", "Int32", "true")});
        m.own()
            .structure("Rec", {member("k", keyType, "true"), member("pos", "Point", "true"),
                               member("plain", "Int32")})
            .topic("Rec", keys);
    };
}

TEST(CheckerTopicKeysTest, TopicStructures) {
    checkRows({
        {"an enumeration",
         [](Model& m) {
             m.own().enumeration("Mode", "Int32", {{"A", "0"}}).topic("Mode");
         },
         {"CheckTopicKeys", 27, "Mode", 18, {}}},
        {"an included structure",
         [](Model& m) {
             m.included().structure("Common::Point", {member("x", "Int32")});
             m.own().topic("Common::Point");
         },
         {"CheckTopicKeys", 27, "Common::Point", 18, {}}},
        {"no keys", topicOf("Int32", ""), PASSES},
        {"blanks only", topicOf("Int32", "   "), PASSES},
    });
}

TEST(CheckerTopicKeysTest, KeyTexts) {
    checkRows({
        {"comma and blank", topicOf("Int32", "k, pos.x"), PASSES},
        {"bare comma", topicOf("Int32", "k,pos.x"), PASSES},
        {"blank before comma", topicOf("Int32", "k ,pos.x"), PASSES},
        {"doubled comma", topicOf("Int32", "k,,pos.x"), keyFinding("")},
        {"trailing comma", topicOf("Int32", "k,"), keyFinding("")},
        {"member not a key", topicOf("Int32", "plain"), keyFinding("plain")},
        {"unknown member", topicOf("Int32", "nothing"), keyFinding("nothing")},
    });
}

TEST(CheckerTopicKeysTest, KeyTypes) {
    const struct {
        const char* type;
        bool admissible;
    } rows[] = {
        {"Int32", true},
        {"Float64", true},
        {"Char8", true},
        {"String8", true},
        {"OpenId", true},
        {"ClosedId", false},
        {"KeyedEnum", true},
        {"Common::OpenEnum", false},
        {"Common::KeyedEnum", true},
        {"KeyedText", true},
        {"Common::OpenText", false},
        {"KeyedArray", true},
        {"KeyedUnion", false},
        {"Small", true},
        {"Wide", true},
        {"EnumAlias", true},
        {"ModuleAlias", false},
    };
    for (const auto& row : rows) {
        // A declared primitive passes as a key; the generators' refusal of it comes last.
        const Expect admitted = QString(row.type) == "OpenId"
                                    ? Expect{"CheckDeclaredPrimitives", 22, "Rec", 44, {"OpenId"}}
                                    : PASSES;
        checkRow(row.type, topicOf(row.type, "k"), row.admissible ? admitted : keyFinding("k"));
    }
}

TEST(CheckerTopicKeysTest, PathsIntoStructures) {
    checkRows({
        {"both nested keys", topicOf("Int32", "pos.x, pos.y"), PASSES},
        {"the structure itself", topicOf("Int32", "pos"), keyFinding("pos")},
        {"a nested member not a key", topicOf("Int32", "pos.z"), keyFinding("pos.z")},
        {"past a leaf", topicOf("Int32", "k.x"), keyFinding("k.x")},
        {"through an alias of a structure", topicOf("PointAlias", "k.x"), PASSES},
        {"an included structure", topicOf("Common::Loop", "k.id"), PASSES},
        // An included structure may contain itself through a key member: the walk still ends.
        {"an included loop", topicOf("Common::Loop", "k.self.self.id"), PASSES},
        {"an included loop, no leaf", topicOf("Common::Loop", "k.self.self"),
         keyFinding("k.self.self")},
    });
}

TEST(CheckerTopicKeysTest, FindingKeepsTheTopicsPosition) {
    const Outcome outcome = checkBuilt([](Model& m) {
        topicOf("Int32", "k")(m);
        m.own().topic("Rec", "plain");
    });
    ASSERT_EQ(outcome.findings.size(), 1);
    EXPECT_EQ(outcome.findings[0].typeKind, 27);
    EXPECT_EQ(outcome.findings[0].groupCode, 1);
    EXPECT_EQ(outcome.text, expectedText(keyFinding("plain")));
}

}  // namespace
