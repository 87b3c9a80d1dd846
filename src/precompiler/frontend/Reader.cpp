#include "precompiler/frontend/Reader.h"

#include "precompiler/checker/DiagnosticClass.h"
#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/Modules.h"
#include "precompiler/frontend/TopicDataTypes.h"
#include "precompiler/frontend/readXMLfile.h"

#include "ZetException.h"
#include "common/nlx/Logger.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

Reader::Reader(std::vector<DDS_Types>* types, std::vector<TopicDataTypes>* topics,
               NLX::Logger* logger, const char* programPath)
    : m_topics(topics),
      m_types(types),
      m_logger(logger),
      m_modelDirectory(programPath != nullptr ? QString::fromLatin1(programPath) : QString()),
      m_mainFileReader(new readXMLfile(&m_mainModel, this, logger)) {}

Reader::~Reader() = default;

void Reader::ClearAllData() {
    m_mainModel = EditorInternalTypes::VEXA_Types();
    m_mainModel.m_color = QColor(Qt::red);
    m_mainFileReader->clear();
}

void Reader::readXMLFile(std::string file) {
    // The schema classes need an application object; a host program may have one already, and
    // Qt allows only one. The argument count must outlive the object.
    static int noArguments = 0;
    std::unique_ptr<QCoreApplication> application;
    if (QCoreApplication::instance() == nullptr) {
        application.reset(new QCoreApplication(noArguments, nullptr));
    }

    const QString name = QString::fromStdString(file);
    if (name.isEmpty()) {
        throw NLX::ZetException("Ошибка: Reader::readXMLFile. Файл " + file +
                                "   имеет некорректное имя.");
    }
    ClearAllData();
    // A second reading must not merge the first one's modules into the checker's input.
    m_allModulesModel = EditorInternalTypes::VEXA_Types();
    m_modules.reset(new Modules(this, m_logger));

    const QFileInfo info(name);
    m_modelDirectory = info.absolutePath();
    const QString bareName = info.fileName();

    m_modules->setRootPair(
        Modules::NameSpaceFile(m_modules->ReadNameSpaceFromModule(bareName), bareName));
    m_modules->FillVectorNameSpaces_FileModules(bareName);
    m_modules->ReadAllModulesFromFiles();
    m_modules->SetNameSpaces();
    m_modules->CopyModulesDataTypesInMainList(&m_allModulesModel);

    m_mainFileReader->ReadXmlDataFile(bareName, m_modelDirectory);
    if (!m_mainFileReader->isRead()) {
        throw NLX::ZetException("ОШИБКА: файл " + file + " не был корректно считан.");
    }
    m_mainFileReader->traverseNode();

    {
        DiagnosticClass diagnostics(&m_mainModel, &m_allModulesModel);
        try {
            diagnostics.StartDiagnostics();
        } catch (const NLX::ZetException& error) {
            if (m_logger != nullptr) {
                m_logger->log(error.what(), NLX::Logger::SEV_SPECIAL);
            }
            throw NLX::ZetException(error);
        }
    }

    FillDataStructure();
}

void Reader::FillDataStructure() {
    if (m_types == nullptr || m_topics == nullptr || m_modules == nullptr) {
        return;
    }
    QVector<EditorInternalTypes::VEXA_Types> models = m_modules->moduleModels();
    models.append(m_mainModel);

    // Topics point at structures inside the type entries: every type entry is in place before
    // the first topic is converted. Entries from before this call are left alone.
    const std::size_t first = m_types->size();
    for (const EditorInternalTypes::VEXA_Types& model : qAsConst(models)) {
        DDS_Types types;
        ConvertData(model, &types);
        m_types->push_back(std::move(types));
    }
    for (int i = 0; i < models.size(); ++i) {
        TopicDataTypes topics;
        ConvertTopics(models[i], &(*m_types)[first + static_cast<std::size_t>(i)], &topics);
        m_topics->push_back(std::move(topics));
    }
}

QString Reader::RemoveNamespace(QString name, QString ns) {
    const QStringList parts = name.split(QStringLiteral("::"));
    if (parts.size() >= 2 && parts[0] == ns) {
        return parts[1];
    }
    return name;
}
