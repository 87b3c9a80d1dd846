// The model compiler in this process: file set and heads, enumerations, and the failures of
// the result directory and the output files.
#include "ModelFiles.h"

#include "precompiler/frontend/AnyType.h"
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "ZetException.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace {

const char* const kTime = "01.02.26 03:04:05 UTC";

const QByteArray kBody =
    "  <constructedtypes>\n"
    "    <enumeration><name>Color</name><key>false</key><extensibility>final</extensibility>"
    "<type>Int32</type>"
    "<enumerator><name>RED</name><value>1</value><definition>red</definition></enumerator>"
    "<enumerator><name>GREEN</name><value>10</value><definition></definition></enumerator>"
    "<definition>цвет</definition></enumeration>\n"
    "    <structure><name>Tp</name><memberAgregate><name>id</name><type>Int32</type>"
    "<key>true</key><shared>false</shared><optional>false</optional>"
    "<definition>ключ</definition></memberAgregate><definition>топик</definition></structure>\n"
    "  </constructedtypes>\n"
    "  <topicDataType><structName>Tp</structName><keys><key>id</key></keys>"
    "<definition>топик</definition></topicDataType>\n";

std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ModelCompileTest : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }
    void TearDown() override { AnyType::m_mapNameAnyTypePtr.clear(); }

    // Compiles the model into out; the error text, or "" on success.
    std::string compile(const QString& model, const std::string& out, bool enumCpp11 = true) {
        NLX::XML_VEXA_parser parser(nullptr, nullptr, 1, kTime);
        try {
            parser.compile(model.toStdString(), out, enumCpp11);
        } catch (const NLX::ZetException& error) {
            return error.what();
        }
        return std::string();
    }

    ModelFiles m_files;
};

TEST_F(ModelCompileTest, FileSetHeadsAndTails) {
    const QString model = m_files.module("a.b.xml", "MYTOPICS", {}, kBody);
    const std::string out = m_files.dir().toStdString() + "/out";
    ASSERT_EQ(compile(model, out), "");
    const std::string base = out + "/a.b_DDS";
    const std::string h = read(base + "/include/a.b.h");
    const std::string cpp = read(base + "/src/a.b.cpp");
    const std::string hpp = read(base + "/include/a.b_DCPS.hpp");
    const std::string dcps = read(base + "/include/a.b_DCPS.h");
    const std::string packH = read(base + "/include/a.b_DCPS_Pack.h");
    const std::string packCpp = read(base + "/src/a.b_DCPS_Pack.cpp");

    // One guard per file, the dot made a macro character.
    EXPECT_TRUE(contains(h, "\n#ifndef NLX_A_B_H\n#define NLX_A_B_H\n#include <vexa/core/"));
    EXPECT_TRUE(contains(hpp, "\n#ifndef NLX_A_B_DCPS_HPP\n#define NLX_A_B_DCPS_HPP\n"));
    EXPECT_TRUE(contains(dcps, "\n#ifndef NLX_A_B_DCPS_H\n#define NLX_A_B_DCPS_H\n"));
    EXPECT_TRUE(contains(packH, "\n#ifndef NLX_A_B_DCPS_PACK_H\n#define NLX_A_B_DCPS_PACK_H\n"));
    EXPECT_EQ(h.compare(0, 7, "/******"), 0);
    EXPECT_TRUE(contains(h, " * Имя файла:  " + base + "/include/a.b.h\n"));
    EXPECT_TRUE(contains(cpp, " * Имя файла:  " + base + "/src/a.b.cpp\n"));
    EXPECT_TRUE(contains(cpp, " * Дата создания: 01.02.26 03:04:05 UTC\n"));
    EXPECT_TRUE(contains(h,
                         "#include \"vexa_pack.h\"\n#ifndef NLX_ENUM_CPP11\n"
                         "#define NLX_ENUM_CPP11\n#endif\nnamespace MYTOPICS  {\n"));
    EXPECT_TRUE(contains(cpp, "#include \"a.b.h\"\nnamespace MYTOPICS {\n"));
    EXPECT_TRUE(contains(packCpp, "#include \"a.b_DCPS_Pack.h\"\n#include \"vexa_pack.h\"\n"));

    // The module name holds TOPIC and stays whole.
    EXPECT_TRUE(contains(hpp, "#include \"a.b_DCPS.h\"\nREGISTER_TOPIC_TRAITS(::MYTOPICS::Tp)\n"));
    EXPECT_TRUE(contains(dcps,
                         "\nnamespace MYTOPICS {\n  typedef vexa::dcps::api::"
                         "DataReaderTemplate< ::MYTOPICS::Tp > TpDataReader;\n"));
    EXPECT_TRUE(contains(dcps,
                         "    ::MYTOPICS::TpDataWriter, ::MYTOPICS::TpDataReader >  "
                         "TpTypeSupportFactory;\n"));

    // Enumerations: padded columns, then the second form.
    EXPECT_TRUE(contains(h, "enum class Color : int32_t {\n"));
    EXPECT_TRUE(contains(h, "RED   = 1 , /**<red*/\n"));
    EXPECT_TRUE(contains(h, "GREEN = 10  /**<*/\n"));
    EXPECT_TRUE(contains(h, "RED   = 1,\n"));
    EXPECT_TRUE(contains(h, "typedef dds::core::safe_enum< Color_def > Color;\n"));

    // Tails.
    const std::string hTail =
        "} // close namespace MYTOPICS\n#include \"a.b_DCPS_Pack.h\"\n#endif\n";
    EXPECT_EQ(h.compare(h.size() - hTail.size(), hTail.size(), hTail), 0) << h;
    EXPECT_FALSE(contains(cpp, "#endif"));
    EXPECT_FALSE(contains(packCpp, "#endif"));
    EXPECT_TRUE(contains(dcps, "} // close namespace MYTOPICS\n#endif\n"));

    // Without the switch there is no definition of it; everything else stays.
    ASSERT_EQ(compile(model, out, false), "");
    const std::string plain = read(base + "/include/a.b.h");
    EXPECT_FALSE(contains(plain, "#define NLX_ENUM_CPP11"));
    EXPECT_TRUE(contains(plain, "RED   = 1 , /**<red*/\n"));
}

