#ifndef TESSGEN_TYPEGEN_BUILDSTRUCT_H
#define TESSGEN_TYPEGEN_BUILDSTRUCT_H

#include <sstream>
#include <string>

class ResourceDDS;
class Structure;

namespace NLX {

class Logger;

// The class generator of structures. For now it writes only the forward declaration of the
// class, so that the declarations around it compile; the class itself comes later, with the
// same constructor and entry.
class BuildStruct {
public:
    // The buffers and the table belong to the model compiler and outlive the generator.
    BuildStruct(std::ostringstream* forwardDeclarations, std::ostringstream* classBodies,
                std::ostringstream* definitions, ResourceDDS* templates, Logger* logger);
    BuildStruct(const BuildStruct&) = delete;
    BuildStruct& operator=(const BuildStruct&) = delete;

    // Writes the structure's declarations; the structure belongs to module.
    void compile(Structure* structure, const std::string& module);

    // True until the first compile of a module; the model compiler sets it at every module
    // and writes the section banners before the first structure.
    bool m_firstStructure = true;

private:
    std::ostringstream* m_forwardDeclarations;
    [[maybe_unused]] std::ostringstream* m_classBodies;
    [[maybe_unused]] std::ostringstream* m_definitions;
    [[maybe_unused]] ResourceDDS* m_templates;
    [[maybe_unused]] Logger* m_logger;
};

}  // namespace NLX

#endif
