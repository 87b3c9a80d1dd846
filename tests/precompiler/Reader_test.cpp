#include "ModelFiles.h"

#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/Modules.h"
#include "precompiler/frontend/Reader.h"
#include "precompiler/frontend/TopicDataTypes.h"
#include "precompiler/frontend/TypeRegistration.h"

#include "ZetException.h"

#include <QDir>

#include <map>
#include <string>
#include <vector>

namespace {

const QString SOURCE_DIR = QStringLiteral(VEXA_SOURCE_DIR);

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }
    void TearDown() override { AnyType::m_mapNameAnyTypePtr.clear(); }

    std::string readFailure(const std::string& path) {
        try {
            m_reader.readXMLFile(path);
        } catch (const NLX::ZetException& error) {
            return error.what();
        }
        return "(no failure)";
    }

    std::vector<DDS_Types> m_types;
    std::vector<TopicDataTypes> m_topics;
    Reader m_reader{&m_types, &m_topics, nullptr, nullptr};
};

TEST_F(ReaderTest, EmptyNameIsRefusedBeforeAnyFile) {
    EXPECT_EQ(readFailure(""), "Ошибка: Reader::readXMLFile. Файл    имеет некорректное имя.");
    EXPECT_EQ(m_reader.getModules(), nullptr);
    EXPECT_TRUE(m_types.empty());
}

TEST_F(ReaderTest, OneEntryPerModuleInTheOrderFound) {
    ModelFiles files;
    files.module("main.xml", "Main", {{"A", "a.xml"}, {"B", "b.xml"}},
                 "<constructedtypes><structure><name>Mx</name><memberAgregate><name>a</name>"
                 "<type>Int32</type><key>false</key><shared>false</shared>"
                 "<optional>false</optional></memberAgregate></structure></constructedtypes>");
    files.module("a.xml", "A", {});
    files.module("b.xml", "B", {{"A", "a.xml"}});
    m_reader.readXMLFile((files.dir() + "/main.xml").toStdString());
    ASSERT_EQ(m_types.size(), 3u);
    ASSERT_EQ(m_topics.size(), 3u);
    const char* order[] = {"A", "B", "Main"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(m_types[i].m_moduleName, order[i]);
        EXPECT_EQ(m_topics[i].m_moduleName, order[i]);
        EXPECT_EQ(m_types[i].m_primitiveTypes.m_primitives.size(), 13u);
    }
    EXPECT_EQ(m_types[2].m_constructedTypes.m_structures[0].m_qualifiedName, "Mx");
}

TEST_F(ReaderTest, ModelWithoutIncludes) {
    ModelFiles files;
    files.module("main.xml", "Main", {});
    m_reader.readXMLFile((files.dir() + "/main.xml").toStdString());
    EXPECT_EQ(m_types.size(), 1u);
    EXPECT_EQ(m_topics.size(), 1u);
}

TEST_F(ReaderTest, RelativePathFindsModulesInItsAbsoluteDirectory) {
    ModelFiles files;
    files.module("models/x.xml", "Main", {{"Geo", "geo.xml"}});
    files.module("models/geo.xml", "Geo", {});
    files.module("geo.xml", "Wrong", {});
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(files.dir()));
    m_reader.readXMLFile("models/x.xml");
    QDir::setCurrent(previous);
    EXPECT_EQ(m_reader.getModelDirectory(), files.dir() + "/models");
    ASSERT_EQ(m_types.size(), 2u);
    EXPECT_EQ(m_types[0].m_moduleName, "Geo");
}

TEST_F(ReaderTest, MissingMainFile) {
    ModelFiles files;
    EXPECT_EQ(readFailure((files.dir() + "/none.xml").toStdString()),
              "Ошибка: Modules::FillVectorNameSpaces_FileModules. Файл 'none.xml' не может быть "
              "открыт для чтения!");
    EXPECT_TRUE(m_types.empty());
}

