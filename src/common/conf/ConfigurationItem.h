#pragma once

#include <string>

namespace vexaconf {

// A file entry that is no parameter of the manager's set, or a program argument.
class ConfigurationItem {
public:
    // Copies both texts; a null value gives the empty text.
    ConfigurationItem(const char* name, const char* value);

    ConfigurationItem(const ConfigurationItem&) = delete;
    ConfigurationItem& operator=(const ConfigurationItem&) = delete;

    const char* getName() const { return m_name.c_str(); }
    const char* getValue() const { return m_value.c_str(); }
    ConfigurationItem* getNext() const { return m_next; }
    void setNext(ConfigurationItem* next) { m_next = next; }

private:
    std::string m_name;
    std::string m_value;
    ConfigurationItem* m_next = nullptr;  // not owned; the manager frees the list
};

}  // namespace vexaconf
