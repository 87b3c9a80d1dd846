#include "precompiler/frontend/ModelSchema.h"

#include "precompiler/frontend/readXMLfile.h"

#include <QFileInfo>
#include <QUrl>
#include <QXmlSchemaValidator>

#include <unistd.h>

namespace {

ModelSchema::ExecutablePathSource g_executablePathSource = nullptr;

}  // namespace

ModelSchema::ModelSchema() {
    m_schema.setMessageHandler(&m_handler);
    m_schema.setNetworkAccessManager(&m_offline);
}

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
    if (!m_schema.load(&file, QUrl::fromLocalFile(m_path)) || !m_schema.isValid()) {
        return Load::Invalid;
    }
    return Load::Loaded;
}

bool ModelSchema::validate(QFile& file) {
    QXmlSchemaValidator validator(m_schema);
    validator.setMessageHandler(&m_handler);
    validator.setNetworkAccessManager(&m_offline);
    return file.seek(0) &&
           validator.validate(&file, QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
}
