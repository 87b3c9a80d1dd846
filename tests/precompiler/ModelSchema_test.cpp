#include "ModelFiles.h"

#include "precompiler/frontend/ModelSchema.h"

#include <QFile>

#include <string>

namespace {

std::string g_program;
std::string program() {
    return g_program;
}

const QByteArray STRICT_SCHEMA =
    "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>"
    "<xs:element name='module'><xs:complexType/></xs:element></xs:schema>";
const QByteArray BROKEN_SCHEMA =
    "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'><xs:element/></xs:schema>";

QByteArray installedSchema() {
    QFile file(QStringLiteral(VEXA_SOURCE_DIR "/resource/VEXA_DataTypes.xsd"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// Loads the schema beside the fake program and validates the file with it.
ModelSchema::Load loadAndValidate(const QString& model, bool& valid) {
    ModelSchema schema;
    const ModelSchema::Load load = schema.load();
    valid = false;
    if (load == ModelSchema::Load::Loaded) {
        QFile file(model);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        valid = schema.validate(file);
    }
    return load;
}

}  // namespace

// The process keeps the schema it compiled, but a schema file rewritten in place is the one
// that counts from then on, and a refused one is never kept.
TEST(ModelSchema, SchemaRewrittenInPlaceIsCompiledAgain) {
    ensureApplication();
    ModelFiles files;
    const QString model = files.module("main.xml", "Main", {});
    g_program = (files.dir() + "/tessgen").toStdString();
    ModelSchema::setExecutablePathSource(&program);

    const struct {
        const char* name;
        QByteArray schema;
        ModelSchema::Load load;
        bool valid;
    } steps[] = {
        {"installed", installedSchema(), ModelSchema::Load::Loaded, true},
        {"strict, same path", STRICT_SCHEMA, ModelSchema::Load::Loaded, false},
        {"strict again", STRICT_SCHEMA, ModelSchema::Load::Loaded, false},
        {"broken", BROKEN_SCHEMA, ModelSchema::Load::Invalid, false},
        {"installed again", installedSchema(), ModelSchema::Load::Loaded, true},
        {"broken after a kept one", BROKEN_SCHEMA, ModelSchema::Load::Invalid, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        files.write("resource/VEXA_DataTypes.xsd", step.schema);
        bool valid = false;
        EXPECT_EQ(loadAndValidate(model, valid), step.load);
        EXPECT_EQ(valid, step.valid);
    }
    ModelSchema::setExecutablePathSource(nullptr);
}
