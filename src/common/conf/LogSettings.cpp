#include "common/conf/LogSettings.h"

#include "common/conf/ConfigurationManager.h"

namespace vexaconf {

void applyLogSettings(const ConfigurationManager& manager) {
    // Wired to the process logger once it exists.
    (void)manager;
}

}  // namespace vexaconf
