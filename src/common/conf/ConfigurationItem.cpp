#include "common/conf/ConfigurationItem.h"

namespace vexaconf {

ConfigurationItem::ConfigurationItem(const char* name, const char* value)
    : m_name(name ? name : ""), m_value(value ? value : "") {}

}  // namespace vexaconf
