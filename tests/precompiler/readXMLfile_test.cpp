#include "precompiler/frontend/readXMLfile.h"

#include "precompiler/frontend/Reader.h"

#include "ZetException.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <sys/stat.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

using namespace EditorInternalTypes;

namespace {

const QString SOURCE_DIR = QStringLiteral(VEXA_SOURCE_DIR);

std::string g_executable;
std::string fakeExecutable() {
    return g_executable;
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(content.size(), file.write(content));
}

// A schema that accepts any document, whatever its root: lets a test reach the walk.
const QByteArray ANY_ROOT_SCHEMA =
    "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
    "<xs:complexType name='Any'><xs:sequence>"
    "<xs:any processContents='skip' minOccurs='0' maxOccurs='unbounded'/>"
    "</xs:sequence></xs:complexType>"
    "<xs:element name='module' type='Any'/><xs:element name='Module' type='Any'/>"
    "</xs:schema>";

class ReadXmlFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "test_precompiler";
            static char* argv[] = {name, nullptr};
            static QCoreApplication application(argc, argv);
        }
    }

    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        m_modelDir = m_temp.path() + "/models";
        ASSERT_TRUE(QDir().mkpath(m_modelDir));
        m_reader.setModelDirectory(m_modelDir);
        runFrom(SOURCE_DIR);  // the repository's resource/ holds the real schema
    }

    void TearDown() override { readXMLfile::setExecutablePathSource(nullptr); }

    // Makes the reader believe the program lies in dir, so the schema is dir/resource/...
    static void runFrom(const QString& dir) {
        g_executable = (dir + "/tessgen").toStdString();
        readXMLfile::setExecutablePathSource(&fakeExecutable);
    }

    // A directory holding resource/VEXA_DataTypes.xsd with the given text.
    QString programDirWithSchema(const char* name, const QByteArray& schema) {
        const QString dir = m_temp.path() + "/" + name;
        QDir().mkpath(dir + "/resource");
        writeFile(dir + "/resource/VEXA_DataTypes.xsd", schema);
        return dir;
    }

    QString putModel(const QString& name, const QByteArray& xml) {
        const QString path = m_modelDir + "/" + name;
        writeFile(path, xml);
        return path;
    }

    // Reads one document from the model directory through both stages.
    VEXA_Types readDocument(const QByteArray& xml) {
        putModel("m.xml", xml);
        VEXA_Types model;
        readXMLfile reader(&model, &m_reader, nullptr);
        reader.ReadXmlDataFile("m.xml", QString());
        EXPECT_TRUE(reader.isRead());
        reader.traverseNode();
        return model;
    }

    // The text of the exception that reading (and walking) the named file ends with.
    std::string failureOf(const QString& fileName, bool mainForm) {
        VEXA_Types model;
        readXMLfile reader(&model, &m_reader, nullptr);
        try {
            if (mainForm) {
                reader.ReadXmlDataFile(fileName, m_modelDir);
            } else {
                reader.ReadXmlDataFile(fileName);
            }
            reader.traverseNode();
        } catch (const NLX::ZetException& error) {
            EXPECT_TRUE(model.m_namespace.isEmpty()) << "nothing is stored on failure";
            return error.what();
        }
        return "(no failure)";
    }

    QTemporaryDir m_temp;
    QString m_modelDir;
    Reader m_reader{nullptr, nullptr, nullptr, nullptr};
};

std::string utf8(const QString& text) {
    return text.toStdString();
}

QByteArray fileContents(const char* fixture) {
    QFile file(SOURCE_DIR + "/tests/precompiler/fixtures/" + fixture);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << fixture;
    return file.readAll();
}

