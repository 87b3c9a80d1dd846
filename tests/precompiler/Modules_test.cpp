#include "ModelFiles.h"

#include "precompiler/frontend/ModelSchema.h"
#include "precompiler/frontend/Modules.h"
#include "precompiler/frontend/Reader.h"

#include "ZetException.h"

#include <string>
#include <vector>

using namespace EditorInternalTypes;

namespace {

class ModulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        m_reader.setModelDirectory(m_files.dir());
    }

    // Walks from the main file "main.xml" of namespace Main.
    void walk() {
        m_modules.setRootPair(Modules::NameSpaceFile("Main", "main.xml"));
        EXPECT_EQ(m_modules.FillVectorNameSpaces_FileModules("main.xml"), 0);
    }

    std::string walkFailure() {
        try {
            walk();
        } catch (const NLX::ZetException& error) {
            return error.what();
        }
        return "(no failure)";
    }

    std::vector<std::string> pairs() const {
        std::vector<std::string> result;
        for (const auto& pair : m_modules.namespaceFiles()) {
            result.push_back((pair.first + "|" + pair.second).toStdString());
        }
        return result;
    }

    std::vector<std::string> namespaces() const {
        std::vector<std::string> result;
        for (const VEXA_Types& model : m_modules.moduleModels()) {
            result.push_back(model.m_namespace.toStdString());
        }
        return result;
    }

    ModelFiles m_files;
    Reader m_reader{nullptr, nullptr, nullptr, nullptr};
    Modules m_modules{&m_reader, nullptr};
};

const char* const PREFIX = "Ошибка: Modules::FillVectorNameSpaces_FileModules. ";

// Nesting deep enough to exhaust the DOM parser's stack, after an undeclared entity: the DOM
// parser takes the entity, a streaming reader stops at it.
QByteArray deepBehindUndeclaredEntity() {
    const int depth = 200000;
    return "<module><namespace>Deep</namespace>&undeclared;" + QByteArray("<a>").repeated(depth) +
           QByteArray("</a>").repeated(depth) + "</module>";
}

TEST_F(ModulesTest, IncludesAreWalkedDepthFirstAndEnteredOnce) {
    m_files.module("main.xml", "Main", {{"A", "a.xml"}, {"B", "b.xml"}});
    m_files.module("a.xml", "A", {{"C", "c.xml"}});
    m_files.module("b.xml", "B", {{"C", "c.xml"}, {"A", "a.xml"}});
    m_files.module("c.xml", "C", {{"B", "b.xml"}});  // a cycle between modules ends as well
    walk();
    EXPECT_EQ(pairs(),
              (std::vector<std::string>{"Main|main.xml", "A|a.xml", "C|c.xml", "B|b.xml"}));
    EXPECT_TRUE(m_modules.ReadAllModulesFromFiles());
    // Read in the order the walk finished them; the cycle is cut where it closes.
    EXPECT_EQ(namespaces(), (std::vector<std::string>{"B", "C", "A"}));
}

// A module is compiled after every module it includes, however deep or shared the include.
TEST_F(ModulesTest, ModulesAreReadAfterTheModulesTheyInclude) {
    m_files.module("main.xml", "Main", {{"Mid", "mid.xml"}, {"Side", "side.xml"}});
    m_files.module("mid.xml", "Mid", {{"Low", "low.xml"}});
    m_files.module("side.xml", "Side", {{"Low", "low.xml"}, {"Leaf", "leaf.xml"}});
    m_files.module("low.xml", "Low", {});
    m_files.module("leaf.xml", "Leaf", {});
    walk();
    EXPECT_TRUE(m_modules.ReadAllModulesFromFiles());
    EXPECT_EQ(namespaces(), (std::vector<std::string>{"Low", "Mid", "Leaf", "Side"}));
}

TEST_F(ModulesTest, ModuleFilesAreLookedForBesideTheMainFile) {
    m_files.module("main.xml", "Main", {{"Geo", "sub/geo.xml"}, {"Far", "/elsewhere/far.xml"}});
    m_files.module("geo.xml", "Geo", {});
    m_files.module("sub/geo.xml", "NotThisOne", {});
    m_files.module("far.xml", "Far", {});
    walk();
    EXPECT_EQ(pairs(), (std::vector<std::string>{"Main|main.xml", "Geo|geo.xml", "Far|far.xml"}));
    m_modules.ReadAllModulesFromFiles();
    EXPECT_EQ(m_modules.moduleModels()[0].m_namespace, "Geo");
}

