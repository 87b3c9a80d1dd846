#ifndef TESSGEN_TYPEGEN_BUILDUNION_H
#define TESSGEN_TYPEGEN_BUILDUNION_H

#include <cstddef>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

class AnyType;
class Msg;
class Union;

namespace NLX {

class Logger;

// The class generator of unions: for one union of the module being generated, its forward
// declaration and its class, all inline: a discriminator m_d, the storage m_<U> (a union type
// <U>_storage whose members are m_ + case member name) and the flag m_d_set, with copy, move,
// ==, the accessor _d() and per case member a setter and two getters that refuse an inactive
// or unset union with dds::core::InvalidArgumentError.
//
// The cases come in the order of Union::m_cases with the default case last in every switch; a
// member carried by several cases is stored and accessed once. Members are constructed in the
// storage with placement new and never destroyed: only members of fixed length are admitted,
// and those own nothing. An unset union copies and compares only its flag and discriminator.
//
// compile() refuses, before anything of the union is written, with NLX::ZetException (and one
// logged line): a discriminator that cannot discriminate, a label that is no value of it or
// names the value of another label, a union without exactly one default case, a member of
// variable length, and a member name the class cannot use.
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
    void set();
    void checkMemberNames();
    void buildComment();
    void buildConstructor();
    void buildCopyConstructor();
    void buildMoveConstructor();
    void buildOperatorCopy();
    void buildOperatorMove();
    void buildOperatorCompare();
    void buildMemberAccessors();
    void buildAttributes();
    // The switch over the discriminator at the given level: one case per label, the default
    // case last; statement gives the branch of a member.
    void caseSwitch(unsigned level, const std::function<std::string(std::size_t)>& statement);
    void docComment(const char* title, const std::vector<std::string>& lines);
    void assignmentOperator(bool move);
    std::string storageOf(std::size_t member) const;  // S.m_N
    [[noreturn]] void refuse(const char* function, int line, const std::string& text) const;

    std::string m_notActiveText;
    std::string m_notSetText;
    Msg* m_texts;
    std::ostringstream* m_forwardDeclarations;
    std::ostringstream* m_classBodies;
    std::ostringstream* m_definitions;  // never written: everything is inline
    Logger* m_logger;

    Union* m_union = nullptr;
    std::string m_module;
    std::string m_className;      // U
    std::string m_storage;        // S: m_U
    std::string m_storageType;    // U_storage
    std::string m_discriminator;  // K: how the class spells the discriminator's type
    std::string m_discriminatorInit;
    std::string m_switchSubject;  // what the switches test
    // Per case, in the order of Union::m_cases.
    std::vector<std::string> m_labels;
    std::vector<std::size_t> m_caseMember;  // index of the case's member below
    std::size_t m_defaultCase = 0;
    // Per distinct member, in the order of their first case.
    std::vector<std::string> m_memberNames;
    std::vector<std::string> m_typeTexts;
    std::vector<std::string> m_memberComments;
    std::vector<AnyType*> m_memberTypes;
    std::size_t m_typeWidth = 0;
    std::size_t m_nameWidth = 0;
};

}  // namespace NLX

#endif
