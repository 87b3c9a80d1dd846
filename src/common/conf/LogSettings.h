#pragma once

namespace vexaconf {

class ConfigurationManager;

// Pushes the log settings (codes 11-16) that the manager's file itself holds into the process
// logger; row defaults are not pushed.
void applyLogSettings(const ConfigurationManager& manager);

}  // namespace vexaconf
