// The compile driver: the run from the model file to the six closed output files.
#include "precompiler/typegen/XML_VEXA_parser.h"

#include "precompiler/frontend/Reader.h"
#include "precompiler/packgen/BuildePack.h"
#include "precompiler/typegen/BuildStruct.h"
#include "precompiler/typegen/BuildUnion.h"
#include "precompiler/typegen/GeneratorError.h"
#include "precompiler/typegen/NameCheck.h"

#include "Indent.h"
#include "NlxUtils.h"
#include "ZetException.h"

#include <ctime>

namespace NLX {

namespace {

const char* const kLine = "====================================================================";

}  // namespace

void XML_VEXA_parser::refuse(const char* function, int line, const std::string& text) {
    NLX::refuse(m_logger, "XML_VEXA_parser", function, line, text);
}

XML_VEXA_parser::XML_VEXA_parser(Logger* logger, char* programPath, VEXA_PACK::pack_type packType,
                                 const std::string& generationTime)
    : m_packType(packType),
      m_reader(new Reader(&m_modules, &m_topics, logger, programPath)),
      m_logger(logger),
      m_generationTime(generationTime) {}

XML_VEXA_parser::~XML_VEXA_parser() = default;

std::string XML_VEXA_parser::getFileName(const std::string& path) {
    const std::size_t separator = path.find_last_of("/\\");
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::string XML_VEXA_parser::getTimeStr() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[80];
    const std::size_t length = std::strftime(text, sizeof text, "%d.%m.%y %I:%M:%S UTC", &utc);
    return std::string(text, length);
}

void XML_VEXA_parser::compile(const std::string& modelPath, const std::string& resultDir,
                              bool enumCpp11) {
    m_modelName = getFileName(modelPath);
    log(Logger::SEV_UNCONDITIONAL, "Компилируется проект ", m_modelName);
    if (m_modelName.empty()) {
        // It would name hidden files ".h" and an empty guard.
        refuse(__func__, __LINE__,
               "Ошибка: пустое имя модели у файла модели \"" + modelPath + "\"");
    }
    // What an earlier compilation in this process left behind must not leak into this one.
    AnyType::m_mapNameAnyTypePtr.clear();
    BuildePack::startRun();
    Indent::m_uiIndent = 0;

    m_enumCpp11 = enumCpp11;
    log(Logger::SEV_DEBUG, "Создаем классы для генерации структур и объединений");
    m_buildStruct.reset(new BuildStruct(&m_forwardDeclarations, &m_classBodies, &m_definitions,
                                        &m_templates, m_logger));
    m_buildUnion.reset(new BuildUnion(
        m_texts.getStr(Msg::res::T4, 0, -1), m_texts.getStr(Msg::res::T2, 0, -1), &m_texts,
        &m_unionForwardDeclarations, &m_classBodies, &m_definitions, m_logger));

    m_modelPath = modelPath;
    m_output.discard();
    try {
        compileFiles(modelPath, resultDir);
    } catch (...) {
        // A refused run leaves no half-written file behind, nor a directory it made.
        for (std::ofstream* stream : {&m_typesHeader, &m_typesSource, &m_dcpsMain, &m_dcpsHeader,
                                      &m_packHeader, &m_packSource}) {
            stream->close();
        }
        m_output.discard();
        throw;
    }
    logSummary();
}

void XML_VEXA_parser::compileFiles(const std::string& modelPath, const std::string& resultDir) {
    log(Logger::SEV_INFORMATION, "Считываем и разбираем xml-файл объектной модели: ", modelPath);
    m_reader->readXMLFile(modelPath);
    if (m_modules.empty()) {
        refuse(__func__, __LINE__, "Ошибка: в модели " + modelPath + " нет ни одного модуля");
    }

    m_resultDir = resultDir;
    log(Logger::SEV_DEBUG, "Путь к результатам компилирования: ", resultDir);
    log(Logger::SEV_INFORMATION, "Формируем множества и карты базовых типов данных");
    log(Logger::SEV_INFORMATION,
        "Создаем все необходимые файлы и генерируем заголовки этих файлов");
    openFiles(m_modelName);
    CreateHeaderProjectTypes(m_modelName);
    CreateHeaderProjectDCPS(m_modelName);
    CreateHeaderProjectPack(m_modelName);
    // Only the first record's primitives are registered; every module resolves to them.
    m_order.getBasePrimitiveTypes(m_modules.front().m_primitiveTypes, AnyType::m_mapNameAnyTypePtr);

    for (unsigned i = 0; i < m_modules.size(); ++i) {
        compileModule(i);
    }

    closeFiles(m_modelName);
}

void XML_VEXA_parser::compileModule(unsigned i) {
    DDS_Types& module = m_modules[i];
    m_firstAlias = m_firstBitSet = m_firstContainer = m_firstString = true;
    m_buildStruct->m_firstStructure = true;
    m_buildUnion->m_firstUnion = true;
    m_buildPack.reset(new BuildePack{&m_packHeader,
                                     &m_packSource,
                                     module.m_moduleName,
                                     false,
                                     VEXA_PACK::CDR_LE,
                                     &m_templates,
                                     {{VEXA_PACK::CDR_LE, ""}, {VEXA_PACK::CDR_BE, "CH"}},
                                     {VEXA_PACK::CDR_LE, VEXA_PACK::CDR_BE},
                                     m_logger});
    m_currentModule = module.m_moduleName;
    log(Logger::SEV_INFORMATION, kLine);
    log(Logger::SEV_INFORMATION, "*                 Модуль ", m_currentModule);
    log(Logger::SEV_INFORMATION, kLine);
    const std::string namespaceProblem = namespaceFault(m_currentModule);
    if (!namespaceProblem.empty()) {
        refuse(__func__, __LINE__,
               "Модуль " + m_currentModule + ": имя пространства имен " + namespaceProblem);
    }

    log(Logger::SEV_INFORMATION, "Формируем множества и карты всех типов (ConstructedTypes)");
    m_order.getConstructedTypes(m_currentModule, module.m_constructedTypes,
                                AnyType::m_mapNameAnyTypePtr);
    log(Logger::SEV_INFORMATION, "Заполняем поля типов топиков описанием ключей");
    setTopicKeyDescriptions(i);
    log(Logger::SEV_INFORMATION,
        "Устанавливаем характеристики необходимые для генерации всем объектам-описаний типов "
        "данных");
    for (AnyType* type : m_order.types()) {
        type->set();
    }
    log(Logger::SEV_INFORMATION,
        "Сортируем все объекты-описаний типов данных в порядке, соответствующем С++");
    m_order.sort();
    log(Logger::SEV_INFORMATION, "Заполняем множества эквивалентных типов");
    m_order.setSameTypes();

    m_topicNames.clear();
    for (const AnyType* type : m_order.types()) {
        if (type->m_Kind == STRUCTURE_TYPE && type->m_moduleName == m_currentModule &&
            static_cast<const Structure*>(type)->m_isTopic) {
            for (const char* suffix :
                 {"DataReader", "DataWriter", "TypeSupportFactory", "TypeSupport"}) {
                m_topicNames.insert(type->m_shortName + suffix);
            }
        }
    }

    log(Logger::SEV_INFORMATION, "Генерируем тела файлов проекта");
    CreateNamespceForModuleTypes(m_currentModule);
    CreateModuleDCPS(m_currentModule);
    CreateModuleNamespceDCPS_Pack(m_currentModule);

    log(Logger::SEV_INFORMATION, "Генерируем все необходимые типы данных и методы");
    bool enumerationsDeclared = false;
    // Indexed: the order does not grow during the walk, but a reference into it would be
    // the only thing keeping that true.
    const std::vector<AnyType*>& order = m_order.order();
    for (std::size_t k = 0; k < order.size(); ++k) {
        AnyType* type = order[k];
        if (!enumerationsDeclared && type->m_Kind == ENUMERATION_TYPE) {
            enumerationsDeclared = true;
            log(Logger::SEV_DEBUG_2, "Генерируем описания нумератора ", type->m_qualifiedName);
            createEnumDeclarations(module.m_constructedTypes);
            continue;
        }
        createALLDeclarations(type);
    }

    for (std::ostringstream* buffer :
         {&m_primitiveAliases, &m_forwardDeclarations, &m_unionForwardDeclarations, &m_enumerations,
          &m_strings, &m_containers, &m_classBodies}) {
        m_typesHeader << Indent::shiftIndent(buffer->str(), 1) << "\n" << std::flush;
    }
    m_typesSource << Indent::shiftIndent(m_definitions.str(), 1) << "\n" << std::flush;
    closeNamespase(m_currentModule);
}

void XML_VEXA_parser::setTopicKeyDescriptions(unsigned moduleIndex) {
    TopicDataTypes& record = m_topics[moduleIndex];
    std::size_t found = 0;
    for (AnyType* type : m_order.types()) {
        if (type->m_Kind != STRUCTURE_TYPE) {
            continue;
        }
        auto* structure = static_cast<Structure*>(type);
        const auto keys = record.m_keys.find(structure);
        if (keys == record.m_keys.end()) {
            continue;
        }
        structure->m_isTopic = true;
        structure->m_keyPaths = keys->second;
        for (std::string& path : structure->m_keyPaths) {
            if (!path.empty() && path.back() == ',') {
                path.pop_back();
            }
        }
        ++found;
    }
    if (found != record.m_keys.size()) {
        const std::string message =
            "Не все типы топиков есть среди типов данных в модуле " + record.m_moduleName;
        NLX::refuse(m_logger, "XML_VEXA_parser", "setTopicKeyDescriptions", 365, message);
    }
}

void XML_VEXA_parser::openFiles(const std::string& model) {
    const std::string base = m_resultDir + "/" + model + "_DDS";
    m_includeDir = base + "/include";
    m_sourceDir = base + "/src";
    m_output.createDirectories(m_includeDir);
    m_output.createDirectories(m_sourceDir);
    log(Logger::SEV_INFORMATION, "Создали два каталога:\n", m_includeDir, "\n", m_sourceDir);
    m_fileSetName = model;

    auto open = [this](std::ofstream& stream, const std::string& path) {
        m_output.open(stream, path);
    };
    m_typesFiles.h = m_includeDir + "/" + model + ".h";
    m_typesFiles.cpp = m_sourceDir + "/" + model + ".cpp";
    open(m_typesHeader, m_typesFiles.h);
    open(m_typesSource, m_typesFiles.cpp);
    log(Logger::SEV_INFORMATION, "Создали и открыли два файла проекта:\n", m_typesFiles.h, "\n",
        m_typesFiles.cpp);
    m_dcpsFiles.hpp = m_includeDir + "/" + model + "_DCPS.hpp";
    m_dcpsFiles.h = m_includeDir + "/" + model + "_DCPS.h";
    open(m_dcpsMain, m_dcpsFiles.hpp);
    open(m_dcpsHeader, m_dcpsFiles.h);
    log(Logger::SEV_INFORMATION, "Создали и открыли два файла проекта:\n", m_dcpsFiles.h, "\n",
        m_dcpsFiles.hpp);
    m_packFiles.h = m_includeDir + "/" + model + "_DCPS_Pack.h";
    m_packFiles.cpp = m_sourceDir + "/" + model + "_DCPS_Pack.cpp";
    open(m_packHeader, m_packFiles.h);
    open(m_packSource, m_packFiles.cpp);
    log(Logger::SEV_INFORMATION, "Создали и открыли два файла проекта:\n", m_packFiles.h, "\n",
        m_packFiles.cpp);
}

void XML_VEXA_parser::closeFiles(const std::string& model) {
    // A file that could not be written to the end (a full disk) must not pass for generated.
    auto close = [](std::ofstream& stream, const std::string& path) {
        stream.close();
        if (stream.fail()) {
            throw ZetException("Не смог записать файл: " + path);
        }
    };
    m_typesHeader << "#include \"" << model << "_DCPS_Pack.h\"\n" << std::flush;
    m_typesHeader << "#endif\n" << std::flush;
    close(m_typesHeader, m_typesFiles.h);
    close(m_typesSource, m_typesFiles.cpp);
    m_dcpsMain << "#endif\n" << std::flush;
    close(m_dcpsMain, m_dcpsFiles.hpp);
    m_dcpsHeader << "#endif\n" << std::flush;
    close(m_dcpsHeader, m_dcpsFiles.h);
    m_packHeader << "#endif\n" << std::flush;
    close(m_packHeader, m_packFiles.h);
    close(m_packSource, m_packFiles.cpp);
    m_output.commit();
}

void XML_VEXA_parser::logSummary() {
    const Logger::NLX_LOGGER_SEVERITY s = Logger::SEV_UNCONDITIONAL;
    log(s, "Для объектной модели: ", m_fileSetName);
    log(s, "Сгенерированы следующие файлы: ");
    log(s, m_dcpsFiles.hpp, "  - главный подключаемый файл для пользовательских типов");
    log(s, m_typesFiles.h, " - описание пользовательских типов данных");
    log(s, m_typesFiles.cpp, " -  определения методов пользовательских типов данных");
    log(s, m_dcpsFiles.h, "  - реализация всех стандартных методов DDS для топиков");
    log(s, m_packFiles.h,
        "  - описание функций и методов распаковки и упаковки данных пользователя");
    log(s, m_packFiles.cpp,
        "  - определения функций и методов распаковки и упаковки данных пользователя");
}

}  // namespace NLX