TEST_F(ModulesTest, InconsistentIncludesAreRefused) {
    struct Case {
        const char* name;
        std::vector<std::pair<QString, QByteArray>> files;  // besides main.xml
        std::vector<ModelFiles::Include> mainIncludes;
        std::string expected;
    };
    const QByteArray twoLabels =
        "<module><namespace>Bad</namespace><constructedtypes><union><mapUnion>"
        "<valueDiscriminant>1</valueDiscriminant><valueDiscriminant>2</valueDiscriminant>"
        "</mapUnion></union></constructedtypes></module>";
    const QByteArray hiddenDepth = deepBehindUndeclaredEntity();
    const Case cases[] = {
        {"include of the root namespace, further down",
         {{"a.xml",
           "<module><namespace>A</namespace><includedModule><includeNamespace>Main"
           "</includeNamespace><includeFile>x.xml</includeFile></includedModule>"
           "</module>"}},
         {{"A", "a.xml"}},
         std::string(PREFIX) + "Вложенный модуль 'a.xml' содержат ссылку на корневой модуль "
                               "'x.xml', что недопустимо."},
        {"one namespace in two files",
         {{"geo1.xml", "<module/>"}, {"geo2.xml", "<module/>"}},
         {{"Geo", "geo1.xml"}, {"Geo", "geo2.xml"}},
         std::string(PREFIX) + "Файл 'geo2.xml' содержит название пространства имен 'Geo' уже "
                               "использованное в другом, ранее загруженном модуле."},
        {"missing module",
         {},
         {{"Geo", "none.xml"}},
         std::string(PREFIX) + "Файл модуля: 'none.xml' не может быть открыт для чтения!"},
        {"malformed module",
         {{"bad.xml", "<module><namespace>Bad</module>"}},
         {{"Bad", "bad.xml"}},
         std::string(PREFIX) + "Файл 'bad.xml' содержит ошибочный XML формат: в строке 1"},
        {"module refused by the schema",
         {{"bad.xml", twoLabels}},
         {{"Bad", "bad.xml"}},
         std::string(PREFIX) + "Файл 'bad.xml' не прошел валидацию в строке 1 колонке"},
        {"module nested too deep",
         {{"deep.xml", "<module>" + QByteArray("<a>").repeated(100) +
                           QByteArray("</a>").repeated(100) + "</module>"}},
         {{"Deep", "deep.xml"}},
         std::string(PREFIX) + "Файл 'deep.xml' содержит ошибочный XML формат: в строке 1"},
        {"module nested too deep behind an error the screen stops at",
         {{"deep.xml", hiddenDepth}},
         {{"Deep", "deep.xml"}},
         std::string(PREFIX) + "Файл 'deep.xml' содержит ошибочный XML формат: в строке 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModelFiles files;
        m_reader.setModelDirectory(files.dir());
        Modules modules(&m_reader, nullptr);
        files.module("main.xml", "Main", c.mainIncludes);
        for (const auto& file : c.files) {
            files.write(file.first, file.second);
        }
        modules.setRootPair(Modules::NameSpaceFile("Main", "main.xml"));
        try {
            modules.FillVectorNameSpaces_FileModules("main.xml");
            ADD_FAILURE() << "no failure";
        } catch (const NLX::ZetException& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, c.expected.size()), c.expected)
                << error.what();
        }
    }
}

TEST_F(ModulesTest, MainFileThatCannotBeOpened) {
    m_modules.setRootPair(Modules::NameSpaceFile("Main", "main.xml"));
    EXPECT_EQ(m_modules.FillVectorNameSpaces_FileModules("main.xml"), 3);
    try {
        m_modules.ReadNameSpaceFromModule("main.xml");
        FAIL() << "no failure";
    } catch (const NLX::ZetException& error) {
        EXPECT_EQ(std::string(error.what()),
                  std::string(PREFIX) + "Файл 'main.xml' не может быть открыт для чтения!");
    }
}

std::string g_executable;
std::string fakeExecutable() {
    return g_executable;
}

