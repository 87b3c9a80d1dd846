// The pack-code generator on hand-built type models: the names it gives callees, the layout
// it works out for fixed-size data, and which helpers it writes where. What the generated code
// does at run time is checked in tests/generated.

#include "TypeModelBuilder.h"

#include "precompiler/packgen/BuildePack.h"

#include "ZetException.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

class PackGeneratorTest : public ::testing::Test {
protected:
    PackGeneratorTest() {
        NLX::BuildePack::startRun();
        m_b.find("String8")->set();
        m_b.find("String32")->set();
    }

    // A generator of the module, writing into the two texts.
    NLX::BuildePack generator(const std::string& module) {
        return NLX::BuildePack{&m_header,
                               &m_source,
                               module,
                               false,
                               VEXA_PACK::CDR_LE,
                               nullptr,
                               {{VEXA_PACK::CDR_LE, ""}, {VEXA_PACK::CDR_BE, "CH"}},
                               {VEXA_PACK::CDR_LE, VEXA_PACK::CDR_BE},
                               nullptr};
    }

    static std::size_t count(const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos;
             at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }

    TypeModelBuilder m_b;
    std::ostringstream m_header;
    std::ostringstream m_source;
};

TEST_F(PackGeneratorTest, CalleeNamesFollowAliasesToTheEndAndHelpersToWhereTheyWereWritten) {
    m_b.enumeration("M", "E", INT_16_TYPE).set();
    m_b.alias("M", "EA", "M::E").set();
    m_b.alias("M", "EAA", "M::EA").set();
    m_b.alias("M", "I", "Int32").set();
    m_b.alias("M", "II", "M::I").set();
    m_b.bitSet("M", "B9", 9);
    m_b.sequence("M", "Ints", "Int32").set();
    m_b.sequence("M", "Shorts", "Int16").set();
    m_b.sequence("M", "Huges", "Float128").set();
    m_b.sequence("M", "Bits", "M::B9").set();
    m_b.sequence("M", "Texts", "String8").set();
    m_b.array("M", "BitRow", "M::B9", {3}).set();
    m_b.structure("Other", "P", {{"x", "Int32"}}).set();
    m_b.alias("M", "PA", "Other::P").set();

    NLX::BuildePack pack = generator("M");
    pack.buildPackF(m_b.find("Other::P"));
    pack.buildUnPackF(m_b.find("Other::P"));
    const std::vector<std::pair<const char*, const char*>> packNames = {
        {"Int32", "VEXA_PACK::packPrimitive"},
        {"M::II", "VEXA_PACK::packPrimitive"},
        {"M::E", "VEXA_PACK::packPrimitive"},
        {"M::EA", "VEXA_PACK::packPrimitive"},
        {"M::EAA", "VEXA_PACK::packPrimitive"},
        {"String8", "VEXA_PACK::packText"},
        {"M::Ints", "VEXA_PACK::pack"},
        {"M::B9", "M::pack"},
        {"Other::P", "M::pack"},
        {"M::PA", "M::pack"},
    };
    for (const auto& row : packNames) {
        EXPECT_EQ(row.second, pack.PACK_F_NAME(m_b.find(row.first))) << row.first;
    }
    const std::vector<std::pair<const char*, const char*>> unpackNames = {
        {"M::EAA", "VEXA_PACK::unpackPrimitive"},
        {"M::Ints", "VEXA_PACK::unpackPrimitive"},
        {"M::Texts", "VEXA_PACK::unpack"},
        {"String8", "VEXA_PACK::unpackText"},
        {"M::B9", "M::unpack"},
        {"M::PA", "M::unpack"},
    };
    for (const auto& row : unpackNames) {
        EXPECT_EQ(row.second, pack.UNPACK_F_NAME(m_b.find(row.first))) << row.first;
    }
    // Runtime skip forms always in VEXA_PACK, sequences by their element's size.
    const std::vector<std::pair<const char*, const char*>> nextCalls = {
        {"M::Shorts", "VEXA_PACK::nextPrimitiveVCTCH<2>(b,p,l)"},
        {"M::Huges", "VEXA_PACK::nextPrimitiveVCTCH<16>(b,p,l)"},
        {"M::Bits", "VEXA_PACK::nextPrimitiveVCTCH<2>(b,p,l)"},
        {"M::BitRow", "VEXA_PACK::nextARR<2,3>(p,l)"},
        {"M::B9", "VEXA_PACK::nextPrimitive<2>(p,l)"},
        {"M::Texts", "VEXA_PACK::nextVCTSTRCH(b,p,l)"},
        {"String8", "VEXA_PACK::nextSTRCH(b,p,l)"},
        {"M::PA", "M::nextCH(o,b,p,l)"},
    };
    for (const auto& row : nextCalls) {
        EXPECT_EQ(row.second,
                  pack.NEXT_F_NAME(m_b.find(row.first), "o", "b", "p", "l", VEXA_PACK::CDR_BE))
            << row.first;
    }
}

