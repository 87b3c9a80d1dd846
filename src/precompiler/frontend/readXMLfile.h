#ifndef TESSGEN_FRONTEND_READXMLFILE_H
#define TESSGEN_FRONTEND_READXMLFILE_H

#include "precompiler/frontend/EditorInternalTypes.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QString>
#include <QVector>

#include <string>

class Reader;
namespace NLX {
class Logger;
}

// Reads one model file into one EditorInternalTypes::VEXA_Types: finds the schema
// resource/VEXA_DataTypes.xsd beside the running executable, checks the schema, resolves the
// file against the model reader's directory, parses and validates it, then walks its elements
// into the records. Every failure is an NLX::ZetException with a Russian text; nothing is logged.
// One object reads one file: construct, ReadXmlDataFile once, traverseNode once.
class readXMLfile {
public:
    // Where the running executable lies; a seam so that tests can place the schema elsewhere.
    using ExecutablePathSource = std::string (*)();

    // None of the pointers is owned; the logger is kept for the owner only.
    readXMLfile(EditorInternalTypes::VEXA_Types* model, Reader* reader, NLX::Logger* logger);
    readXMLfile(const readXMLfile&) = delete;
    readXMLfile& operator=(const readXMLfile&) = delete;
    ~readXMLfile();

    // The main model file. A relative name is looked up in the model directory by its last path
    // component; an absolute name is used as it is. The second argument is not read.
    void ReadXmlDataFile(const QString& fileName, const QString& modelDirectory);
    // An included module file: always the model directory and the name's last path component.
    void ReadXmlDataFile(const QString& fileName);

    // Fills the model from the document read by ReadXmlDataFile.
    void traverseNode();

    // Kind code 1..13 of a primitive type name, -1 for any other text.
    static int returnKindOfPrimitive(const QString& typeName);

    // True once the file has been parsed and validated.
    bool isRead() const { return m_success; }
    // The path of the model file as finally opened.
    const QString& fileName() const { return m_fileName; }
    // The logger given at construction (the reader itself writes no log line).
    NLX::Logger* logger() const { return m_logger; }

    // Forgets the document and the collected elements (the model is left alone).
    void clear();

    // Replaces the source of the executable's path for every schema lookup, the module walk's
    // too (see ModelSchema); nullptr restores /proc/self/exe.
    static void setExecutablePathSource(ExecutablePathSource source);

    // Nesting depth of elements that a model file may not exceed (real models need 7).
    static constexpr int MAX_ELEMENT_DEPTH = 64;
    // Size in bytes that a model file may not exceed.
    static constexpr qint64 MAX_FILE_SIZE = 64LL * 1024 * 1024;

private:
    void readFile(const QString& fileName, bool mainFile);
    QString modelDirectory() const;

    void traverseNodeModule(const QDomElement& element);
    void traverseNodeModelIdentification(const QDomElement& element);
    void traverseNodePrimitives(const QDomElement& element);
    void traverseSinglePrimitive(const QDomElement& element);
    void traverseNodeConstructedtypes(const QDomElement& element);
    void traverseNodeEnumeration();
    void traverseNodeEnumerator(const QDomElement& element,
                                EditorInternalTypes::Enumeration& owner);
    void traverseNodeMap();
    void traverseNodeSequence();
    void traverseNodeArray();
    void traverseNodeString();
    void traverseNodeBitSet();
    void traverseNodeBitElement(const QDomElement& element, EditorInternalTypes::BitSet& owner);
    void traverseNodeAlias();
    void traverseNodeUnion();
    void traverseNodeMapUnion(const QDomElement& element, QString* label,
                              EditorInternalTypes::QMemberAgregate* member);
    void traverseNodeVerbatim(const QDomElement& element,
                              QVector<EditorInternalTypes::Werbatim>& to);
    void traverseNodeStructure();
    void traverseSingleMemberAgregate(const QDomElement& element,
                                      EditorInternalTypes::QMemberAgregate* member);
    void traverseNodeTopicData(const QDomElement& element);
    void traverseSingleKey(const QDomElement& element, QString* keys);

    QString m_fileName;
    EditorInternalTypes::VEXA_Types* m_model;
    NLX::Logger* m_logger;
    Reader* m_reader;
    bool m_success = false;
    QDomDocument m_document;
    QDomElement m_root;

    QDomElement m_modelIdentification;
    QDomElement m_namespace;
    QDomElement m_primitiveTypes;
    QDomElement m_constructedTypes;

    QVector<QDomNode> m_includedModules;
    QVector<QDomNode> m_topicDataTypes;
    QVector<QDomNode> m_enumerations;
    QVector<QDomNode> m_maps;
    QVector<QDomNode> m_sequences;
    QVector<QDomNode> m_arrays;
    QVector<QDomNode> m_strings;
    QVector<QDomNode> m_bitSets;
    QVector<QDomNode> m_aliases;
    QVector<QDomNode> m_unions;
    QVector<QDomNode> m_structures;
};

#endif
