#pragma once

namespace vexatest {

// For a forked child of a binary that has not used the core yet: a new working directory
// with its own VEXA_HOME, holding the core's message texts when `withTexts`, and a dcps.cfg
// with `config` as its lines unless `config` is null (no dcps.cfg anywhere then). The child
// then meets the core's service for the first time. False (with a line on stderr) when the
// directory could not be made.
bool freshProcessHome(char const* config, bool withTexts);

}  // namespace vexatest