// Topics are registered by name, not in model order, and only those of their own module; a
// module without topics still opens and closes its namespace in model_DCPS.h.
TEST_F(ModelCompileTest, TopicsOfAModuleInNameOrder) {
    const auto topicStructure = [](const char* name) {
        return QByteArray("<structure><name>") + name +
               "</name><memberAgregate><name>id</name><type>Int32</type><key>true</key>"
               "<shared>false</shared><optional>false</optional><definition></definition>"
               "</memberAgregate><definition></definition></structure>\n";
    };
    const auto topic = [](const char* name) {
        return QByteArray("<topicDataType><structName>") + name +
               "</structName><keys><key>id</key></keys><definition></definition>"
               "</topicDataType>\n";
    };
    m_files.module("inc.xml", "Inc", {},
                   "<constructedtypes>" + topicStructure("Aaa") + "</constructedtypes>\n");
    const QString model = m_files.module(
        "m.xml", "Geo", {{"Inc", "inc.xml"}},
        "<constructedtypes>" + topicStructure("Zeta") + topicStructure("Plain") +
            topicStructure("alpha") + "</constructedtypes>\n" + topic("Zeta") + topic("alpha"));
    const std::string out = m_files.dir().toStdString() + "/out";
    ASSERT_EQ(compile(model, out), "");
    const std::string hpp = read(out + "/m_DDS/include/m_DCPS.hpp");
    const std::string dcps = read(out + "/m_DDS/include/m_DCPS.h");
    EXPECT_TRUE(contains(hpp,
                         "\nREGISTER_TOPIC_TRAITS(::Geo::alpha)\n"
                         "REGISTER_TOPIC_TRAITS(::Geo::Zeta)\n#endif\n"))
        << hpp;
    EXPECT_FALSE(contains(hpp, "Plain")) << hpp;
    EXPECT_FALSE(contains(hpp, "Inc::")) << hpp;
    EXPECT_TRUE(contains(dcps, "\n\nnamespace Inc {\n} // close namespace Inc\n")) << dcps;
    const std::size_t alpha = dcps.find("alphaDataReader;");
    const std::size_t zeta = dcps.find("ZetaDataReader;");
    ASSERT_NE(alpha, std::string::npos) << dcps;
    ASSERT_NE(zeta, std::string::npos) << dcps;
    EXPECT_LT(alpha, zeta);
}

