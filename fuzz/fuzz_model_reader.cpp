// One model file through the reader: parse, screen, validate against the schema, walk.

#include "precompiler/frontend/Reader.h"
#include "precompiler/frontend/readXMLfile.h"

#include "ZetException.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// The repository's resource/ holds the schema.
std::string programInSourceTree() {
    return TESSGEN_SOURCE_DIR "/tessgen";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_model_reader";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static QTemporaryDir dir;
    readXMLfile::setExecutablePathSource(&programInSourceTree);

    {
        QFile file(dir.path() + "/model.xml");
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return 0;
        }
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    Reader owner(nullptr, nullptr, nullptr, nullptr);
    owner.setModelDirectory(dir.path());
    EditorInternalTypes::VEXA_Types model;
    readXMLfile reader(&model, &owner, nullptr);
    try {
        reader.ReadXmlDataFile("model.xml", QString());
        reader.traverseNode();
        (void)model.getAllTypesNames();
    } catch (const NLX::ZetException&) {
        // A refused model is a normal outcome.
    }
    return 0;
}
