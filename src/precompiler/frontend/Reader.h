#ifndef TESSGEN_FRONTEND_READER_H
#define TESSGEN_FRONTEND_READER_H

#include "precompiler/frontend/EditorInternalTypes.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

struct DDS_Types;
struct TopicDataTypes;
class Modules;
class readXMLfile;
namespace NLX {
class Logger;
}

// Turns one model file, with every module it includes, into the type model: module walk and
// loading, reading of the main file, the checker, then the conversion of the records into one
// DDS_Types and one TopicDataTypes per module. Holds the model directory against which every
// model and module file is resolved.
class Reader {
public:
    // The two outputs and the logger are not owned; programPath (may be null) is the first
    // model directory until readXMLFile sets the real one. Null outputs skip the conversion.
    Reader(std::vector<DDS_Types>* types, std::vector<TopicDataTypes>* topics, NLX::Logger* logger,
           const char* programPath);
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader();

    // Reads, checks and converts the model named by file (UTF-8, absolute or relative to the
    // working directory). Appends to both outputs one entry per included module, in the order
    // the modules were found, then one for the main file; the topic entry i belongs to the type
    // entry i. Every failure is an NLX::ZetException; the outputs then hold what was appended
    // before it. Meant to run once per Reader; a second call starts from empty models again.
    void readXMLFile(std::string file);

    // Empties the main model and the main-file reader.
    void ClearAllData();

    // The conversion of the records, modules first, then the main file.
    void FillDataStructure();
    // The types of one model into target, which holds its primitive types already.
    void ConvertData(EditorInternalTypes::VEXA_Types model, DDS_Types* target);
    // The topics of one model; types is the same model converted by ConvertData.
    void ConvertTopics(EditorInternalTypes::VEXA_Types model, DDS_Types* types,
                       TopicDataTypes* target);
    // name without a leading namespace ns: the second "::" part when the first one is ns,
    // otherwise name unchanged ("Geo::Inner::Point" gives "Inner" for ns "Geo").
    static QString RemoveNamespace(QString name, QString ns);

    // Absolute directory of the model file once readXMLFile has started.
    const QString& getModelDirectory() const { return m_modelDirectory; }
    void setModelDirectory(const QString& directory) { m_modelDirectory = directory; }

    // Records of the main file.
    const EditorInternalTypes::VEXA_Types& getMainModel() const { return m_mainModel; }
    // Qualified records of every included module (the checker's second input).
    const EditorInternalTypes::VEXA_Types& getAllModulesModel() const { return m_allModulesModel; }
    // The module loader of the last readXMLFile; null before.
    const Modules* getModules() const { return m_modules.get(); }

private:
    std::vector<TopicDataTypes>* m_topics;
    std::vector<DDS_Types>* m_types;
    std::unique_ptr<Modules> m_modules;
    NLX::Logger* m_logger;
    EditorInternalTypes::VEXA_Types m_mainModel;
    EditorInternalTypes::VEXA_Types m_allModulesModel;
    QString m_modelDirectory;
    std::unique_ptr<readXMLfile> m_mainFileReader;
};

#endif
