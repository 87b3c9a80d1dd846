#include "precompiler/frontend/ModelSchema.h"

#include "precompiler/frontend/readXMLfile.h"

#include <QFileInfo>
#include <QUrl>
#include <QXmlSchemaValidator>

#include <unistd.h>

namespace {

ModelSchema::ExecutablePathSource g_executablePathSource = nullptr;

// The schema compiled last, with the handler and the network access the engine keeps referring
// to while it lives. Never destroyed: the engine's objects may outlive the application object.
struct CompiledSchema {
    MessageHandler handler;
    OfflineNetworkAccess offline;
    QString path;      // empty while nothing loaded
    QByteArray bytes;  // the file as it was compiled
    QXmlSchema schema;
};

CompiledSchema& compiled() {
    static CompiledSchema* instance = new CompiledSchema;
    return *instance;
}

}  // namespace

ModelSchema::ModelSchema() = default;

ModelSchema::~ModelSchema() = default;

std::string ModelSchema::selfExecutablePath() {
    char buffer[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return std::string();
    }
    return std::string(buffer);
}

void ModelSchema::setExecutablePathSource(ExecutablePathSource source) {
    g_executablePathSource = source;
}

ModelSchema::Load ModelSchema::load() {
    const std::string executable =
        g_executablePathSource != nullptr ? g_executablePathSource() : selfExecutablePath();
    m_executablePath = QFile::decodeName(executable.c_str());
    int separator = m_executablePath.lastIndexOf(QLatin1Char('/'));
    if (separator <= 0) {
        separator = m_executablePath.lastIndexOf(QLatin1Char('\\'));
        if (separator <= 0) {
            return Load::NoDirectory;
        }
    }
    m_path = m_executablePath.left(separator) + QStringLiteral("/resource/VEXA_DataTypes.xsd");

    QFile file(m_path);
    // Only a regular file: a FIFO or a device would block or never end.
    if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly) ||
        file.size() > readXMLfile::MAX_FILE_SIZE) {
        return Load::Unreadable;
    }
    // Its size was checked above; a file grown since then is cut by the check below.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.size() > readXMLfile::MAX_FILE_SIZE) {
        return Load::Unreadable;
    }
    CompiledSchema& last = compiled();
    if (last.path != m_path || last.bytes != bytes) {
        last.path.clear();
        last.schema = QXmlSchema();
        last.schema.setMessageHandler(&last.handler);
        last.schema.setNetworkAccessManager(&last.offline);
        if (!last.schema.load(bytes, QUrl::fromLocalFile(m_path)) || !last.schema.isValid()) {
            m_report = &last.handler;
            return Load::Invalid;
        }
        last.path = m_path;
        last.bytes = bytes;
    }
    m_schema = last.schema;
    return Load::Loaded;
}

bool ModelSchema::validate(QFile& file) {
    m_report = &m_handler;
    QXmlSchemaValidator validator(m_schema);
    validator.setMessageHandler(&m_handler);
    validator.setNetworkAccessManager(&m_offline);
    return file.seek(0) &&
           validator.validate(&file, QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
}
