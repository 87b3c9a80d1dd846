#ifndef TESSGEN_FRONTEND_MODULES_H
#define TESSGEN_FRONTEND_MODULES_H

#include "precompiler/frontend/EditorInternalTypes.h"

#include <QPair>
#include <QString>
#include <QVector>

class Reader;
namespace NLX {
class Logger;
}

// The modules a model file includes, and the modules they include: walked from the main file,
// each validated against the model schema, read into its own records, its names qualified by
// its namespace and its records merged into the all-modules model the checker sees. Every
// module file is looked for by its bare name in the main file's directory. Failures are
// NLX::ZetException; nothing is logged.
class Modules {
public:
    // (namespace, bare file name)
    using NameSpaceFile = QPair<QString, QString>;

    // Neither pointer is owned; the reader's model directory resolves every file name.
    Modules(Reader* reader, NLX::Logger* logger);

    // Text of the first "namespace" child of the file's document element; empty when there is
    // none or the file is no well-formed XML. Throws when the file cannot be opened.
    QString ReadNameSpaceFromModule(QString fileName);
    // The main file's entry, which starts the list of (namespace, file) pairs.
    void setRootPair(const NameSpaceFile& root);
    // Validates the file and, depth first, every module it includes, entering each new module
    // into the pair list once. 0 when done, 3 when this file cannot be opened; every other
    // failure throws.
    int FillVectorNameSpaces_FileModules(QString fileName);
    // Reads every module of the pair list but the main file, in dependency order; true when
    // done.
    bool ReadAllModulesFromFiles();
    // Qualifies each module's type names and references with the module's own namespace.
    void SetNameSpaces();
    // Appends every module's type and topic records to the all-modules model.
    void CopyModulesDataTypesInMainList(EditorInternalTypes::VEXA_Types* allModules);

    // One model per included module, each after the modules it includes (the walk's
    // post-order); modules that include each other in a cycle keep the walk's finishing order.
    const QVector<EditorInternalTypes::VEXA_Types>& moduleModels() const { return m_moduleModels; }
    const QVector<NameSpaceFile>& namespaceFiles() const { return m_namespaceFiles; }

    // Includes nested deeper than this are refused rather than exhausting the stack.
    static constexpr int MAX_INCLUDE_DEPTH = 256;

private:
    int walk(const QString& fileName, int depth);
    QString pathOf(const QString& fileName) const;

    QVector<EditorInternalTypes::VEXA_Types> m_moduleModels;
    QVector<NameSpaceFile> m_namespaceFiles;
    // Indices into m_namespaceFiles, each module after the modules it includes.
    QVector<int> m_dependencyOrder;
    NameSpaceFile m_rootPair;
    NLX::Logger* m_logger;
    Reader* m_reader;
};

#endif
