#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexaconf {

// One typed configuration value, defined by a row "name;type word;range;default;".
class ConfigurationParameter {
public:
    enum TYPE : uint32_t {
        TYPE_UNDEFINED = 0,
        TYPE_BOOLEAN = 1,
        TYPE_INTEGER = 2,
        TYPE_ENUMERATION = 3,
        TYPE_IP_ADDRESS = 4,
        TYPE_STRING = 5,
    };
    enum STATE : uint32_t {
        STATE_UNDEFINED = 0,  // the row failed: every value is ignored
        STATE_DEFAULT = 1,
        STATE_FROM_FILE = 2,
    };

    // Default text of a string row that stands for the empty string.
    static const char* const m_pszEmptyString;

    ConfigurationParameter() = default;

    // Parses a definition row of `length` bytes. 1 done, 0 failed (the parameter is undefined).
    int initialise(const char* row, size_t length);

    // Takes a value from a file line; out-of-range or unknown words are ignored silently.
    void setValue(const char* text);

    // The current value as text (booleans and enumerations as their words).
    // 1 written, 0 for a null buffer, size 0, an undefined parameter or a text that does not fit.
    int getValueAsString(char* buffer, unsigned size) const;

    bool hasDefaultValue() const;

    const char* getStringId() const { return m_name.c_str(); }
    uint32_t getType() const { return m_type; }
    uint32_t getState() const { return m_state; }
    bool getBooleanValue() const { return m_boolValue; }
    int32_t getIntValue() const { return m_intValue; }
    const char* getIpAddress() const { return m_ipValue; }
    const char* getStringValue() const { return m_stringValue.c_str(); }

    // Row data, exposed for diagnostics and tests.
    bool getBooleanDefault() const { return m_boolDefault; }
    int32_t getIntDefault() const { return m_intDefault; }
    uint32_t getIntMinimum() const { return m_intMin; }
    uint32_t getIntMaximum() const { return m_intMax; }
    const char* getIpDefault() const { return m_ipDefault; }
    const std::vector<std::string>& getAlternatives() const { return m_alternatives; }

private:
    void makeUndefined();

    std::string m_name;
    uint32_t m_type = TYPE_UNDEFINED;
    bool m_boolDefault = false;
    uint32_t m_intMin = 0;
    uint32_t m_intMax = 0;
    int32_t m_intDefault = 0;
    std::vector<std::string> m_alternatives;  // enumeration words, or true/false words
    std::string m_trueWord;
    char m_ipDefault[16] = {};
    uint32_t m_state = STATE_UNDEFINED;
    bool m_boolValue = false;
    int32_t m_intValue = 0;
    char m_ipValue[17] = {};
    std::string m_stringValue;
};

}  // namespace vexaconf