TEST_F(PackGeneratorTest, MemberPathsAndPaddingTexts) {
    EXPECT_EQ("m_", NLX::BuildePack::replaceLiteral(""));
    EXPECT_EQ("m_x", NLX::BuildePack::replaceLiteral("x"));
    EXPECT_EQ("m_x.m_y.m_z", NLX::BuildePack::replaceLiteral("x.y.z"));
    EXPECT_EQ("  uint32_t shift = 0;", NLX::BuildePack::SHIFT("  ", 1));
    EXPECT_EQ("  uint32_t shift = pos%2;", NLX::BuildePack::SHIFT("  ", 2));
    EXPECT_EQ("  uint32_t shift = pos%8;\n  if (shift != 0) shift = 8 - shift;",
              NLX::BuildePack::SHIFT("  ", 8));
}

TEST_F(PackGeneratorTest, FixedLayoutPlacesEachItemAtItsOwnAlignment) {
    m_b.structure("M", "Word", {{"w", "Int32"}});
    m_b.structure("M", "ByteFirst", {{"b", "Byte"}, {"w", "Int32"}});
    m_b.structure("M", "Pp", {{"a", "Int16"}, {"b", "Byte"}});
    m_b.array("M", "Shorts3", "Int16", {3});
    m_b.array("M", "Pairs", "M::Pp", {2});
    m_b.array("M", "Many", "M::Pp", {1000, 1000});
    m_b.bitSet("M", "B9", 9);
    m_b.bitSet("M", "B33", 33);
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> members;
        std::uint64_t end;
    };
    const std::vector<Case> cases = {
        {"Int32, Boolean, Float64", {{"i", "Int32"}, {"b", "Boolean"}, {"f", "Float64"}}, 16},
        {"Byte, Float128", {{"b", "Byte"}, {"h", "Float128"}}, 32},
        {"Byte, structure of Int32", {{"b", "Byte"}, {"s", "M::Word"}}, 8},
        {"Byte, structure of Byte and Int32", {{"b", "Byte"}, {"s", "M::ByteFirst"}}, 8},
        {"Byte, Int16[3]", {{"b", "Byte"}, {"s", "M::Shorts3"}}, 8},
        {"Byte, bit set of 9", {{"b", "Byte"}, {"s", "M::B9"}}, 4},
        {"Byte, bit set of 33", {{"b", "Byte"}, {"s", "M::B33"}}, 16},
        {"Byte, 2 structures of Int16 and Byte", {{"b", "Byte"}, {"p", "M::Pairs"}}, 9},
        // 3 bytes for the first element, 4 for every other one.
        {"10^6 structures of Int16 and Byte", {{"p", "M::Many"}}, 3999999},
    };
    NLX::BuildePack pack = generator("M");
    int n = 0;
    for (const Case& c : cases) {
        Structure& topic = m_b.structure("M", "T" + std::to_string(n++), c.members);
        topic.set();
        EXPECT_EQ(c.end, pack.lenPackedFixed(&topic, 0)) << c.name;
    }
}

TEST_F(PackGeneratorTest, KeysInsideStructureMembersGetTheirOffsets) {
    m_b.structure("M", "Pair", {{"x", "Int32"}, {"y", "Int32"}});
    Structure& topic = m_b.structure("M", "T", {{"f", "Float64"}, {"s", "M::Pair"}});
    topic.set();
    const std::vector<std::string> keys = {"s.y", "s", "f"};
    std::vector<std::uint32_t> offsets(3, 0);
    std::vector<std::uint32_t> lengths(3, 0);
    NLX::BuildePack pack = generator("M");
    std::uint64_t pos = 0;
    for (const MemberAgregate& member : topic.m_members) {
        pos = pack.lenPackedFixed(topic.getAnyTypeByString(member.m_typeName), pos, keys,
                                  member.m_name, offsets, lengths);
    }
    EXPECT_EQ(16u, pos);
    EXPECT_EQ((std::vector<std::uint32_t>{12, 0, 0}), offsets);
    EXPECT_EQ((std::vector<std::uint32_t>{4, 0, 8}), lengths);
}

