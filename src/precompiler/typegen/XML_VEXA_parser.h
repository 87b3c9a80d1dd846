#ifndef TESSGEN_TYPEGEN_XML_VEXA_PARSER_H
#define TESSGEN_TYPEGEN_XML_VEXA_PARSER_H

#include "precompiler/frontend/DDS_Types.h"
#include "precompiler/frontend/TopicDataTypes.h"
#include "precompiler/frontend/TypeRep.h"
#include "precompiler/typegen/StagedFiles.h"
#include "precompiler/typegen/TypeOrder.h"

#include "Msg.h"
#include "ResourceDDS.h"
#include "common/nlx/Logger.h"
#include "vexa_pack.h"

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

class Reader;

namespace NLX {

class BuildStruct;
class BuildUnion;
struct BuildePack;

// Paths of up to three generated files; a field not used stays empty.
struct ddsFileName {
    std::string h;
    std::string hpp;
    std::string cpp;
};

// The model compiler: one compilation of one model into six C++ files.
//
// compile() has the Reader read and check the model, creates <result>/<model>_DDS/include and
// /src with model.h, model_DCPS.hpp, model_DCPS.h, model_DCPS_Pack.h, model.cpp and
// model_DCPS_Pack.cpp (truncated), writes their heads, and then, module by module (included
// modules first): registers the module's types, marks its topics, completes every type,
// orders and pairs the types (TypeOrder), opens the module's namespaces, has the declaration
// writers fill eight text buffers (and the bit-set and pack code go straight into the pack
// files), copies the buffers into model.h and model.cpp and closes the namespaces. At the end
// the files get their tails.
//
// Every refusal leaves compile() as NLX::ZetException with a Russian text naming what was
// refused. The six files are written under temporary names (StagedFiles) and moved into place
// only when the whole run has succeeded: a refused run removes what it wrote and the
// directories it made, and leaves the files of an earlier run as they were.
//
// One object serves one compile(). The generators made per run (BuildStruct, BuildUnion, a
// BuildePack per module) borrow the buffers and the pack streams; they are owned here. The
// type registry AnyType::m_mapNameAnyTypePtr and NLX::Indent are process-wide: compile()
// starts both afresh, and nothing of them may be used by another thread meanwhile.
class XML_VEXA_parser {
public:
    // logger is not owned and may be null; programPath is argv[0]; packType 1 also writes
    // the byte-swapping unpack of bit sets. generationTime is the date of every file head.
    XML_VEXA_parser(Logger* logger, char* programPath, VEXA_PACK::pack_type packType,
                    const std::string& generationTime = getTimeStr());
    XML_VEXA_parser(const XML_VEXA_parser&) = delete;
    XML_VEXA_parser& operator=(const XML_VEXA_parser&) = delete;
    ~XML_VEXA_parser();

    // enumCpp11 defines NLX_ENUM_CPP11 in model.h, which selects the scoped enumerations.
    void compile(const std::string& modelPath, const std::string& resultDir, bool enumCpp11);

    // The model name of a path: the last part after '/' or '\', less its last extension.
    static std::string getFileName(const std::string& path);
    // The current UTC time, "%d.%m.%y %I:%M:%S UTC".
    static std::string getTimeStr();

    // The " * @brief " lines of a comment block at level levels of indentation; the text is
    // made safe for a block comment.
    static std::string AddComment(const std::string& text, unsigned level);

private:
    // The run (driver).
    void compileFiles(const std::string& modelPath, const std::string& resultDir);
    void openFiles(const std::string& model);
    void closeFiles(const std::string& model);
    void setTopicKeyDescriptions(unsigned moduleIndex);
    void compileModule(unsigned moduleIndex);
    void logSummary();
    // A progress line when there is a logger.
    template <typename... Texts>
    void log(Logger::NLX_LOGGER_SEVERITY severity, const Texts&... texts) {
        if (m_logger != nullptr) {
            m_logger->log(texts..., severity);
        }
    }

    // File heads, namespaces and module tails.
    void CreateHeaderProjectTypes(const std::string& model);
    void CreateHeaderProjectDCPS(const std::string& model);
    void CreateHeaderProjectPack(const std::string& model);
    void CreateNamespceForModuleTypes(std::string module);
    void CreateModuleDCPS(const std::string& module);
    void CreateModuleNamespceDCPS_Pack(const std::string& module);
    void closeNamespase(const std::string& module);
    std::vector<std::string> banner(const std::string& purpose, const std::string& path);

    // Declarations.
    void createALLDeclarations(AnyType* type);
    void createEnumDeclarations(const ConstructedTypes& types);
    void createDeclarations(Alias* alias, std::ostringstream& out);
    void createDeclarations(String* text);
    void createContainerDeclarations(const AnyType* type);
    void createDeclarations(const BitSet* bitset);
    void writeTypedef(std::ostringstream& out, const std::string& target, const AnyType* type);
    // Refuses a type name of the current module that generated code cannot use.
    void checkTypeName(const AnyType* type);
    void checkEnumeration(const Enumeration& enumeration);
    void checkBitSet(const BitSet& bitset);
    [[noreturn]] void refuse(const char* function, int line, const std::string& text);

    TypeOrder m_order;  // the type set, the placed names and the declaration order
    TypeRep m_typeRep;
    VEXA_PACK::pack_type m_packType;
    std::unique_ptr<Reader> m_reader;
    std::string m_modelPath;
    Logger* m_logger;
    std::string m_generationTime;
    std::string m_fileSetName;
    ddsFileName m_typesFiles;
    ddsFileName m_dcpsFiles;
    ddsFileName m_packFiles;
    std::ofstream m_typesHeader;  // model.h
    std::ofstream m_typesSource;  // model.cpp
    std::ofstream m_dcpsMain;     // model_DCPS.hpp
    std::ofstream m_dcpsHeader;   // model_DCPS.h
    std::ofstream m_packHeader;   // model_DCPS_Pack.h
    std::ofstream m_packSource;   // model_DCPS_Pack.cpp
    StagedFiles m_output;         // the six streams' files until the run succeeds
    std::string m_resultDir;
    std::string m_includeDir;
    std::string m_sourceDir;
    // Filled by the reader: one entry each per module, included modules first. Their
    // addresses stay put: nothing is added once the reader is done.
    std::vector<TopicDataTypes> m_topics;
    std::vector<DDS_Types> m_modules;
    // The text buffers of one module. The first seven go into model.h in the order
    // primitive aliases, forward declarations, union forward declarations, enumerations,
    // strings, containers, class bodies; the definitions into model.cpp.
    std::ostringstream m_classBodies;
    std::ostringstream m_definitions;
    std::ostringstream m_forwardDeclarations;
    std::ostringstream m_unionForwardDeclarations;
    std::ostringstream m_primitiveAliases;
    std::ostringstream m_enumerations;
    std::ostringstream m_containers;
    std::ostringstream m_strings;
    ResourceDDS m_templates;
    Msg m_texts;
    std::string m_currentModule;
    std::unique_ptr<BuildStruct> m_buildStruct;
    std::unique_ptr<BuildUnion> m_buildUnion;
    std::unique_ptr<BuildePack> m_buildPack;
    // First-of-kind flags: a section banner goes before the first declaration of its group
    // in a module.
    bool m_firstAlias = true;
    bool m_firstBitSet = true;
    bool m_firstContainer = true;
    bool m_firstString = true;
    bool m_enumCpp11 = true;
    std::string m_modelName;
    // Names the module's topics add to its namespace (<T>DataReader and the like).
    std::set<std::string> m_topicNames;
};

}  // namespace NLX

#endif
