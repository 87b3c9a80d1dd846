#ifndef TESSGEN_TYPEGEN_BUILDUNION_H
#define TESSGEN_TYPEGEN_BUILDUNION_H

#include <sstream>
#include <string>

class Msg;
class Union;

namespace NLX {

class Logger;

// The class generator of unions. For now it writes only the forward declaration of the class,
// so that the declarations around it compile; the class itself comes later, with the same
// constructor and entry.
class BuildUnion {
public:
    // notActiveText and notSetText: the error texts of the generated accessors (Msg texts 4
    // and 2). The buffers and the table belong to the model compiler and outlive the generator.
    BuildUnion(const std::string& notActiveText, const std::string& notSetText, Msg* texts,
               std::ostringstream* forwardDeclarations, std::ostringstream* classBodies,
               std::ostringstream* definitions, Logger* logger);
    BuildUnion(const BuildUnion&) = delete;
    BuildUnion& operator=(const BuildUnion&) = delete;

    // Writes the union's declarations; the union belongs to module.
    void compile(Union* unionType, const std::string& module);

    // True until the first compile of a module; the model compiler sets it at every module
    // and writes the section banners before the first union.
    bool m_firstUnion = true;

private:
    [[maybe_unused]] std::string m_notActiveText;
    [[maybe_unused]] std::string m_notSetText;
    [[maybe_unused]] Msg* m_texts;
    std::ostringstream* m_forwardDeclarations;
    [[maybe_unused]] std::ostringstream* m_classBodies;
    [[maybe_unused]] std::ostringstream* m_definitions;
    [[maybe_unused]] Logger* m_logger;
};

}  // namespace NLX

#endif