// The example model, copied beside each other into a temporary directory, converted and then
// registered and completed as the generator driver does it.
TEST_F(ReaderTest, ExampleModel) {
    ModelFiles files;
    for (const char* name : {"Sensors.xml", "Common.xml"}) {
        QFile source(SOURCE_DIR + "/examples/model/" + name);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << name;
        files.write(name, source.readAll());
    }
    m_reader.readXMLFile((files.dir() + "/Sensors.xml").toStdString());
    ASSERT_EQ(m_types.size(), 2u);
    ASSERT_EQ(m_topics.size(), 2u);

    DDS_Types& common = m_types[0];
    DDS_Types& sensors = m_types[1];
    EXPECT_EQ(common.m_moduleName, "Common");
    ASSERT_EQ(common.m_constructedTypes.m_enumerations.size(), 1u);
    const ::Enumeration& status = common.m_constructedTypes.m_enumerations[0];
    EXPECT_EQ(status.m_qualifiedName, "Status");  // the module's own prefix is stripped
    EXPECT_EQ(status.m_TypeOfEnum, INT_32_TYPE);
    EXPECT_TRUE(status.m_key);
    ASSERT_EQ(status.m_enumerators.size(), 3u);
    EXPECT_EQ(status.m_enumerators[2].m_name, "FAILED");
    EXPECT_EQ(status.m_enumerators[2].m_value, 2);
    EXPECT_EQ(status.m_enumerators[2].m_definition, "Датчик неисправен");

    const ConstructedTypes& own = sensors.m_constructedTypes;
    EXPECT_EQ(sensors.m_moduleName, "Sensors");
    ASSERT_EQ(own.m_structures.size(), 1u);
    const Structure& reading = own.m_structures[0];
    ASSERT_EQ(reading.m_members.size(), 7u);
    EXPECT_EQ(reading.m_members[1].m_typeName, "Common::Name");  // another module keeps it
    EXPECT_TRUE(reading.m_members[1].m_key);
    EXPECT_EQ(reading.m_members[1].m_shared, SHARED_FALSE);
    EXPECT_EQ(own.m_unions[0].m_hashedCases.size(), 3u);
    EXPECT_TRUE(own.m_unions[0].m_cases.at("CELSIUS").m_default);
    EXPECT_EQ(own.m_bitSets[0].m_elements[2].m_name, "STALE");
    EXPECT_EQ(own.m_bitSets[0].m_size, 1u);

    ASSERT_EQ(m_topics[1].m_keys.size(), 1u);
    EXPECT_EQ(m_topics[1].m_keys.begin()->first, &own.m_structures[0]);
    EXPECT_EQ(m_topics[1].m_keys.begin()->second, (std::vector<std::string>{"id", "source"}));
    EXPECT_TRUE(m_topics[0].m_keys.empty());

    // Registration and completion, as the generator driver does them.
    NLX::TypeNameSet set;
    NLX::getBasePrimitives(m_types[0].m_primitiveTypes, set);
    for (AnyType* type : m_types[0].m_primitiveTypes.getAll()) {
        AnyType::m_mapNameAnyTypePtr[type->m_qualifiedName] = type;
    }
    for (DDS_Types& module : m_types) {
        NLX::getBasePrimitives(module.m_moduleName, module.m_constructedTypes, set);
    }
    for (AnyType* type : set) {
        AnyType::m_mapNameAnyTypePtr[type->m_qualifiedName] = type;
    }
    Structure& topic = m_types[1].m_constructedTypes.m_structures[0];
    topic.m_isTopic = true;
    topic.m_keyPaths = m_topics[1].m_keys.begin()->second;
    for (AnyType* type : set) {
        type->set();
    }
    EXPECT_EQ(topic.m_qualifiedName, "Sensors::Reading");
    EXPECT_EQ(topic.m_keyTypes,
              (std::vector<AnyType*>{AnyType::m_mapNameAnyTypePtr.at("UInt32"),
                                     AnyType::m_mapNameAnyTypePtr.at("Common::Name")}));
    EXPECT_FALSE(topic.isFixedLength());
    EXPECT_EQ(topic.m_alignment, 4u);
    const std::map<std::string, std::string> texts = {
        {"Sensors::Unit", "enum class Unit : int16_t"},
        {"Sensors::Samples", "std::vector<double>"},
        {"Sensors::Label", "std::string<32>"},
        {"Common::Name", "std::string<64>"},
        {"Common::Status", "enum class Status : int32_t"},
    };
    for (const auto& entry : texts) {
        EXPECT_EQ(AnyType::m_mapNameAnyTypePtr.at(entry.first)->m_cppTypeText, entry.second)
            << entry.first;
    }
    EXPECT_EQ(topic.getMemberAnyType("status")->getRealType("Sensors"), "Common::Status");
}

TEST_F(ReaderTest, NamespaceIsRemovedOnlyAsTheFirstPart) {
    const struct {
        const char* name;
        const char* expected;
    } rows[] = {
        {"Geo::Point", "Point"},          {"Point", "Point"},
        {"Other::Point", "Other::Point"}, {"Geo::Inner::Point", "Inner"},
        {"geo::Point", "geo::Point"},     {"Geo::", ""},
        {"::Point", "::Point"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Reader::RemoveNamespace(row.name, "Geo").toStdString(), row.expected) << row.name;
    }
}

}  // namespace
