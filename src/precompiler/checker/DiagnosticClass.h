#ifndef TESSGEN_CHECKER_DIAGNOSTICCLASS_H
#define TESSGEN_CHECKER_DIAGNOSTICCLASS_H

#include "precompiler/checker/ErrorInformationStruct.h"
#include "precompiler/frontend/EditorInternalTypes.h"

#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class QRegExpValidator;

// The model checker. It judges the main model (the records of the file being compiled) against
// fixed rules, in a fixed order, before anything is converted or generated; the included modules
// (allModulesModel) are only looked up, their own faults are the generators' to refuse.
//
// Use: construct on the two models, call StartDiagnostics once, destroy. StartDiagnostics returns
// when the model passes, and otherwise throws NLX::ZetException whose text is
// "Ошибка: DiagnosticClass::StartDiagnostics:" + the failing check's name + " : " + the numbered
// Russian message of its finding. Only the first failing check runs to a finding; the checker
// logs nothing. Codes 38 to 43 are refusals of what generated code could not compile: names
// differing in letter case only, union labels out of range or of one value, a member in two
// cases, members named like a model type or a topic method; code 44 a type that uses a
// primitive declared in the model file under a name that is not built in.
//
// Construction appends the 13 built-in primitives ("Boolean" to "Char32", key "true") to the main
// model's primitive list; they stay there. Nothing else in either model is changed. Both models
// must outlive the checker. One thread; no locks.
class DiagnosticClass {
public:
    DiagnosticClass(EditorInternalTypes::VEXA_Types* mainModel,
                    EditorInternalTypes::VEXA_Types* allModulesModel);
    DiagnosticClass(const DiagnosticClass&) = delete;
    DiagnosticClass& operator=(const DiagnosticClass&) = delete;
    ~DiagnosticClass();

    void StartDiagnostics();

    // Group name and group code of a group number (14..22, 26, 27); "Неизвестный тип" and -1
    // for any other number.
    static int GetIntTypeWidget(int typeKind, QString* groupName);

    // The findings so far; the last one is the one reported.
    const QVector<ErrorInformationStruct>& getErrorInformation() const { return errorInformation; }
    // The message templates; the index is the error code.
    const QStringList& getErrorsTextList() const { return errorsTextList; }

private:
    using Validator = std::unique_ptr<QRegExpValidator>;

    // Construction steps.
    void UpdateListAllNames();
    void UpdateListAllKeysNames();
    void SetErrorsTextList();
    void addPrimitives();
    void createValidators();

    // The checks, in the order StartDiagnostics runs them; each returns true after recording
    // its first finding.
    bool CheckSpaceNameSintax();
    bool CheckAllNamesSintax();
    bool CheckAllPointingTypes();
    bool CheckMainParameters();
    bool CheckDoublingNames();
    bool CheckEnumElements();
    bool CheckBitSetElements();
    bool CheckUnionElements();
    bool CheckStructureElements();
    bool TestItselfReference();
    bool CheckTopicKeys();
    bool CheckDeclaredPrimitives();

    // Name lists.
    QStringList getNamesAllTypesExceptAliases() const;
    QHash<int, QStringList> hashTypeAndListOfTypeNames() const;
    QStringList getAllNamesTypesOfStrings() const;
    QStringList getNamesDiscrTypes() const;

    // Parts of the checks.
    bool checkTypeName(int kind, const QString& name);
    bool checkDoublingInGroups(const QHash<int, QStringList>& names);
    bool isAcceptable(const QRegExpValidator& validator, const QString& text) const;
    bool isReservedWord(const QString& text) const;
    bool isMemberTypeKnown(const QString& type) const;
    bool isModelTypeName(const QString& name) const;
    bool checkMemberKeyCapability(const QString& structName,
                                  const EditorInternalTypes::QMemberAgregate& member);
    bool keyTextOf(const QString& type, QString* key) const;
    bool checkUnionLabels(const EditorInternalTypes::Union& unionType);
    bool checkUnionMembers(const EditorInternalTypes::Union& unionType);
    bool reachesTestedName(const QString& reference);
    // Each appends to the reach list what the named type refers to (leaf types left out).
    void recursiveAddTypes(const QString& name, QStringList* reach) const;
    void recursiveStruct(const QString& name, QStringList* reach) const;
    void recursiveUnion(const QString& name, QStringList* reach) const;
    // What a key member's type allows: a key of its own, or a path on into a structure.
    struct KeyType {
        bool admissible = false;
        const EditorInternalTypes::StructureQ* structure = nullptr;
    };
    KeyType judgeKeyType(const QString& type, bool throughAlias) const;
    bool isAdmissibleKeyPath(const EditorInternalTypes::StructureQ& topicStructure,
                             const QString& path) const;

    // The template of the code with %1, %2, ... replaced by the values.
    QString fillMessage(int code, const QStringList& values) const;
    // Appends a finding of the code: %1 the group name, %2 the type's name, then the values.
    void record(int typeKind, const QString& typeName, int code, const QStringList& values = {});

    EditorInternalTypes::VEXA_Types* mainModel;
    EditorInternalTypes::VEXA_Types* allModulesModel;

    Validator identifierValidator;
    std::vector<Validator> reservedWordValidators;
    Validator integerValidator;
    Validator booleanValidator;
    Validator extensibilityValidator;
    Validator lengthValidator;
    Validator dimensionsValidator;
    Validator qualifiedNameValidator;
    Validator alphanumericValidator;

    QStringList errorsTextList;
    QVector<ErrorInformationStruct> errorInformation;

    // The main model's names by kind, taken before the built-in primitives are appended; the
    // position of a name is the position of its record.
    QStringList basicNames;
    QStringList primitiveNames;
    QStringList enumNames;
    QStringList stringNames;
    QStringList mapNames;
    QStringList sequenceNames;
    QStringList bitSetNames;
    QStringList aliasNames;
    QStringList structNames;
    QStringList arrayNames;
    QStringList unionNames;
    QStringList leafTypeNames;

    // The self-reference search: the type under test and the reference being followed, and
    // which list of the main model (kind, position) each name belongs to.
    QString testedTypeName;
    QString followedReference;
    using TypePlace = QPair<int, int>;
    QHash<QString, TypePlace> walkIndex;

    QHash<int, QStringList> typeNamesByKind;
    QStringList allModulesTypeNames;
};

#endif
