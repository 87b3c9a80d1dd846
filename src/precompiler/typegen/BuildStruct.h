#ifndef TESSGEN_TYPEGEN_BUILDSTRUCT_H
#define TESSGEN_TYPEGEN_BUILDSTRUCT_H

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

class AnyType;
class ResourceDDS;
class Structure;

namespace NLX {

class Logger;

// The class generator of structures: for one structure of the module being generated, its
// forward declaration, its class (constructors, copy and move, == and !=, accessors, data
// members "m_" + member name) and, where the class needs them, the out-of-line definitions.
// A topic structure also gets nameOfType and the topic methods of the code templates; the pack
// code generator defines the ones the templates only declare.
//
// compile() refuses, before anything of the structure is written, with NLX::ZetException (and
// one logged line): a structure without members, a member name generated code cannot use, and
// a key path that names no member.
class BuildStruct {
public:
    // The buffers and the table belong to the model compiler and outlive the generator.
    BuildStruct(std::ostringstream* forwardDeclarations, std::ostringstream* classBodies,
                std::ostringstream* definitions, ResourceDDS* templates, Logger* logger);
    BuildStruct(const BuildStruct&) = delete;
    BuildStruct& operator=(const BuildStruct&) = delete;

    // Writes the structure's declarations; the structure belongs to module.
    void compile(Structure* ptrStructureType, const std::string& modulName);

    // The initialiser of a member of the type: "false", "0", the qualified first enumerator,
    // or empty for a type whose own default constructor applies.
    std::string getDefaultValue(AnyType* type) const;
    // The pieces of a key path between its dots, empty ones kept.
    static std::vector<std::string> getVctKey(const std::string& key);

    // True until the first compile of a module; the model compiler sets it at every module
    // and writes the section banners before the first structure.
    bool m_firstStructure = true;

private:
    void set();
    void checkKeyPaths();
    void checkMemberNames();
    void buildComment();
    void buildTopick_DATA_SERVICE();
    void buildConstructor();
    void buildExplicitConstructor();
    void buildCopyConstructor();
    void buildMoveConstructor();
    void buildOperatorCopy();
    void buildOperatorMove();
    void buildOperatorCompare();
    void buildMemberAccessors();
    void buildAttributes();
    // Pieces shared by the writers.
    void docComment(const char* title, const std::vector<std::string>& extraLines = {});
    std::string memberColumn(std::size_t i) const;
    void copyOrMoveConstructor(bool move);
    void copyOrMoveOperator(bool move);
    // How the default constructor gives member i its value: an assignment (primitives and
    // enumerations), loops over every element (arrays of Boolean or enumerations, nested arrays
    // included), memset (arrays of other primitives), or nothing (the type's own default
    // constructor applies). Alias chains are followed to their end.
    struct DefaultInit {
        enum Kind { NONE, VALUE, LOOPS, MEMSET } kind = NONE;
        AnyType* element = nullptr;  // the member's type or the innermost array element
        unsigned depth = 0;          // dimensions of all nested arrays
        std::uint64_t bytes = 0;     // what memset clears
    };
    DefaultInit defaultInit(std::size_t i) const;
    [[noreturn]] void refuse(const char* function, int line, const std::string& text) const;

    std::ostringstream* m_forwardDeclarations;
    std::ostringstream* m_classBodies;
    std::ostringstream* m_definitions;
    ResourceDDS* m_templates;
    Logger* m_logger;

    Structure* m_structure = nullptr;
    std::string m_module;
    std::string m_className;
    // One entry per member, in member order.
    std::vector<std::string> m_typeTexts;
    std::vector<std::string> m_parameterTypes;  // empty when no member is complex
    std::vector<std::string> m_memberNames;
    std::vector<std::string> m_memberComments;
    std::vector<AnyType*> m_memberTypes;
    std::size_t m_typeWidth = 0;
    std::size_t m_parameterWidth = 0;
    std::size_t m_nameWidth = 0;
    std::size_t m_memberCount = 0;
    // Some member is complex: everything but the default constructor and the accessors is
    // defined out of line.
    bool m_referenceParameters = false;
    bool m_isTopic = false;
};

}  // namespace NLX

#endif
