#include "precompiler/frontend/Reader.h"

#include "precompiler/checker/DiagnosticClass.h"
#include "precompiler/frontend/readXMLfile.h"

#include "ZetException.h"
#include "common/nlx/Logger.h"

#include <QCoreApplication>
#include <QFileInfo>

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
    // The schema classes need an application object; a host program may have one already.
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

    const QFileInfo info(name);
    m_modelDirectory = info.absolutePath();
    const QString bareName = info.fileName();

    m_mainFileReader->ReadXmlDataFile(bareName, m_modelDirectory);
    if (!m_mainFileReader->isRead()) {
        throw NLX::ZetException("ОШИБКА: файл " + file + " не был корректно считан.");
    }
    m_mainFileReader->traverseNode();

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
