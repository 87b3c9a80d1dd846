// The checker's structure rules: member names, types, flags and key capability.

#include "CheckerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace checker_test;

Expect structFinding(int code, const QStringList& values) {
    return {"CheckStructureElements", 22, "Rec", code, values};
}

// A structure Rec with a first member a of Int32 and then the member given; the model has one
// type of every kind that can stand as a member type, in both models, with the key texts the
// names say.
Build withMember(const QMemberAgregate& second) {
    return [second](Model& m) {
        m.own()
            .sequence("Seq", "Int32")
            .map("Table", "Int32", "Int32")
            .bitSet("Flags", "8", {{"ready", "0"}})
            .enumeration("KeyedEnum", "Int32", {{"A", "0"}}, "true")
            .enumeration("PlainEnum", "Int32", {{"B", "0"}}, "false")
            .array("PlainArray", "Int32", "3", "false")
            .string("PlainText", "Char8", "8", "false")
            .unionType("PlainUnion", "Int32", {{"1", caseMember("aa", "Int32", true)}}, "false")
            .alias("SeqAlias", "Seq")
            .alias("EnumAlias", "PlainEnum")
            .alias("AliasAlias", "Common::SeqAlias")
            .structure("Point", {member("x", "Int32")});
        m.included()
            .sequence("Common::Seq", "Int32")
            .alias("Common::SeqAlias", "Common::Seq")
            .enumeration("Common::PlainEnum", "Int32", {{"C", "0"}}, "false")
            .enumeration("Common::OpenEnum", "Int32", {{"D", "0"}}, "");
        m.own().structure("Rec", {member("a", "Int32"), second});
    };
}

QMemberAgregate keyMember(const QString& type) {
    return member("k", type, "true");
}

TEST(CheckerStructuresTest, MemberNames) {
    checkRows({
        {"one letter", withMember(member("x", "Int32")), PASSES},
        {"leading digit", withMember(member("1x", "Int32")), structFinding(9, {"1x"})},
        {"hyphen", withMember(member("a-b", "Int32")), structFinding(9, {"a-b"})},
        {"scope", withMember(member("a::b", "Int32")), structFinding(9, {"a::b"})},
        {"keyword", withMember(member("class", "Int32")), structFinding(9, {"class"})},
        {"newer keyword", withMember(member("final", "Int32")), structFinding(9, {"final"})},
        {"own name", withMember(member("Rec", "Int32")), structFinding(9, {"Rec"})},
        {"twice, other type", withMember(member("a", "Int64")), structFinding(11, {"a"})},
        // Its accessors would hide the type inside the class that spells it.
        {"named like a model type", withMember(member("Point", "Int32")),
         structFinding(42, {"Point"})},
        {"named like a primitive", withMember(member("Int32", "Int32")), PASSES},
        {"named like a type in other case", withMember(member("point", "Point")), PASSES},
    });
}

TEST(CheckerStructuresTest, TopicMethodNamesInTopicsOnly) {
    for (const char* method :
         {"nameOfType", "hasKey", "keyHash", "keyEqual", "lenPacked", "maxlenPacked",
          "keylenPacked", "pack", "packKey", "unpack", "unpackKey"}) {
        checkRow(
            method,
            [method](Model& m) {
                withMember(member(method, "Int32"))(m);
                m.own().topic("Rec");
            },
            structFinding(43, {method}));
        checkRow(method, withMember(member(method, "Int32")), PASSES);
    }
}

TEST(CheckerStructuresTest, MemberTypesAndFlags) {
    QMemberAgregate noShared = member("b", "Int32");
    noShared.m_shared = "";
    QMemberAgregate noOptional = member("b", "Int32");
    noOptional.m_optional = "";
    QMemberAgregate sharedAndOptional = member("b", "Int32");
    sharedAndOptional.m_shared = "s";
    sharedAndOptional.m_optional = "o";
    QMemberAgregate keyedSequenceNoShared = keyMember("Seq");
    keyedSequenceNoShared.m_shared = "";
    checkRows({
        {"structure type", withMember(member("b", "Point")), PASSES},
        {"included type", withMember(member("b", "Common::Seq")), PASSES},
        {"undeclared type", withMember(member("b", "Nothing")), structFinding(13, {"Nothing"})},
        {"type before duplicate", withMember(member("a", "Nothing")),
         structFinding(13, {"Nothing"})},
        {"key empty", withMember(member("b", "Int32", "")), structFinding(14, {"b", ""})},
        {"shared empty", withMember(noShared), structFinding(14, {"b", ""})},
        {"optional empty", withMember(noOptional), structFinding(14, {"b", ""})},
        {"shared before optional", withMember(sharedAndOptional), structFinding(14, {"b", "s"})},
        {"key capability before shared", withMember(keyedSequenceNoShared),
         structFinding(20, {"k"})},
    });
}

TEST(CheckerStructuresTest, KeyCapability) {
    checkRows({
        {"sequence", withMember(keyMember("Seq")), structFinding(20, {"k"})},
        {"included sequence", withMember(keyMember("Common::Seq")), structFinding(20, {"k"})},
        {"map", withMember(keyMember("Table")), structFinding(20, {"k"})},
        {"bit set", withMember(keyMember("Flags")), structFinding(20, {"k"})},
        {"sequence, not a key", withMember(member("k", "Seq", "false")), PASSES},
        {"enumeration keyed", withMember(keyMember("KeyedEnum")), PASSES},
        {"enumeration not keyed", withMember(keyMember("PlainEnum")),
         structFinding(37, {"k", "PlainEnum", "false"})},
        {"included enumeration not keyed", withMember(keyMember("Common::PlainEnum")),
         structFinding(37, {"k", "Common::PlainEnum", "false"})},
        {"included enumeration, empty key text", withMember(keyMember("Common::OpenEnum")), PASSES},
        {"array not keyed", withMember(keyMember("PlainArray")),
         structFinding(37, {"k", "PlainArray", "false"})},
        {"string not keyed", withMember(keyMember("PlainText")),
         structFinding(37, {"k", "PlainText", "false"})},
        {"union not keyed", withMember(keyMember("PlainUnion")),
         structFinding(37, {"k", "PlainUnion", "false"})},
        {"alias of a sequence", withMember(keyMember("SeqAlias")), structFinding(20, {"k"})},
        {"alias of an enumeration not keyed", withMember(keyMember("EnumAlias")),
         structFinding(37, {"k", "EnumAlias", "false"})},
        {"alias of an included alias", withMember(keyMember("AliasAlias")), PASSES},
        {"Float64", withMember(keyMember("Float64")), PASSES},
        {"structure", withMember(keyMember("Point")), PASSES},
    });
}

TEST(CheckerStructuresTest, FirstMemberInOrderIsReported) {
    checkRows({
        {"earlier member, later step",
         [](Model& m) {
             m.own().structure("Rec", {member("a", "Int32", ""), member("1b", "Int32")});
         },
         structFinding(14, {"a", ""})},
        {"earlier structure",
         [](Model& m) {
             m.own().structure("Rec", {member("a", "Nothing")});
             m.own().structure("Later", {member("1b", "Int32")});
         },
         structFinding(13, {"Nothing"})},
    });
}

}  // namespace
