#ifndef TESSGEN_CHECKER_DIAGNOSTICCLASS_H
#define TESSGEN_CHECKER_DIAGNOSTICCLASS_H

#include "precompiler/frontend/EditorInternalTypes.h"

// The model checker: the checks a model must pass before code is generated. A failing check
// throws NLX::ZetException. This is its entry only; the checks come with the checker itself, so
// for now every model passes.
class DiagnosticClass {
public:
    // The main file's records and the qualified records of all included modules; not owned.
    DiagnosticClass(EditorInternalTypes::VEXA_Types* mainModel,
                    EditorInternalTypes::VEXA_Types* allModules);
    DiagnosticClass(const DiagnosticClass&) = delete;
    DiagnosticClass& operator=(const DiagnosticClass&) = delete;
    ~DiagnosticClass();

    // Returns when the model is sound.
    void StartDiagnostics();

private:
    [[maybe_unused]] EditorInternalTypes::VEXA_Types* m_mainModel;
    [[maybe_unused]] EditorInternalTypes::VEXA_Types* m_allModules;
};

#endif
