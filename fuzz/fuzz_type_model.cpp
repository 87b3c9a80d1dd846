// One model file through the whole front end: module walk, reading, conversion into the type
// model, then registration and completion of every type as the generator driver does them.

#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/Reader.h"
#include "precompiler/frontend/TopicDataTypes.h"
#include "precompiler/frontend/TypeCompare.h"
#include "precompiler/frontend/TypeRegistration.h"

#include "ZetException.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <vector>

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
    std::vector<DDS_Types> types;
    std::vector<TopicDataTypes> topics;
    Reader reader(&types, &topics, nullptr, nullptr);
    AnyType::m_mapNameAnyTypePtr.clear();
    try {
        reader.readXMLFile((dir.path() + "/model.xml").toStdString());
        NLX::TypeNameSet set;
        NLX::getBasePrimitives(types.front().m_primitiveTypes, set);
        for (AnyType* type : types.front().m_primitiveTypes.getAll()) {
            AnyType::m_mapNameAnyTypePtr[type->m_qualifiedName] = type;
        }
        for (std::size_t i = 0; i < types.size(); ++i) {
            NLX::getBasePrimitives(types[i].m_moduleName, types[i].m_constructedTypes, set);
            for (auto& entry : topics[i].m_keys) {
                entry.first->m_isTopic = true;
                entry.first->m_keyPaths = entry.second;
            }
        }
        for (AnyType* type : set) {
            AnyType::m_mapNameAnyTypePtr[type->m_qualifiedName] = type;
        }
        for (AnyType* type : set) {
            type->set();
        }
        AnyType* previous = nullptr;
        for (AnyType* type : set) {
            (void)type->isFixedLength();
            (void)type->isLenghthAsSimple();
            if (previous != nullptr) {
                (void)NLX::compare(previous, type);
            }
            previous = type;
        }
    } catch (const NLX::ZetException&) {
        // A refused model is a normal outcome.
    }
    AnyType::m_mapNameAnyTypePtr.clear();
    return 0;
}