// The walk finds its schema through the same seam as the reader, and words its own errors.
TEST_F(ModulesTest, SchemaBesideTheProgramIsTheOneUsed) {
    m_files.module("main.xml", "Main", {});
    const QString missing = m_files.dir() + "/bare";
    const QString broken = m_files.dir() + "/broken";
    m_files.write("broken/resource/VEXA_DataTypes.xsd",
                  "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'><xs:element/>"
                  "</xs:schema>");
    // Accepts only an empty module, so the main file above fails against it.
    const QString strict = m_files.dir() + "/strict";
    m_files.write("strict/resource/VEXA_DataTypes.xsd",
                  "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
                  "<xs:element name='module'><xs:complexType/></xs:element></xs:schema>");
    QDir().mkpath(missing);
    const struct {
        const char* name;
        QString programDir;
        std::string expected;  // beginning of the text
    } cases[] = {
        {"program in /", "", std::string(PREFIX) + "Путь к файлу схемы: /tessgen не найден"},
        {"schema missing", missing,
         std::string(PREFIX) +
             "Файл схемы './xml/VEXA_DataTypes.xsd'' не может быть открыт для чтения!"},
        {"schema broken", broken,
         std::string(PREFIX) + "Файл схемы '" + broken.toStdString() +
             "/resource/VEXA_DataTypes.xsd' не прошел валидацию в строке "},
        {"model refused by that schema", strict,
         std::string(PREFIX) + "Файл 'main.xml' не прошел валидацию в строке "},
    };
    ModelSchema::setExecutablePathSource(&fakeExecutable);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_executable = (c.programDir + "/tessgen").toStdString();
        const std::string text = walkFailure();
        EXPECT_EQ(text.substr(0, c.expected.size()), c.expected) << text;
    }
    ModelSchema::setExecutablePathSource(nullptr);
    EXPECT_EQ(walkFailure(), "(no failure)");
}

TEST_F(ModulesTest, IncludeChainsHaveALimit) {
    const int files = Modules::MAX_INCLUDE_DEPTH + 2;
    for (int i = 0; i < files; ++i) {
        const std::string next = "m" + std::to_string(i + 1) + ".xml";
        const std::string nameSpace = "N" + std::to_string(i + 1);
        m_files.module(i == 0 ? "main.xml" : QString("m%1.xml").arg(i),
                       i == 0 ? "Main" : QString("N%1").arg(i).toUtf8().constData(),
                       {{nameSpace.c_str(), next.c_str()}});
    }
    EXPECT_NE(walkFailure().find("Модули вложены глубже"), std::string::npos);
}

TEST_F(ModulesTest, NamespaceOfAFile) {
    const struct {
        const char* name;
        QByteArray xml;
        const char* expected;
    } cases[] = {
        {"first namespace",
         "<module><x/><namespace>Geo</namespace><namespace>B</namespace></module>", "Geo"},
        {"none", "<module><name>Geo</name></module>", ""},
        {"nested one does not count", "<module><a><namespace>Geo</namespace></a></module>", ""},
        {"malformed", "<module><namespace>Geo</module>", ""},
        {"nested too deep behind an error", deepBehindUndeclaredEntity(), ""},
    };
    for (const auto& c : cases) {
        m_files.write("n.xml", c.xml);
        EXPECT_EQ(m_modules.ReadNameSpaceFromModule("n.xml").toStdString(), c.expected) << c.name;
    }
}

