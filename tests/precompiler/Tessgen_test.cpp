// The tessgen program as a build script sees it: arguments, exit status and log lines.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const std::string SOURCE_DIR = VEXA_SOURCE_DIR;
const std::string EXAMPLE = SOURCE_DIR + "/examples/model/Sensors.xml";

const char* const USAGE[] = {
    "Неправильно заданы параметры прекомпилятора. Параметров может быть от 1-го до 3-х",
    "1-ый (обязательный)    - путь к xml-файлу объектной модели",
    "2-ой (не обязательный) - путь к каталогу результатов (по умолчанию ./rezult)",
    "3-ий (не обязательный) - способ представления нумераторов:",
    "\t0 - представление C++11 (класс перечислений) - по умолчанию",
    "\t1 - представление спецификации DDS",
};

struct Outcome {
    int status = -1;
    std::string console;
    std::string log;  // DDS_parser.log of the run
};

class TessgenTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // Runs tessgen with the arguments in a fresh working directory; locales are looked for in
    // localeDir when one is given.
    Outcome run(const std::vector<std::string>& arguments, const char* localeDir = nullptr) {
        Outcome result;
        int out[2];
        if (::pipe(out) != 0) {
            ADD_FAILURE() << "pipe";
            return result;
        }
        const std::string workDir = m_dir.path().toStdString();
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(out[1], STDERR_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            if (localeDir != nullptr) {
                ::setenv("LOCPATH", localeDir, 1);
            }
            if (::chdir(workDir.c_str()) != 0) {
                ::_exit(120);
            }
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(TESSGEN_PATH));
            for (const std::string& a : arguments) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(TESSGEN_PATH, argv.data());
            ::_exit(121);
        }
        ::close(out[1]);
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) {
            result.console.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        QFile log(m_dir.path() + "/DDS_parser.log");
        if (log.open(QIODevice::ReadOnly)) {
            result.log = log.readAll().toStdString();
        }
        return result;
    }

    std::string writeModel(const char* name, const char* xml) {
        const QString path = m_dir.path() + "/" + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xml);
        return path.toStdString();
    }

    static bool hasLine(const std::string& log, const std::string& text) {
        return log.find(": " + text + "\n") != std::string::npos;
    }

    QTemporaryDir m_dir;
};

TEST_F(TessgenTest, WrongArgumentCountPrintsTheUsageAndFailsWith255) {
    const std::vector<std::vector<std::string>> calls = {{}, {"a.xml", "dir", "0", "extra"}};
    for (const auto& arguments : calls) {
        SCOPED_TRACE(arguments.size());
        const Outcome r = run(arguments);
        EXPECT_EQ(255, r.status);
        for (const char* line : USAGE) {
            EXPECT_TRUE(hasLine(r.log, line)) << line << "\n" << r.log;
            EXPECT_NE(std::string::npos, r.console.find(line)) << line;
        }
        EXPECT_TRUE(hasLine(r.log, "Запущен прекомпилятор VEXA"));
    }
}

TEST_F(TessgenTest, ValidModelCompilesIntoTheDefaultDirectory) {
    const Outcome r = run({EXAMPLE});
    EXPECT_EQ(0, r.status) << r.console;
    EXPECT_TRUE(hasLine(r.log, "Файл объектной модели: " + EXAMPLE)) << r.log;
    EXPECT_TRUE(hasLine(r.log, "Путь к каталогу с сгенерированными файлами: ./rezult"));
    EXPECT_TRUE(hasLine(r.log, "Имя файла журнала: DDS_parser.log"));
    EXPECT_TRUE(hasLine(r.log, "Компилирование закончено"));
    // Severity 0 is written only at the most verbose level; tessgen runs at level 2.
    EXPECT_FALSE(
        hasLine(r.log, "Генерируются нумераторы в представлении C++11 (класс перечислений)"));
    EXPECT_FALSE(hasLine(r.log, "Создали  и запустили VEXA_parser"));
}

TEST_F(TessgenTest, WithoutTheRussianLocaleTheRunWarnsAndStillWritesRussian) {
    // An empty locale directory hides ru_RU; C.UTF-8 is built into the C library.
    const Outcome r = run({EXAMPLE}, m_dir.path().toUtf8().constData());
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(0u, r.console.find("setlocale failed for ru_RU.UTF-8\n"
                                 "Output to the screen could be wrong\n"))
        << r.console;
    EXPECT_NE(std::string::npos, r.console.find(": Компилирование закончено")) << r.console;
    EXPECT_TRUE(hasLine(r.log, "Компилирование закончено")) << r.log;
}

TEST_F(TessgenTest, EnumeratorStyleIsAcceptedAndChangesNothing) {
    const Outcome without = run({EXAMPLE, "out"});
    for (const char* style : {"1", "0", "not a number"}) {
        SCOPED_TRACE(style);
        const Outcome with = run({EXAMPLE, "out", style});
        EXPECT_EQ(without.status, with.status);
        EXPECT_EQ(0, with.status);
        EXPECT_TRUE(hasLine(with.log, "Путь к каталогу с сгенерированными файлами: out"));
        EXPECT_TRUE(hasLine(with.log, "Компилирование закончено"));
    }
}

TEST_F(TessgenTest, BrokenModelsAreLoggedAsErrorsAndFailTheRun) {
    const std::string malformed = writeModel("malformed.xml", "<module><namespace>");
    const std::string invalid = SOURCE_DIR + "/tests/precompiler/fixtures/invalid.xml";
    const std::string wrongRoot = writeModel("root.xml", "<Module/>");
    const std::string missing = m_dir.path().toStdString() + "/none.xml";
    const std::pair<std::string, std::string> cases[] = {
        {malformed, "содержит ошибочный XML формат: "},
        // The module walk validates the main file first, with its own wording.
        {invalid, "' не прошел валидацию в строке "},
        {wrongRoot, "' не прошел валидацию в строке "},
        {missing, "не может быть открыт для чтения!"},
        // Neither path gives a model name for the six files.
        {"", "Ошибка: пустое имя модели у файла модели \"\""},
        {m_dir.path().toStdString() + "/.xml",
         "Ошибка: пустое имя модели у файла модели \"" + m_dir.path().toStdString() + "/.xml\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const Outcome r = run({c.first});
        EXPECT_EQ(1, r.status);
        EXPECT_NE(std::string::npos, r.log.find(": Ошибка")) << r.log;
        EXPECT_NE(std::string::npos, r.log.find(c.second)) << r.log;
        EXPECT_FALSE(hasLine(r.log, "Компилирование закончено"));
    }
}

}  // namespace