TEST_F(ReadXmlFileTest, EachFailureGivesItsMessage) {
    const QString noSchemaDir = m_temp.path() + "/bare";
    QDir().mkpath(noSchemaDir);
    const QString brokenDir = programDirWithSchema(
        "broken",
        "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'><xs:element/></xs:schema>");
    const QString anyRootDir = programDirWithSchema("anyroot", ANY_ROOT_SCHEMA);
    putModel("model.xml", "<module><namespace>N</namespace></module>");
    putModel("bad.xml", "<module><namespace>N</module>");
    putModel("Module.xml", "<Module><namespace>N</namespace></Module>");
    const QString schema = noSchemaDir + "/resource/VEXA_DataTypes.xsd";

    struct Case {
        const char* what;
        std::string executable;
        QString fileName;
        bool mainForm;
        std::string expected;  // whole text, or its beginning when it ends with "..."
    };
    const Case cases[] = {
        {"program in /", "/tessgen", "model.xml", true,
         "Ошибка: readXMLfile::ReadXmlDataFile. Путь к файлу схемы: /tessgen не найден"},
        {"program path unreadable", "", "model.xml", true,
         "Ошибка: readXMLfile::ReadXmlDataFile. Путь к файлу схемы:  не найден"},
        {"schema missing, main file", utf8(noSchemaDir + "/tessgen"), "model.xml", true,
         "Ошибка:readXMLfile::ReadXmlDataFile. Файл схемы: " + utf8(schema) +
             " не может быть открыт для чтения!"},
        {"schema missing, module file", utf8(noSchemaDir + "/tessgen"), "model.xml", false,
         "Ошибка:readXMLfile::ReadXmlDataFile. Файл схемы: " + utf8(schema) +
             " не может быть открыт для чтения."},
        {"schema missing and model missing", utf8(noSchemaDir + "/tessgen"), "none.xml", true,
         "Ошибка:readXMLfile::ReadXmlDataFile. Файл схемы: ..."},
        {"schema broken", utf8(brokenDir + "/tessgen"), "model.xml", true,
         "Ошибка: readXMLfile::ReadXmlDataFile. Файл схемы " + utf8(brokenDir) +
             "/resource/VEXA_DataTypes.xsd не прошел валидацию:  в строке = ..."},
        {"model missing", utf8(SOURCE_DIR + "/tessgen"), "none.xml", true,
         "Ошибка: readXMLfile::ReadXmlDataFile. Файл " + utf8(m_modelDir) +
             "/none.xml не может быть открыт для чтения!"},
        {"model not well-formed", utf8(SOURCE_DIR + "/tessgen"), "bad.xml", true,
         "Ошибка: readXMLfile::ReadXmlDataFile. Файл " + utf8(m_modelDir) +
             "/bad.xml содержит ошибочный XML формат: ..."},
        {"model violates the schema", utf8(SOURCE_DIR + "/tessgen"),
         SOURCE_DIR + "/tests/precompiler/fixtures/invalid.xml", true,
         "Ошибка: readXMLfile::ReadXmlDataFile. Файл " + utf8(SOURCE_DIR) +
             "/tests/precompiler/fixtures/invalid.xml не прошел валидацию: Element namespace "
             "contains not allowed child element. в строке = 4 и колонке = ..."},
        {"root is not module", utf8(anyRootDir + "/tessgen"), "Module.xml", true,
         "Ошибка: readXMLfile::traverseNode. Первый тег Module не является 'module!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_executable = c.executable;
        const std::string text = failureOf(c.fileName, c.mainForm);
        const std::string dots = "...";
        if (c.expected.size() > dots.size() &&
            c.expected.compare(c.expected.size() - dots.size(), dots.size(), dots) == 0) {
            const std::string head = c.expected.substr(0, c.expected.size() - dots.size());
            EXPECT_EQ(head, text.substr(0, head.size())) << text;
        } else {
            EXPECT_EQ(c.expected, text);
        }
    }
}

TEST_F(ReadXmlFileTest, PositionsOfParserAndValidatorAreReported) {
    putModel("bad.xml", "<module>\n  <namespace>N</module>");
    EXPECT_NE(std::string::npos, failureOf("bad.xml", true).find(" в строке = 2 и колонке = "));
    // Validator messages come as plain text, not as the engine's markup.
    const std::string invalid =
        failureOf(SOURCE_DIR + "/tests/precompiler/fixtures/invalid.xml", true);
    EXPECT_EQ(std::string::npos, invalid.find('<')) << invalid;
}

TEST_F(ReadXmlFileTest, ExistingFilesThatAreNoModelAreRefusedWithoutHanging) {
    ASSERT_EQ(0, ::mkfifo((m_modelDir + "/fifo.xml").toLocal8Bit().constData(), 0600));
    QDir().mkpath(m_modelDir + "/dir.xml");
    for (const char* name : {"fifo.xml", "dir.xml"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(std::string::npos,
                  failureOf(name, true).find(" не может быть открыт для чтения!"));
    }
}

TEST_F(ReadXmlFileTest, DocumentsTheParsersCannotBearAreRefusedAsMalformed) {
    QByteArray deep = "<module><namespace>";
    for (int i = 0; i < 100000; ++i) {
        deep += "<a>";
    }
    const QByteArray entities =
        "<?xml version='1.0'?>\n<!DOCTYPE module [<!ENTITY a 'aaaaaaaaaa'>"
        "<!ENTITY b "
        "'&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'>]>\n<module><namespace>&b;</namespace></module>";
    putModel("deep.xml", deep);
    putModel("dtd.xml", entities);
    EXPECT_NE(std::string::npos,
              failureOf("deep.xml", true).find("содержит ошибочный XML формат: элементы вложены"));
    EXPECT_NE(std::string::npos,
              failureOf("dtd.xml", true).find("содержит ошибочный XML формат: объявление DTD"));
    // Real models are far from the limit.
    QByteArray nested =
        "<module><constructedtypes><union><mapUnion><valueDiscriminant>1"
        "</valueDiscriminant><memberAgregate><name>m</name></memberAgregate>"
        "</mapUnion></union></constructedtypes></module>";
    EXPECT_EQ(1, readDocument(nested).m_unions.size());
}

TEST_F(ReadXmlFileTest, SchemaHintsInTheModelAreNotFollowed) {
    // A hinted schema that would refuse the document, if it were loaded.
    const QString strict = programDirWithSchema(
        "hint",
        "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
        "<xs:element name='module'><xs:complexType/></xs:element></xs:schema>");
    const QByteArray xml =
        "<module xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' "
        "xsi:noNamespaceSchemaLocation='" +
        QUrl::fromLocalFile(strict + "/resource/VEXA_DataTypes.xsd").toEncoded() +
        "'><namespace>N</namespace></module>";
    EXPECT_EQ(QStringLiteral("N"), readDocument(xml).m_namespace);
}

TEST_F(ReadXmlFileTest, MainFileByRelativeNameIsLookedUpByItsLastComponent) {
    const QString inModelDir = putModel("x.xml", "<module><namespace>Here</namespace></module>");
    VEXA_Types model;
    readXMLfile reader(&model, &m_reader, nullptr);
    reader.ReadXmlDataFile("sub/x.xml", QString());  // sub/ does not exist: it is dropped
    reader.traverseNode();
    EXPECT_EQ(inModelDir, reader.fileName());
    EXPECT_EQ(QStringLiteral("Here"), model.m_namespace);
}

TEST_F(ReadXmlFileTest, AbsoluteNameIsKeptForTheMainFileOnly) {
    putModel("x.xml", "<module><namespace>ModelDir</namespace></module>");
    const QString elsewhere = m_temp.path() + "/elsewhere";
    QDir().mkpath(elsewhere);
    writeFile(elsewhere + "/x.xml", "<module><namespace>Elsewhere</namespace></module>");

    VEXA_Types mainModel;
    readXMLfile mainReader(&mainModel, &m_reader, nullptr);
    mainReader.ReadXmlDataFile(elsewhere + "/x.xml", QString());
    mainReader.traverseNode();
    EXPECT_EQ(QStringLiteral("Elsewhere"), mainModel.m_namespace);

    // An included module always comes from the model directory.
    VEXA_Types module;
    readXMLfile moduleReader(&module, &m_reader, nullptr);
    moduleReader.ReadXmlDataFile(elsewhere + "/x.xml");
    moduleReader.traverseNode();
    EXPECT_EQ(QStringLiteral("ModelDir"), module.m_namespace);
    EXPECT_EQ(m_modelDir + "/x.xml", moduleReader.fileName());
}

TEST_F(ReadXmlFileTest, MissingIncludedModuleIsReportedByTheModuleForm) {
    const VEXA_Types main = readDocument(fileContents("includes_missing.xml"));
    ASSERT_EQ(1, main.m_includedModules.size());
    EXPECT_EQ(QStringLiteral("Gone"), main.m_includedModules[0].m_includeNamespace);
    EXPECT_EQ("Ошибка: readXMLfile::ReadXmlDataFile. Файл " + utf8(m_modelDir) +
                  "/gone.xml не может быть открыт для чтения!",
              failureOf(main.m_includedModules[0].m_includeFile, false));
}

TEST_F(ReadXmlFileTest, EveryElementKindLandsInItsRecord) {
    const VEXA_Types m = readDocument(fileContents("valid.xml"));

    EXPECT_EQ(QStringLiteral("Geo"), m.m_namespace);
    EXPECT_EQ(QStringLiteral("Geometry"), m.m_modelName);
    EXPECT_EQ(QStringLiteral("Проверка"), m.m_purpose);
    EXPECT_EQ(QStringLiteral("2.1"), m.m_version);
    EXPECT_EQ(QStringLiteral("2024-01-02"), m.m_modificationDate);
    EXPECT_EQ(QStringLiteral("Все виды"), m.m_description);

    ASSERT_EQ(2, m.m_includedModules.size());
    EXPECT_EQ(QStringLiteral("Base"), m.m_includedModules[0].m_includeNamespace);
    EXPECT_EQ(QStringLiteral("base.xml"), m.m_includedModules[0].m_includeFile);
    EXPECT_EQ(QStringLiteral("первый"), m.m_includedModules[0].m_annotations);
    EXPECT_EQ(QStringLiteral("sub/extra.xml"), m.m_includedModules[1].m_includeFile);

    ASSERT_EQ(1, m.m_primitives.size());
    EXPECT_EQ(QStringLiteral("Flag"), m.m_primitives[0].m_name);
    EXPECT_EQ(1, m.m_primitives[0].m_kind);
    EXPECT_EQ(QStringLiteral("true"), m.m_primitives[0].m_key);

    ASSERT_EQ(1, m.m_enumerations.size());
    const Enumeration& e = m.m_enumerations[0];
    EXPECT_EQ(QStringLiteral("final"), e.m_extensibility);
    EXPECT_EQ(QStringLiteral("UInt16"), e.m_type);
    ASSERT_EQ(2, e.m_enumerators.size());
    EXPECT_EQ(QStringLiteral("RED"), e.m_enumerators[0].m_name);
    EXPECT_EQ(QStringLiteral("Красный"), e.m_enumerators[0].m_definition);
    EXPECT_EQ(QStringLiteral("2"), e.m_enumerators[1].m_value);
    EXPECT_EQ(QStringLiteral("Цвет"), e.m_definition);

    ASSERT_EQ(1, m.m_maps.size());
    EXPECT_EQ(QStringLiteral("Point"), m.m_maps[0].m_typeElement);
    EXPECT_EQ(QStringLiteral("Int32"), m.m_maps[0].m_typeMapKey);
    EXPECT_EQ(QStringLiteral("10"), m.m_maps[0].m_elementMaxLength);
    EXPECT_EQ(QStringLiteral("true"), m.m_maps[0].m_shared);

    ASSERT_EQ(1, m.m_sequences.size());
    EXPECT_EQ(QStringLiteral("-1"), m.m_sequences[0].m_memberMaxLength);
    EXPECT_EQ(QStringLiteral("Point"), m.m_sequences[0].m_seqType);

    ASSERT_EQ(1, m.m_arrays.size());
    EXPECT_EQ(QStringLiteral("3 4"), m.m_arrays[0].m_bounds);
    EXPECT_EQ(QStringLiteral("Int16"), m.m_arrays[0].m_type);

    ASSERT_EQ(1, m.m_strings.size());
    EXPECT_EQ(QStringLiteral("20"), m.m_strings[0].m_maxLength);
    EXPECT_EQ(QStringLiteral("Char8"), m.m_strings[0].m_type);
    EXPECT_TRUE(m.m_editorStrings.isEmpty());

    ASSERT_EQ(1, m.m_bitSets.size());
    EXPECT_EQ(QStringLiteral("16"), m.m_bitSets[0].m_bound);
    ASSERT_EQ(2, m.m_bitSets[0].m_bitElements.size());
    EXPECT_EQ(QStringLiteral("HIGH"), m.m_bitSets[0].m_bitElements[1].m_name);
    EXPECT_EQ(QStringLiteral("15"), m.m_bitSets[0].m_bitElements[1].m_flush);

    ASSERT_EQ(1, m.m_aliases.size());
    EXPECT_EQ(QStringLiteral("Coord"), m.m_aliases[0].m_name);
    EXPECT_EQ(QStringLiteral("Int32"), m.m_aliases[0].m_type);

    ASSERT_EQ(1, m.m_unions.size());
    const Union& u = m.m_unions[0];
    EXPECT_EQ(QStringLiteral("Shape"), u.m_nameUnion);
    EXPECT_EQ(QStringLiteral("Int32"), u.m_typeDiscriminant);
    ASSERT_EQ(2, u.m_cases.size());
    EXPECT_EQ(QStringLiteral("1"), u.m_cases[0].first);  // label after the member
    EXPECT_EQ(QStringLiteral("circle"), u.m_cases[0].second.m_name);
    EXPECT_EQ(QStringLiteral("true"), u.m_cases[0].second.m_default);
    EXPECT_EQ(QStringLiteral("2"), u.m_cases[1].first);
    EXPECT_EQ(QStringLiteral("square"), u.m_cases[1].second.m_name);
    ASSERT_EQ(1, u.m_verbatims.size());
    EXPECT_EQ(QStringLiteral("before"), u.m_verbatims[0].m_placement);

    ASSERT_EQ(1, m.m_structures.size());
    const StructureQ& s = m.m_structures[0];
    ASSERT_EQ(2, s.m_members.size());
    const QMemberAgregate& x = s.m_members[0];
    EXPECT_EQ(QStringLiteral("x"), x.m_name);
    EXPECT_EQ(QStringLiteral("Int32"), x.m_type);
    EXPECT_EQ(QStringLiteral("true"), x.m_key);
    EXPECT_EQ(QStringLiteral("false"), x.m_shared);
    EXPECT_EQ(QStringLiteral("false"), x.m_optional);
    EXPECT_EQ(QStringLiteral("false"), x.m_default);
    EXPECT_EQ(QStringLiteral("Абсцисса"), x.m_definition);
    EXPECT_EQ(QStringLiteral("Coord"), s.m_members[1].m_type);
    ASSERT_EQ(1, s.m_verbatims.size());
    EXPECT_EQ(QStringLiteral("// p"), s.m_verbatims[0].m_text);
    EXPECT_EQ(QStringLiteral("c++"), s.m_verbatims[0].m_language);

    ASSERT_EQ(1, m.m_topicTypes.size());
    EXPECT_EQ(QStringLiteral("Point"), m.m_topicTypes[0].m_structName);
    EXPECT_EQ(QStringLiteral("x, y"), m.m_topicTypes[0].m_keys);
    EXPECT_EQ(QStringLiteral("Точки"), m.m_topicTypes[0].m_definition);
}

TEST_F(ReadXmlFileTest, WalkRulesForRepetitionAbsenceAndUnknownNames) {
    // An empty root gives an empty model.
    const VEXA_Types empty = readDocument("<module/>");
    EXPECT_TRUE(empty.m_namespace.isEmpty());
    EXPECT_TRUE(empty.m_modelName.isEmpty());
    EXPECT_TRUE(empty.getAllTypesNames().isEmpty());
    EXPECT_TRUE(empty.m_topicTypes.isEmpty());

    // The last occurrence of a section or a leaf wins.
    const VEXA_Types twice = readDocument(
        "<module><namespace>First</namespace><namespace>Second</namespace>"
        "<modelIdentification><name>A</name><version>1</version></modelIdentification>"
        "<modelIdentification><name>B</name><name>C</name></modelIdentification></module>");
    EXPECT_EQ(QStringLiteral("Second"), twice.m_namespace);
    EXPECT_EQ(QStringLiteral("C"), twice.m_modelName);
    EXPECT_TRUE(twice.m_version.isEmpty()) << "a replaced section leaves nothing behind";

    // Kinds are read in a fixed order, whatever the document's; a tag differing in case only
    // is not the leaf.
    const VEXA_Types ordered = readDocument(
        "<module><constructedtypes><structure><name>S</name></structure>"
        "<enumeration><name>E</name></enumeration>"
        "<alias><Name>Wrong</Name><type>Int32</type></alias>"
        "<Structure><name>Skipped</name></Structure></constructedtypes></module>");
    EXPECT_EQ(QStringList({"E", "", "S"}), ordered.getAllTypesNames());

    // Texts are kept as they are: blanks, CDATA, entities; comments and attributes are not text.
    const VEXA_Types texts = readDocument(
        "<module><namespace a='x'> A<!-- c --><![CDATA[<b>]]>&amp; </namespace></module>");
    EXPECT_EQ(QStringLiteral(" A<b>& "), texts.m_namespace);

    // Text between elements is ignored wherever it stands, a union case included.
    const VEXA_Types between = readDocument(
        "<module>m<constructedtypes>c<union>u<nameUnion>U</nameUnion>"
        "<mapUnion>case<valueDiscriminant>1</valueDiscriminant>:"
        "<memberAgregate>x<name>m</name></memberAgregate>.</mapUnion>"
        "</union></constructedtypes></module>");
    ASSERT_EQ(1, between.m_unions.size());
    ASSERT_EQ(1, between.m_unions[0].m_cases.size());
    EXPECT_EQ(QStringLiteral("1"), between.m_unions[0].m_cases[0].first);
    EXPECT_EQ(QStringLiteral("m"), between.m_unions[0].m_cases[0].second.m_name);
}

TEST_F(ReadXmlFileTest, KeysAndCaseMembersJoinAsTheWalkDefines) {
    const VEXA_Types m = readDocument(
        "<module><topicDataType><structName>T</structName>"
        "<keys><key>a</key></keys><keys><key>b</key><key>c</key><key>d</key></keys>"
        "</topicDataType><topicDataType><keys/></topicDataType>"
        "<constructedtypes><union><nameUnion>U</nameUnion><mapUnion>"
        "<memberAgregate><name>m</name><type>Int32</type></memberAgregate>"
        "<valueDiscriminant>7</valueDiscriminant>"
        "<memberAgregate><type>Int64</type></memberAgregate>"
        "</mapUnion></union></constructedtypes></module>");
    ASSERT_EQ(2, m.m_topicTypes.size());
    EXPECT_EQ(QStringLiteral("b, c, d"), m.m_topicTypes[0].m_keys) << "the last keys element";
    EXPECT_TRUE(m.m_topicTypes[1].m_keys.isEmpty());
    ASSERT_EQ(1, m.m_unions.size());
    ASSERT_EQ(1, m.m_unions[0].m_cases.size());
    // A later member of the same case replaces the leaves it has and keeps the others.
    EXPECT_EQ(QStringLiteral("m"), m.m_unions[0].m_cases[0].second.m_name);
    EXPECT_EQ(QStringLiteral("Int64"), m.m_unions[0].m_cases[0].second.m_type);
}

TEST_F(ReadXmlFileTest, SchemaRequiresExactlyOneLabelPerUnionCase) {
    const char* const labels[] = {"",
                                  "<valueDiscriminant>1</valueDiscriminant>"
                                  "<valueDiscriminant>2</valueDiscriminant>"};
    for (const char* label : labels) {
        SCOPED_TRACE(label);
        putModel("u.xml", QByteArray("<module><constructedtypes><union><mapUnion>") + label +
                              "<memberAgregate><name>m</name></memberAgregate>"
                              "</mapUnion></union></constructedtypes></module>");
        EXPECT_NE(std::string::npos, failureOf("u.xml", true).find("не прошел валидацию"));
    }
}

TEST_F(ReadXmlFileTest, PrimitiveKindsByTypeName) {
    const char* const names[] = {"Boolean",  "Byte",  "Int16",  "UInt16",  "Int32",
                                 "UInt32",   "Int64", "UInt64", "Float32", "Float64",
                                 "Float128", "Char8", "Char32"};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(i + 1, readXMLfile::returnKindOfPrimitive(QString::fromLatin1(names[i])));
    }
    for (const char* other : {"", "int32", "Int32 ", "String8", "Float16"}) {
        EXPECT_EQ(-1, readXMLfile::returnKindOfPrimitive(QString::fromLatin1(other))) << other;
    }
    const VEXA_Types m = readDocument(
        "<module><primitivetypes><primitive><name>P</name><type>Int8</type></primitive>"
        "<primitive><name>Q</name><type>Char32</type></primitive></primitivetypes></module>");
    ASSERT_EQ(2, m.m_primitives.size());
    EXPECT_EQ(-1, m.m_primitives[0].m_kind);
    EXPECT_EQ(13, m.m_primitives[1].m_kind);
}

TEST_F(ReadXmlFileTest, ExampleModelReadsWithTheSchemaBesideTheTestProgram) {
    readXMLfile::setExecutablePathSource(nullptr);  // the real /proc/self/exe
    m_reader.setModelDirectory(SOURCE_DIR + "/examples/model");

    VEXA_Types main;
    readXMLfile mainReader(&main, &m_reader, nullptr);
    mainReader.ReadXmlDataFile("Sensors.xml", QString());
    mainReader.traverseNode();
    EXPECT_EQ(QStringLiteral("Sensors"), main.m_namespace);
    ASSERT_EQ(1, main.m_includedModules.size());
    EXPECT_EQ(QStringLiteral("Common.xml"), main.m_includedModules[0].m_includeFile);
    EXPECT_EQ(QStringList({"Unit", "Samples", "Label", "Flags", "Value", "Reading"}),
              main.getAllTypesNames());
    ASSERT_EQ(1, main.m_unions.size());
    ASSERT_EQ(3, main.m_unions[0].m_cases.size());
    EXPECT_EQ(QStringLiteral("KELVIN"), main.m_unions[0].m_cases[1].first);
    EXPECT_EQ(QStringLiteral("Float64"), main.m_unions[0].m_cases[1].second.m_type);
    EXPECT_EQ(3, main.m_bitSets[0].m_bitElements.size());
    ASSERT_EQ(1, main.m_structures.size());
    EXPECT_EQ(7, main.m_structures[0].m_members.size());
    ASSERT_EQ(1, main.m_topicTypes.size());
    EXPECT_EQ(QStringLiteral("Reading"), main.m_topicTypes[0].m_structName);
    EXPECT_EQ(QStringLiteral("id, source"), main.m_topicTypes[0].m_keys);

    VEXA_Types common;
    readXMLfile moduleReader(&common, &m_reader, nullptr);
    moduleReader.ReadXmlDataFile(main.m_includedModules[0].m_includeFile);
    moduleReader.traverseNode();
    EXPECT_EQ(QStringLiteral("Common"), common.m_namespace);
    EXPECT_EQ(QStringList({"Status", "Name"}), common.getAllTypesNames());
    EXPECT_EQ(3, common.m_enumerations[0].m_enumerators.size());
}

}  // namespace