TEST_F(PackGeneratorTest, HelpersAreWrittenOncePerCppTypeAndNothingForNonTopics) {
    m_b.enumeration("M", "E1", INT_32_TYPE).set();
    m_b.enumeration("M", "E2", INT_32_TYPE).set();
    Map& first = m_b.map("M", "ByE1", "Int32", "M::E1");
    Map& second = m_b.map("M", "ByE2", "Int32", "M::E2");
    m_b.structure("M", "S", {{"x", "Int32"}});
    Structure& t1 = m_b.structure("M", "T1", {{"s", "M::S"}, {"a", "M::ByE1"}});
    Structure& t2 = m_b.structure("M", "T2", {{"s", "M::S"}, {"b", "M::ByE2"}});
    Structure& plain = m_b.structure("M", "Plain", {{"s", "M::S"}});
    for (Structure* s : {&t1, &t2, &plain}) {
        s->set();
    }
    // The model counts any two enumerations as equal: the maps are same types.
    first.m_sameTypes.insert(&second);
    second.m_sameTypes.insert(&first);
    t1.m_isTopic = t2.m_isTopic = true;

    NLX::BuildePack pack = generator("M");
    pack.createTopic(&plain);
    EXPECT_EQ("", m_source.str());
    pack.createTopic(&t1);
    pack.createTopic(&t2);
    const std::string header = m_header.str();
    EXPECT_EQ(1u, count(header, "unsigned pack(const M::S& StructObj"));
    EXPECT_EQ(1u, count(header, "unsigned pack(const M::ByE1& MapObj"));
    EXPECT_EQ(1u, count(header, "unsigned pack(const M::ByE2& MapObj"));
    EXPECT_EQ(1u, count(header, "unsigned unpackCH(M::ByE2& MapObj"));
    EXPECT_EQ(1u, count(header, "unsigned nextCH(M::ByE2& MapObj"));

    // A later module calls the helper where it stands (a variable topic reads it by a call).
    Structure& t3 = m_b.structure("N", "T3", {{"name", "String8"}, {"s", "M::S"}});
    t3.set();
    t3.m_isTopic = true;
    m_header.str("");
    m_source.str("");
    NLX::BuildePack later = generator("N");
    later.createTopic(&t3);
    EXPECT_EQ("", m_header.str());
    EXPECT_NE(std::string::npos, m_source.str().find("M::pack(m_s, ptrDist, pos, lenbuf)"))
        << m_source.str();
    EXPECT_NE(std::string::npos, m_source.str().find("M::unpackCH(m_s,")) << m_source.str();
}

// A key the key functions cannot serve is refused with the topic, the key path and the reason,
// before any text of the topic, whatever module the topic is in (the model checker sees only
// the main model's). Admissible keys, aliases of aliases included, pass.
TEST_F(PackGeneratorTest, KeysOfShapesTheKeyFunctionsCannotServeAreRefused) {
    m_b.structure("Other", "P", {{"x", "Int32"}}).set();
    m_b.alias("Other", "PA", "Other::P").set();
    m_b.bitSet("Other", "B9", 9);
    m_b.unionType("Other", "U", "Int32", {{"1", "Int32"}}).set();
    m_b.map("Other", "Map", "Int32", "Int32").set();
    m_b.sequence("Other", "Ints", "Int32").set();
    m_b.array("Other", "Points", "Other::P", {2}).set();
    m_b.array("Other", "Texts", "String8", {2}).set();
    m_b.enumeration("Other", "E", INT_16_TYPE).set();
    m_b.alias("Other", "EA", "Other::E").set();
    m_b.alias("Other", "EAA", "Other::EA").set();
    m_b.array("Other", "Grid", "Other::EAA", {2, 3}).set();
    const std::vector<std::pair<const char*, const char*>> refused = {
        {"Other::P", "структура не поддерживается"},
        {"Other::PA", "структура не поддерживается"},
        {"Other::B9", "набор битов не поддерживается"},
        {"Other::U", "объединение не поддерживается"},
        {"Other::Map", "отображение не поддерживается"},
        {"Other::Ints", "последовательность не поддерживается"},
        {"Other::Points", "массив с элементами непримитивного типа не поддерживается"},
        {"Other::Texts", "массив с элементами непримитивного типа не поддерживается"},
    };
    int n = 0;
    for (const auto& shape : refused) {
        SCOPED_TRACE(shape.first);
        const std::string name = "T" + std::to_string(n++);
        m_b.structure("Other", "H" + name, {{"k", shape.first}, {"s", "String8"}}).set();
        Structure& topic =
            m_b.structure("Other", name, {{"id", "Int32"}, {"h", "Other::H" + name}});
        topic.m_isTopic = true;
        topic.m_keyPaths = {"id", "h.k"};
        topic.set();
        m_header.str("");
        m_source.str("");
        NLX::BuildePack pack = generator("M");
        try {
            pack.createTopic(&topic);
            ADD_FAILURE() << "not refused";
        } catch (const NLX::ZetException& error) {
            EXPECT_EQ("Ключ h.k топика Other::" + name + ": " + shape.second,
                      std::string(error.what()));
        }
        EXPECT_EQ("", m_source.str());
        EXPECT_EQ("", m_header.str());
    }
    for (const char* admitted : {"Other::EAA", "Other::Grid", "String32", "Float128", "Boolean"}) {
        SCOPED_TRACE(admitted);
        Structure& topic = m_b.structure("Other", "T" + std::to_string(n++), {{"k", admitted}});
        topic.m_isTopic = true;
        topic.m_keyPaths = {"k"};
        topic.set();
        NLX::BuildePack pack = generator("M");
        try {
            pack.createTopic(&topic);
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
    }
}

}  // namespace
