#pragma once

namespace vexaconf {

class ConfigurationManager;

// Logs, after `config.read()`, which file the configuration came from: the path, or that none
// was found, at the configuration level with message `fromId` (arguments: file name, source
// text); and, at the warning level with message `shadowsId` (arguments: local path, installed
// path), that a working-directory file was read in place of the installed one, since the local
// file replaces it whole. The ids are those of the caller's own message file.
//
// Not for the logger's own reads: the logger is being made then.
void logConfigurationSource(const ConfigurationManager& config, const char* module, unsigned fromId,
                            unsigned shadowsId);

}  // namespace vexaconf
