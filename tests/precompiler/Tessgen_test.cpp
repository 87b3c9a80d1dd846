// The tessgen program as a build script sees it: arguments, exit status and log lines.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <tuple>
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

// Generated text does not depend on hash seeds or addresses: two runs write the same files,
// the generation dates aside.
TEST_F(TessgenTest, TwoRunsWriteTheSameFiles) {
    const std::string model = SOURCE_DIR + "/tests/generated/models/Broad.model.xml";
    const QString dir = m_dir.path() + "/out/Broad.model_DDS/";
    const std::vector<QString> files = {
        "include/Broad.model.h",     "include/Broad.model_DCPS.hpp",
        "include/Broad.model_DCPS.h", "include/Broad.model_DCPS_Pack.h",
        "src/Broad.model.cpp",       "src/Broad.model_DCPS_Pack.cpp"};
    auto withoutDates = [](const QByteArray& text) {
        std::string kept;
        for (const QByteArray& line : text.split('\n')) {
            if (!line.contains("Дата создания") && !line.contains("@date")) {
                kept += line.toStdString() + "\n";
            }
        }
        return kept;
    };
    std::vector<std::string> first;
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(0, this->run({model, "out"}).status);
        for (std::size_t i = 0; i < files.size(); ++i) {
            QFile file(dir + files[i]);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << files[i].toStdString();
            const std::string text = withoutDates(file.readAll());
            if (run == 0) {
                EXPECT_GT(text.size(), 200u);
                first.push_back(text);
            } else {
                EXPECT_TRUE(text == first[i]) << files[i].toStdString();
            }
        }
    }
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
    const std::string refused =
        writeModel("refused.xml",
                   "<module><namespace>Model</namespace><constructedtypes><alias><name>class</name>"
                   "<type>Int32</type></alias></constructedtypes></module>");
    const std::string declaredPrimitive = writeModel(
        "primitive.xml",
        "<module><namespace>Model</namespace><primitivetypes><primitive><name>Speed</name>"
        "<type>Float64</type><key>true</key><definition></definition></primitive>"
        "</primitivetypes><constructedtypes><structure><name>Top</name><memberAgregate>"
        "<name>v</name><type>Speed</type><key>false</key><shared>false</shared>"
        "<optional>false</optional><definition></definition></memberAgregate>"
        "<definition></definition></structure></constructedtypes></module>");
    const std::pair<std::string, std::string> cases[] = {
        {malformed, "содержит ошибочный XML формат: "},
        // Refused by the checker, before the generators would find it undefined.
        {declaredPrimitive,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckDeclaredPrimitives : Структуры содержат "
         "тип с именем 'Top', который использует объявленный в модели простой тип 'Speed'"},
        // The module walk validates the main file first, with its own wording.
        {invalid, "' не прошел валидацию в строке "},
        {wrongRoot, "' не прошел валидацию в строке "},
        {missing, "не может быть открыт для чтения!"},
        {refused,
         "Ошибка: DiagnosticClass::StartDiagnostics:CheckAllNamesSintax : Алиасы содержат тип с "
         "именем 'class', которое является недопустимым."},
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

// One included module per row, where the checker never looks: what the generator refuses
// itself, and the text that names the fault.
struct Refusal {
    const char* name;
    const char* nameSpace;
    std::string body;
    std::vector<std::string> diagnostic;  // parts of the logged text
    std::string topics = "";              // topic data types of the module
};

std::string enumeration(const char* name, const char* type, const std::string& enumerators) {
    return std::string("<enumeration><name>") + name + "</name><type>" + type + "</type>" +
           enumerators + "</enumeration>";
}

std::string enumerator(const char* name, const char* value) {
    return std::string("<enumerator><name>") + name + "</name><value>" + value +
           "</value></enumerator>";
}

std::string bitSet(const char* name, const char* bound, const std::string& elements) {
    return std::string("<bitSet><name>") + name + "</name><bound>" + bound + "</bound>" + elements +
           "</bitSet>";
}

std::string bit(const char* name, const char* position) {
    return std::string("<bitElement><name>") + name + "</name><flush>" + position +
           "</flush></bitElement>";
}

std::string structure(const char* name, const char* memberType) {
    return std::string("<structure><name>") + name + "</name><memberAgregate><name>m</name>" +
           "<type>" + memberType + "</type></memberAgregate></structure>";
}

std::string alias(const char* name, const char* target) {
    return std::string("<alias><name>") + name + "</name><type>" + target + "</type></alias>";
}

std::string member(const char* name, const char* type, bool isDefault = false) {
    return std::string("<memberAgregate><name>") + name + "</name><type>" + type +
           "</type><default>" + (isDefault ? "true" : "false") + "</default></memberAgregate>";
}

std::string structureOf(const char* name, const std::string& members) {
    return std::string("<structure><name>") + name + "</name>" + members + "</structure>";
}

// A union Uu of the discriminator; cases are label, member name, member type, default.
std::string unionOf(
    const char* discriminator,
    const std::vector<std::tuple<const char*, const char*, const char*, bool>>& cases) {
    std::string xml = std::string("<union><nameUnion>Uu</nameUnion><typeDiscriminant>") +
                      discriminator + "</typeDiscriminant>";
    for (const auto& c : cases) {
        xml += std::string("<mapUnion><valueDiscriminant>") + std::get<0>(c) +
               "</valueDiscriminant>" + member(std::get<1>(c), std::get<2>(c), std::get<3>(c)) +
               "</mapUnion>";
    }
    return xml + "</union>";
}

std::string topic(const char* structure, const char* key) {
    return std::string("<topicDataType><structName>") + structure + "</structName><keys>" +
           (*key != '\0' ? std::string("<key>") + key + "</key>" : std::string()) +
           "</keys></topicDataType>";
}

std::vector<Refusal> refusals() {
    std::string deep;
    for (int i = 0; i < 300; ++i) {
        deep += alias(("L" + std::to_string(i)).c_str(), ("L" + std::to_string(i + 1)).c_str());
    }
    deep += alias("L300", "Int32");
    std::string bounds = "1";
    for (int i = 0; i < 256; ++i) {
        bounds += " 1";
    }
    return {
        {"cycle", "Inc", structure("A", "B") + structure("B", "A"), {"Inc::", "сам на себя"}},
        {"deep", "Inc", deep, {"Inc::L", "вложен глубже 256"}},
        {"case twins",
         "Inc",
         structure("Point", "Int32") + alias("POINT", "Int32"),
         {"Inc::Point", "Inc::POINT"}},
        {"keyword type", "Inc", alias("class", "Int32"), {"Модуль Inc, тип Inc::class: имя class"}},
        {"generated name", "Inc", alias("pack", "Int32"), {"тип Inc::pack: имя pack совпадает"}},
        {"enumerator keyword",
         "Inc",
         enumeration("E", "Int32", enumerator("and", "1")),
         {"перечисление Inc::E: имя элемента and"}},
        {"bit element",
         "Inc",
         bitSet("F", "8", bit("next", "1")),
         {"битовое поле Inc::F: имя элемента next"}},
        {"namespace", "dds", alias("A", "Int32"), {"Модуль dds: имя пространства имен"}},
        {"empty enumeration",
         "Inc",
         enumeration("E", "Int32", ""),
         {"перечисление Inc::E не содержит элементов"}},
        {"enumerator range",
         "Inc",
         enumeration("E", "Int16", enumerator("OK", "1") + enumerator("BIG", "40000")),
         {"перечисление Inc::E: значение 40000 элемента BIG вне диапазона типа Int16"}},
        {"enumerator twice",
         "Inc",
         enumeration("E", "UInt32", enumerator("A", "1") + enumerator("A", "2")),
         {"перечисление Inc::E: элемент A повторяется"}},
        {"string character",
         "Inc",
         "<string><name>S</name><type>Int32</type><maxLength>4</maxLength></string>",
         {"строка Inc::S: тип символа Int32"}},
        {"bound 0", "Inc", bitSet("F", "0", ""), {"битовое поле Inc::F: размер 0 вне диапазона"}},
        {"bound 65", "Inc", bitSet("F", "65", ""), {"Inc::F: размер 65 вне диапазона 1-64"}},
        {"position",
         "Inc",
         bitSet("F", "8", bit("b", "8")),
         {"Inc::F: позиция 8 элемента b вне размера 8"}},
        {"bit twice",
         "Inc",
         bitSet("F", "8", bit("b", "1") + bit("b", "2")),
         {"Inc::F: элемент b повторяется"}},
        {"bit all", "Inc", bitSet("F", "8", bit("all", "1")), {"Inc::F: имя элемента all"}},
        {"bit MaskType",
         "Inc",
         bitSet("F", "8", bit("MaskType", "1")),
         {"Inc::F: имя элемента MaskType"}},
        {"bit like its set", "Inc", bitSet("F", "8", bit("F", "1")), {"Inc::F: имя элемента F"}},
        {"empty structure", "Inc", structureOf("Ss", ""), {"Структура Inc::Ss не содержит полей"}},
        {"member keyword",
         "Inc",
         structureOf("Ss", member("class", "Int32")),
         {"Модуль Inc, структура Inc::Ss: имя поля class"}},
        {"member like its structure",
         "Inc",
         structureOf("Ss", member("Ss", "Int32")),
         {"структура Inc::Ss: имя поля Ss"}},
        {"member like a type the class spells",
         "Inc",
         enumeration("Mode", "Int32", enumerator("ON", "1")) +
             structureOf("Ss", member("x", "Int32") + member("Mode", "Mode")),
         {"структура Inc::Ss: имя поля Mode"}},
        {"member twice",
         "Inc",
         structureOf("Ss", member("x", "Int32") + member("x", "Float64")),
         {"структура Inc::Ss: поле x повторяется"}},
        {"member like a topic method",
         "Inc",
         structureOf("Tt", member("keyHash", "Int32")),
         {"структура Inc::Tt: имя поля keyHash"},
         topic("Tt", "")},
        {"member memset beside a cleared array",
         "Inc",
         "<array><name>Row</name><type>Int32</type><bounds>4</bounds></array>" +
             structureOf("Ss", member("row", "Row") + member("memset", "Int32")),
         {"структура Inc::Ss: имя поля memset"}},
        {"array of 257 dimensions",
         "Inc",
         "<array><name>Deep</name><type>Boolean</type><bounds>" + bounds + "</bounds></array>" +
             structureOf("Ss", member("deep", "Deep")),
         {"структура Inc::Ss: поле deep - массив больше чем из 256 измерений"}},
        {"key path",
         "Inc",
         structureOf("Tt", member("id", "Int32")),
         {"В структуре Inc::Tt нет поля nope"},
         topic("Tt", "nope")},
        {"key path inside",
         "Inc",
         structureOf("In", member("x", "Int32")) +
             structureOf("Tt", member("id", "Int32") + member("inner", "In")),
         {"В структуре Inc::In нет поля nope"},
         topic("Tt", "inner.nope")},
        {"union without cases",
         "Inc",
         unionOf("Int32", {}),
         {"объединение Inc::Uu не содержит вариантов"}},
        {"union without default",
         "Inc",
         unionOf("Int32", {{"1", "aa", "Int32", false}}),
         {"объединение Inc::Uu: вариантов по умолчанию 0"}},
        {"union with two defaults",
         "Inc",
         unionOf("Int32", {{"1", "aa", "Int32", true}, {"2", "bb", "Int32", true}}),
         {"объединение Inc::Uu: вариантов по умолчанию 2"}},
        {"discriminator",
         "Inc",
         unionOf("Float64", {{"1", "aa", "Int32", true}}),
         {"объединение Inc::Uu: тип дискриминанта Float64"}},
        {"byte label",
         "Inc",
         unionOf("Byte", {{"300", "aa", "Int32", true}}),
         {"объединение Inc::Uu: метка \"300\" не является значением типа дискриминанта Byte"}},
        {"char label",
         "Inc",
         unionOf("Char8", {{"ab", "aa", "Int32", true}}),
         {"объединение Inc::Uu: метка \"ab\""}},
        {"enumerator label",
         "Inc",
         enumeration("Color", "Int32", enumerator("RED", "0")) +
             unionOf("Color", {{"PURPLE", "aa", "Int32", true}}),
         {"объединение Inc::Uu: метка \"PURPLE\""}},
        {"labels of one number",
         "Inc",
         unionOf("Int32", {{"1", "aa", "Int32", true}, {"01", "bb", "Int32", false}}),
         {"объединение Inc::Uu: метки \"01\" и \"1\" обозначают одно значение 1"}},
        {"labels of one enumerator",
         "Inc",
         enumeration("Color", "Int32", enumerator("RED", "0")) +
             unionOf("Color", {{"RED", "aa", "Int32", true}, {"0", "bb", "Int32", false}}),
         {"метки \"0\" и \"RED\" обозначают одно значение Color::RED"}},
        {"variable case member",
         "Inc",
         unionOf("Int32", {{"1", "aa", "String8", true}}),
         {"../src/BuildUnion:set:130: В типах данных union реализовано использование только "
          "типов с фиксированным размером!!!"}},
        {"case member with two types",
         "Inc",
         unionOf("Int32", {{"1", "aa", "Int32", true}, {"2", "aa", "Float64", false}}),
         {"объединение Inc::Uu: поле aa повторяется с другим типом"}},
        {"case member d",
         "Inc",
         unionOf("Int32", {{"1", "d", "Int32", true}}),
         {"Inc::Uu: имя поля d "}},
        {"case member d_set",
         "Inc",
         unionOf("Int32", {{"1", "d_set", "Int32", true}}),
         {"Inc::Uu: имя поля d_set"}},
        {"case member _d",
         "Inc",
         unionOf("Int32", {{"1", "_d", "Int32", true}}),
         {"Inc::Uu: имя поля _d"}},
        {"case member like its union",
         "Inc",
         unionOf("Int32", {{"1", "Uu", "Int32", true}}),
         {"Inc::Uu: имя поля Uu"}},
        {"case member like the storage",
         "Inc",
         unionOf("Int32", {{"1", "Uu_storage", "Int32", true}}),
         {"Inc::Uu: имя поля Uu_storage"}},
    };
}

// A map of the key type Kk, used by a keyless topic, so that its helpers are written.
std::string mapKeyedBy(const std::string& keyTypes, const char* key) {
    return keyTypes + "<map><name>Mm</name><typeMapKey>" + key +
           "</typeMapKey><typeElement>Int32</typeElement></map>" + structure("Tt", "Mm");
}

// What only the pack-code generator can judge: map keys that std::map cannot order or the
// skip functions cannot step over, and fixed layouts past 32-bit positions.
std::vector<Refusal> packRefusals() {
    const std::string array = "<array><name>Big</name><type>Byte</type><bounds>";
    const std::vector<std::pair<const char*, std::string>> keys = {
        {"Bb", bitSet("Bb", "3", bit("b", "0"))},
        {"Ss", structure("Ss", "Int32")},
        {"Uu", unionOf("Int32", {{"1", "aa", "Int32", true}})},
        {"Qq", "<sequence><name>Qq</name><seqType>Int32</seqType></sequence>"},
        {"Boolean", ""},
        {"Byte", ""},
        {"Float64", ""},
        {"Ff", alias("Ff", "Float32") + alias("Gg", "Ff")},
    };
    std::vector<Refusal> rows;
    for (const auto& key : keys) {
        const char* name = key.first == std::string("Ff") ? "Gg" : key.first;
        rows.push_back({"map key", "Inc", mapKeyedBy(key.second, name),
                        {"Модуль Inc, отображение Inc::Mm: тип ключа " + std::string(name) +
                         " не может быть ключом отображения"},
                        topic("Tt", "")});
    }
    rows.push_back({"array past 32 bits", "Inc",
                    array + "4294967293</bounds></array>" + structure("Tt", "Big"),
                    {"Модуль Inc, тип Inc::Big: упакованный размер 4294967293 байт не "
                     "помещается в 32 бита"},
                    topic("Tt", "")});
    rows.push_back({"fixed topic past 32 bits", "Inc",
                    array + "3000000000</bounds></array>" +
                        structureOf("Tt", member("a", "Big") + member("b", "Big")),
                    {"Модуль Inc, тип Inc::Big: упакованный размер 6000000000 байт"},
                    topic("Tt", "")});
    rows.push_back({"array of structures past 32 bits", "Inc",
                    structureOf("Pp", member("a", "Int16") + member("b", "Byte")) +
                        "<array><name>Many</name><type>Pp</type><bounds>1431655765 2</bounds>"
                        "</array>" +
                        structure("Tt", "Many"),
                    {"Модуль Inc, тип Inc::Many: упакованный размер больше 4294967291 байт"},
                    topic("Tt", "")});
    return rows;
}

TEST_F(TessgenTest, TheGeneratorRefusesWhatGeneratedCodeCannotHold) {
    std::vector<Refusal> rows = refusals();
    for (Refusal& row : packRefusals()) {
        rows.push_back(std::move(row));
    }
    for (const Refusal& row : rows) {
        SCOPED_TRACE(row.name);
        writeModel("Inc.xml", ("<?xml version='1.0' encoding='UTF-8'?>\n<module><namespace>" +
                               std::string(row.nameSpace) + "</namespace><constructedtypes>" +
                               row.body + "</constructedtypes>" + row.topics + "</module>\n")
                                  .c_str());
        const std::string main = writeModel(
            "Main.xml", ("<?xml version='1.0' encoding='UTF-8'?>\n<module><includedModule>"
                         "<includeNamespace>" +
                         std::string(row.nameSpace) +
                         "</includeNamespace><includeFile>Inc.xml</includeFile>"
                         "</includedModule><namespace>Main</namespace></module>\n")
                            .c_str());
        // The files of an earlier run stay as they were, and nothing is added beside them.
        const QString earlier = m_dir.path() + "/out/Main_DDS/include/Main.h";
        ASSERT_TRUE(QDir().mkpath(QFileInfo(earlier).absolutePath()));
        writeModel("out/Main_DDS/include/Main.h", "earlier run");
        const Outcome r = run({main, "out"});
        EXPECT_EQ(1, r.status) << r.log;
        for (const std::string& part : row.diagnostic) {
            EXPECT_NE(std::string::npos, r.log.find(part)) << part << "\n" << r.log;
        }
        EXPECT_FALSE(hasLine(r.log, "Компилирование закончено"));
        QDirIterator files(m_dir.path() + "/out", QDir::AllEntries | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
        QStringList left;
        while (files.hasNext()) {
            left << files.next().mid(m_dir.path().size() + 5);
        }
        left.sort();
        EXPECT_EQ(left.join(" ").toStdString(),
                  "Main_DDS Main_DDS/include Main_DDS/include/Main.h");
        QFile kept(earlier);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll().toStdString(), "earlier run");
    }
}

}  // namespace
