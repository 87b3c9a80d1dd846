#ifndef TESSGEN_FRONTEND_READER_H
#define TESSGEN_FRONTEND_READER_H

#include "precompiler/frontend/EditorInternalTypes.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class DDS_Types;
class TopicDataTypes;
class readXMLfile;
namespace NLX {
class Logger;
}

// Turns one model file into the precompiler's records and holds the model directory against
// which every model and module file is resolved.
// So far it reads, validates and checks the main file only; the module walk and the conversion
// into the type model come with the module loader and the type model.
class Reader {
public:
    // The two outputs and the logger are not owned; programPath (may be null) is the first
    // model directory until readXMLFile sets the real one.
    Reader(std::vector<DDS_Types>* types, std::vector<TopicDataTypes>* topics, NLX::Logger* logger,
           const char* programPath);
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader();

    // Reads and checks the model named by file (UTF-8, absolute or relative to the working
    // directory). Every failure is an NLX::ZetException.
    void readXMLFile(std::string file);

    // Empties the main model and the main-file reader.
    void ClearAllData();

    // Absolute directory of the model file once readXMLFile has started.
    const QString& getModelDirectory() const { return m_modelDirectory; }
    void setModelDirectory(const QString& directory) { m_modelDirectory = directory; }

    // Records of the main file.
    const EditorInternalTypes::VEXA_Types& getMainModel() const { return m_mainModel; }

private:
    // Filled by the conversion into the type model, still to come.
    [[maybe_unused]] std::vector<TopicDataTypes>* m_topics;
    [[maybe_unused]] std::vector<DDS_Types>* m_types;
    NLX::Logger* m_logger;
    EditorInternalTypes::VEXA_Types m_mainModel;
    EditorInternalTypes::VEXA_Types m_allModulesModel;
    QString m_modelDirectory;
    std::unique_ptr<readXMLfile> m_mainFileReader;
};

#endif
