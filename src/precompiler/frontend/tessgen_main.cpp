// tessgen: compiles one XML model into C++ types and CDR code.
//   tessgen model-file [result-directory [enumerator-style]]

#include "precompiler/typegen/XML_VEXA_parser.h"

#include "ZetException.h"
#include "common/nlx/Logger.h"

#include <clocale>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

namespace {

using Severity = NLX::Logger::NLX_LOGGER_SEVERITY;

const char* const DEFAULT_RESULT_DIRECTORY = "./rezult";
const char* const LOG_NAME = "DDS_parser";

constexpr int STATUS_DONE = 0;
constexpr int STATUS_FAILED = 1;  // a build script must see a failed compilation
constexpr int STATUS_USAGE = -1;

// Russian texts need a UTF-8 locale; without ru_RU the run goes on in C.UTF-8. The fallback is
// set before the warning: the wide console takes its conversion from the locale of its first
// output.
void prepareLocale() {
    if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr) {
        std::setlocale(LC_ALL, "C.UTF-8");
        std::wcout << L"setlocale failed for ru_RU.UTF-8" << std::endl;
        std::wcout << L"Output to the screen could be wrong" << std::endl;
    }
    std::setlocale(LC_NUMERIC, "C");
}

void logUsage(NLX::Logger& logger) {
    const Severity special = NLX::Logger::SEV_SPECIAL;
    logger.log("Неправильно заданы параметры прекомпилятора. Параметров может быть от 1-го до 3-х",
               special);
    logger.log("1-ый (обязательный)    - путь к xml-файлу объектной модели", special);
    logger.log("2-ой (не обязательный) - путь к каталогу результатов (по умолчанию ",
               std::string(DEFAULT_RESULT_DIRECTORY), ")", special);
    logger.log("3-ий (не обязательный) - способ представления нумераторов:", special);
    logger.log("\t0 - представление C++11 (класс перечислений) - по умолчанию", special);
    logger.log("\t1 - представление спецификации DDS", special);
}

int compileModel(NLX::Logger& logger, int argc, char** argv) {
    const std::string modelPath = argv[1];
    std::string resultDirectory = DEFAULT_RESULT_DIRECTORY;
    if (argc >= 3) {
        resultDirectory = argv[2];
    }
    if (argc == 4) {
        // The style is accepted for compatibility only: enumerations are always scoped.
        (void)std::strtol(argv[3], nullptr, 10);
    }

    logger.log("Файл объектной модели: ", modelPath, NLX::Logger::SEV_UNCONDITIONAL);
    logger.log("Путь к каталогу с сгенерированными файлами: ", resultDirectory,
               NLX::Logger::SEV_UNCONDITIONAL);
    logger.log("Генерируются нумераторы в представлении C++11 (класс перечислений)",
               NLX::Logger::SEV_SPECIAL);
    logger.log("Имя файла журнала: ", std::string(LOG_NAME), ".log",
               NLX::Logger::SEV_UNCONDITIONAL);

    std::unique_ptr<NLX::XML_VEXA_parser> parser(new NLX::XML_VEXA_parser(&logger, argv[0], 1));
    logger.log("Создали  и запустили VEXA_parser", NLX::Logger::SEV_SPECIAL);
    parser->compile(modelPath, resultDirectory, true);
    logger.log("Компилирование закончено", NLX::Logger::SEV_UNCONDITIONAL);
    return STATUS_DONE;
}

int run(NLX::Logger& logger, int argc, char** argv) {
    logger.setLogLevel(NLX::Logger::SEV_DEBUG_2);
    logger.setColor(0, 0, 0, false);
    logger.log("Запущен прекомпилятор VEXA", NLX::Logger::SEV_UNCONDITIONAL);

    if (argc < 2 || argc > 4) {
        logUsage(logger);
        return STATUS_USAGE;
    }
    logger.setLogLevel(NLX::Logger::SEV_ERROR);

    try {
        return compileModel(logger, argc, argv);
    } catch (const NLX::ZetException& error) {
        logger.log(error.what(), NLX::Logger::SEV_ERROR);
    } catch (const std::exception& error) {
        logger.log("Ошибка: непредвиденное исключение: ", std::string(error.what()),
                   NLX::Logger::SEV_ERROR);
    } catch (...) {
        logger.log("Ошибка: непредвиденное исключение неизвестного типа", NLX::Logger::SEV_ERROR);
    }
    return STATUS_FAILED;
}

}  // namespace

int main(int argc, char** argv) {
    prepareLocale();

    std::unique_ptr<NLX::Logger> logger;
    try {
        logger.reset(new NLX::Logger(std::wstring(L"DDS_parser"), true, std::wstring()));
        return run(*logger, argc, argv);
    } catch (const std::exception& error) {
        // Only the logger itself can fail here; the console is what is left.
        std::wcout << L"tessgen: " << error.what() << std::endl;
    } catch (...) {
        std::wcout << L"tessgen: unexpected failure" << std::endl;
    }
    return STATUS_FAILED;
}