// The main file includes only the middle module, which uses a type of the module it includes:
// the lower module's types must be defined first.
TEST_F(ModelCompileTest, AModuleIncludedOnlyThroughAnotherIsCompiledBeforeIt) {
    const auto structure = [](const char* name, const char* type) {
        return QByteArray("<constructedtypes><structure><name>") + name +
               "</name><memberAgregate><name>m</name><type>" + type +
               "</type><key>false</key><shared>false</shared><optional>false</optional>"
               "<definition></definition></memberAgregate><definition></definition>"
               "</structure></constructedtypes>\n";
    };
    m_files.module("ExLow.xml", "ExLow", {}, structure("Lo", "Int32"));
    m_files.module("ExMid.xml", "ExMid", {{"ExLow", "ExLow.xml"}}, structure("Mi", "ExLow::Lo"));
    const QString model =
        m_files.module("m.xml", "Geo", {{"ExMid", "ExMid.xml"}}, structure("Top", "ExMid::Mi"));
    const std::string out = m_files.dir().toStdString() + "/out";
    ASSERT_EQ(compile(model, out), "");
    const std::string h = read(out + "/m_DDS/include/m.h");
    const std::size_t low = h.find("namespace ExLow");
    const std::size_t mid = h.find("namespace ExMid");
    ASSERT_NE(low, std::string::npos) << h;
    ASSERT_NE(mid, std::string::npos) << h;
    EXPECT_LT(low, mid);
}

TEST_F(ModelCompileTest, AResultPathBelowAFileFailsBeforeAnyFile) {
    const QString model = m_files.module("m.xml", "Geo", {}, kBody);
    const std::string file = m_files.write("plain", "x").toStdString();
    const std::string error = compile(model, file + "/out");
    EXPECT_TRUE(contains(error, file)) << error;
    struct stat info {};
    EXPECT_NE(::stat((file + "/out").c_str(), &info), 0);
}

TEST_F(ModelCompileTest, AFileThatCannotBeOpenedStopsBeforeTheNextOnes) {
    const QString model = m_files.module("m.xml", "Geo", {}, kBody);
    const std::string out = m_files.dir().toStdString() + "/out";
    const std::string include = out + "/m_DDS/include";
    m_files.write("out/m_DDS/include/m_DCPS.h/occupied", "");
    m_files.write("out/m_DDS/include/m_DCPS_Pack.h", "kept");
    m_files.write("out/m_DDS/include/m.h", "kept");
    EXPECT_EQ(compile(model, out), "Не смог открыть файл: " + include + "/m_DCPS.h");
    EXPECT_EQ(read(include + "/m_DCPS_Pack.h"), "kept");
    // Not even the files before it in the set are replaced.
    EXPECT_EQ(read(include + "/m.h"), "kept");
    EXPECT_EQ(::access((include + "/m.h.partial").c_str(), F_OK), -1);
}

// A run refused after its files were begun (here a cycle inside an included module, found when
// that module is compiled) leaves no directory or file it made.
TEST_F(ModelCompileTest, ARefusedRunLeavesTheResultDirectoryAsItWas) {
    const auto structure = [](const char* name, const char* type) {
        return QByteArray("<structure><name>") + name +
               "</name><memberAgregate><name>m</name><type>" + type +
               "</type><key>false</key><shared>false</shared><optional>false</optional>"
               "<definition></definition></memberAgregate><definition></definition>"
               "</structure>\n";
    };
    m_files.module("inc.xml", "Inc", {},
                   "<constructedtypes>" + structure("Aa", "Inc::Bb") + structure("Bb", "Inc::Aa") +
                       "</constructedtypes>\n");
    const QString model = m_files.module("m.xml", "Geo", {{"Inc", "inc.xml"}}, kBody);
    const std::string out = m_files.dir().toStdString() + "/out";
    EXPECT_NE(compile(model, out), "");
    EXPECT_EQ(::access(out.c_str(), F_OK), -1) << out;
}

TEST_F(ModelCompileTest, AFileThatCannotBeWrittenFailsTheRun) {
    if (::access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full";
    }
    const QString model = m_files.module("m.xml", "Geo", {}, kBody);
    const std::string out = m_files.dir().toStdString() + "/out";
    m_files.write("out/m_DDS/src/placeholder", "");
    // The file is written under its temporary name first.
    ASSERT_EQ(::symlink("/dev/full", (out + "/m_DDS/src/m.cpp.partial").c_str()), 0);
    EXPECT_EQ(compile(model, out), "Не смог записать файл: " + out + "/m_DDS/src/m.cpp");
    EXPECT_EQ(::access((out + "/m_DDS/src/m.cpp").c_str(), F_OK), -1);
}

}  // namespace