TEST_F(ModulesTest, ModuleNamesAreQualifiedWithTheFilesOwnNamespace) {
    m_files.module("main.xml", "Main", {{"Geo", "geo.xml"}});
    // Included as Geo, but the file itself says Map: Map counts.
    m_files.module("geo.xml", "Map", {}, R"(
  <primitivetypes><primitive><name>Count</name><type>Int32</type></primitive></primitivetypes>
  <constructedtypes>
    <enumeration><name>Mode</name><type>Int16</type></enumeration>
    <map><name>Table</name><typeElement>Point</typeElement><typeMapKey>Int32</typeMapKey></map>
    <sequence><name>Points</name><seqType>Other::Point</seqType></sequence>
    <array><name>Grid</name><type>String8</type><bounds>2 3</bounds></array>
    <string><name>Label</name><type>Char8</type></string>
    <bitSet><name>Flags</name><bound>3</bound></bitSet>
    <alias><name>Place</name><type>Point</type></alias>
    <union><nameUnion>Choice</nameUnion><typeDiscriminant>Mode</typeDiscriminant>
      <mapUnion><valueDiscriminant>A</valueDiscriminant>
        <memberAgregate><name>a</name><type>Point</type></memberAgregate></mapUnion></union>
    <structure><name>Point</name>
      <memberAgregate><name>x</name><type>Int16</type></memberAgregate>
      <memberAgregate><name>near</name><type>Place</type></memberAgregate>
      <memberAgregate><name>far</name><type>Other::Point</type></memberAgregate>
    </structure>
  </constructedtypes>
  <topicDataType><structName>Point</structName><keys><key>x</key></keys></topicDataType>
  <topicDataType><structName>Int32</structName></topicDataType>
)");
    walk();
    m_modules.ReadAllModulesFromFiles();
    m_modules.SetNameSpaces();
    const VEXA_Types& geo = m_modules.moduleModels()[0];
    EXPECT_EQ(geo.m_primitives[0].m_name, "Count");  // primitives stay
    EXPECT_EQ(geo.m_enumerations[0].m_name, "Map::Mode");
    EXPECT_EQ(geo.m_maps[0].m_name, "Map::Table");
    EXPECT_EQ(geo.m_maps[0].m_typeElement, "Map::Point");
    EXPECT_EQ(geo.m_maps[0].m_typeMapKey, "Int32");
    EXPECT_EQ(geo.m_sequences[0].m_seqType, "Other::Point");
    EXPECT_EQ(geo.m_arrays[0].m_name, "Map::Grid");
    EXPECT_EQ(geo.m_arrays[0].m_type, "String8");
    EXPECT_EQ(geo.m_arrays[0].m_bounds, "2 3");
    EXPECT_EQ(geo.m_strings[0].m_name, "Map::Label");
    EXPECT_EQ(geo.m_strings[0].m_type, "Char8");
    EXPECT_EQ(geo.m_bitSets[0].m_name, "Map::Flags");
    EXPECT_EQ(geo.m_aliases[0].m_type, "Map::Point");
    EXPECT_EQ(geo.m_unions[0].m_nameUnion, "Map::Choice");
    EXPECT_EQ(geo.m_unions[0].m_typeDiscriminant, "Map::Mode");
    EXPECT_EQ(geo.m_unions[0].m_cases[0].first, "A");
    EXPECT_EQ(geo.m_unions[0].m_cases[0].second.m_type, "Map::Point");
    const StructureQ& point = geo.m_structures[0];
    EXPECT_EQ(point.m_name, "Map::Point");
    EXPECT_EQ(point.m_members[0].m_type, "Int16");
    EXPECT_EQ(point.m_members[1].m_type, "Map::Place");
    EXPECT_EQ(point.m_members[2].m_type, "Other::Point");
    EXPECT_EQ(point.m_members[0].m_name, "x");
    EXPECT_EQ(geo.m_topicTypes[0].m_structName, "Map::Point");
    EXPECT_EQ(geo.m_topicTypes[0].m_keys, "x");
    EXPECT_EQ(geo.m_topicTypes[1].m_structName, "Map::Int32");  // no basic-name test here

    VEXA_Types all;
    all.m_namespace = "Untouched";
    StructureQ own;
    own.m_name = "Own";
    all.m_structures.append(own);
    m_modules.CopyModulesDataTypesInMainList(&all);
    EXPECT_EQ(all.m_namespace, "Untouched");
    EXPECT_TRUE(all.m_primitives.isEmpty());
    ASSERT_EQ(all.m_structures.size(), 2);
    EXPECT_EQ(all.m_structures[1].m_name, "Map::Point");
    EXPECT_EQ(all.getAllTypesNames(),
              (QStringList{"Map::Mode", "Map::Table", "Map::Points", "Map::Grid", "Map::Label",
                           "Map::Flags", "Map::Place", "Map::Choice", "Own", "Map::Point"}));
    EXPECT_EQ(all.m_topicTypes.size(), 2);
}

TEST_F(ModulesTest, ModelWithoutIncludes) {
    m_files.module("main.xml", "Main", {});
    walk();
    EXPECT_EQ(pairs(), std::vector<std::string>{"Main|main.xml"});
    EXPECT_TRUE(m_modules.ReadAllModulesFromFiles());
    EXPECT_TRUE(m_modules.moduleModels().isEmpty());
    VEXA_Types all;
    m_modules.CopyModulesDataTypesInMainList(&all);
    EXPECT_TRUE(all.getAllTypesNames().isEmpty());
}

}  // namespace
