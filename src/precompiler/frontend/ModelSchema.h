#ifndef TESSGEN_FRONTEND_MODELSCHEMA_H
#define TESSGEN_FRONTEND_MODELSCHEMA_H

#include "precompiler/frontend/MessageHandler.h"
#include "precompiler/frontend/OfflineNetworkAccess.h"

#include <QFile>
#include <QString>
#include <QXmlSchema>

#include <string>

// The schema of model files, resource/VEXA_DataTypes.xsd beside the running executable: found,
// loaded and used to validate model files, the schema engine kept offline throughout. It says
// what went wrong and where; each caller words its own error text from that.
//
// The engine keeps for good what it builds while compiling a schema, and compiling takes longer
// than validating a model, so the process keeps the schema compiled from the bytes last loaded:
// every module of a model, and every later model, reuses it while the file reads the same.
// Models are read on one thread.
class ModelSchema {
public:
    // Where the running executable lies; a seam so that tests can place the schema elsewhere.
    using ExecutablePathSource = std::string (*)();

    enum class Load {
        Loaded,
        // The executable's path has no directory part (also when it could not be read).
        NoDirectory,
        // The schema is no regular file of a sane size that opens for reading.
        Unreadable,
        // The engine refused the schema; line(), column() and description() say why.
        Invalid,
    };

    ModelSchema();
    ModelSchema(const ModelSchema&) = delete;
    ModelSchema& operator=(const ModelSchema&) = delete;
    ~ModelSchema();

    // Finds and loads the schema; call once, before validate.
    Load load();
    // The executable's path as it was read (for the text of NoDirectory).
    const QString& executablePath() const { return m_executablePath; }
    // The schema file's path; empty when its directory was not found.
    const QString& path() const { return m_path; }

    // Validates the opened model file from its start, naming it by its absolute path; false
    // when it does not conform (line(), column() and description() say where and why).
    bool validate(QFile& file);

    // The schema engine's last message: of the load, or of the last validation.
    const QString& description() const { return m_report->description(); }
    qint64 line() const { return m_report->line(); }
    qint64 column() const { return m_report->column(); }

    // The running executable's path from /proc/self/exe; empty when the link cannot be read.
    static std::string selfExecutablePath();
    // Replaces the source of the executable's path; nullptr restores /proc/self/exe.
    static void setExecutablePathSource(ExecutablePathSource source);

private:
    // The validator refers to both while it runs.
    MessageHandler m_handler;
    OfflineNetworkAccess m_offline;
    // Where description(), line() and column() come from.
    const MessageHandler* m_report = &m_handler;
    // A shared copy of the process's compiled schema.
    QXmlSchema m_schema;
    QString m_executablePath;
    QString m_path;
};

#endif
