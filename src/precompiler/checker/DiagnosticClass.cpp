#include "precompiler/checker/DiagnosticClass.h"

DiagnosticClass::DiagnosticClass(EditorInternalTypes::VEXA_Types* mainModel,
                                 EditorInternalTypes::VEXA_Types* allModules)
    : m_mainModel(mainModel), m_allModules(allModules) {}

DiagnosticClass::~DiagnosticClass() = default;

void DiagnosticClass::StartDiagnostics() {}
