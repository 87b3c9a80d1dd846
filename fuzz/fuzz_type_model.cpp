// One model file through the whole precompiler: module walk, reading, conversion into the type
// model, registration, completion, ordering and the writing of the six files. Every input ends
// in files or in an NLX::ZetException.

#include "precompiler/frontend/AnyType.h"
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "ZetException.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_type_model";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static QTemporaryDir dir;

    {
        QFile file(dir.path() + "/model.xml");
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return 0;
        }
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    try {
        NLX::XML_VEXA_parser parser(nullptr, name, 1, "01.01.26 12:00:00 UTC");
        parser.compile((dir.path() + "/model.xml").toStdString(),
                       (dir.path() + "/out").toStdString(), true);
    } catch (const NLX::ZetException&) {
        // A refused model is a normal outcome.
    }
    AnyType::m_mapNameAnyTypePtr.clear();
    return 0;
}
