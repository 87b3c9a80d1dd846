#pragma once

namespace vexares {

// Prints a loader diagnostic to standard output, without a line end.
void printDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vexares
