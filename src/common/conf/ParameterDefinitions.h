#pragma once

namespace vexaconf {

// The built-in definition row of a parameter code 1..40 ("name;type word;range;default;"),
// null for any other code.
const char* parameterDefinitionRow(unsigned code);

}  // namespace vexaconf
