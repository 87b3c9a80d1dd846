#include "common/conf/ConfigurationParameter.h"

#include <cstdio>
#include <cstring>

#include "common/conf/ConfigurationManager.h"

namespace vexaconf {

const char* const ConfigurationParameter::m_pszEmptyString = "<Пустая строка>";

namespace {

constexpr int kFieldSize = 2049;  // a field of 2048 characters and its terminator
constexpr uint32_t kMaxInt = 0xFFFFFFFFu;

// Decimal value of the leading digits of a row field, truncated to 32 bits.
uint32_t rowNumber(const char* text) {
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10u + static_cast<uint32_t>(*text - '0');
    }
    return value;
}

// Leading decimal number of a value from a file. A leading minus or a value above 2147483647
// is refused: such a value would reach the engine as a negative period.
bool fileNumber(const char* text, uint32_t& value) {
    if (*text == '-') {
        return false;
    }
    if (*text == '+') {
        ++text;
    }
    uint64_t v = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        v = v * 10u + static_cast<uint64_t>(*text - '0');
        if (v > 0x7FFFFFFFu) {
            return false;
        }
    }
    value = static_cast<uint32_t>(v);
    return true;
}

// Splits `field` at '|' into its non-empty trimmed pieces. False when a piece is too long.
bool splitWords(const char* field, std::vector<std::string>& words) {
    const int length = static_cast<int>(std::strlen(field));
    std::vector<char> piece(kFieldSize);
    int pos = 0;
    for (;;) {
        const int next =
            ConfigurationManager::readCSV(field, length, pos, '|', piece.data(), kFieldSize);
        if (next == -2) {
            return false;
        }
        if (piece[0] != '\0') {
            words.emplace_back(piece.data());
        }
        if (next < 0) {
            break;
        }
        pos = next;
    }
    return true;
}

}  // namespace

void ConfigurationParameter::makeUndefined() {
    m_type = TYPE_UNDEFINED;
    m_state = STATE_UNDEFINED;
}

int ConfigurationParameter::initialise(const char* row, size_t length) {
    if (row == nullptr) {
        makeUndefined();
        return 0;
    }
    std::vector<char> fields[4];
    int pos = 0;
    const int rowLength = static_cast<int>(length);
    for (auto& field : fields) {
        field.assign(kFieldSize, '\0');
        pos = ConfigurationManager::readCSV(row, rowLength, pos, ';', field.data(), kFieldSize);
        if (pos < 0) {
            return 0;  // a field not closed by ';' leaves the parameter as it was
        }
    }
    const char* name = fields[0].data();
    const std::string type = fields[1].data();
    const char* range = fields[2].data();
    const char* def = fields[3].data();

    m_name = name;
    if (type == "Перечислимый") {
        std::vector<std::string> words;
        if (!splitWords(range, words)) {
            makeUndefined();
            return 0;
        }
        int index = -1;
        for (size_t i = 0; i < words.size(); ++i) {
            if (words[i] == def) {
                index = static_cast<int>(i);
                break;
            }
        }
        if (index < 0) {
            makeUndefined();
            return 0;
        }
        m_type = TYPE_ENUMERATION;
        m_alternatives = std::move(words);
        m_intDefault = index;
        m_intValue = index;
    } else if (type == "Целочисленный") {
        const char* dash = std::strchr(range, '-');
        if (dash == nullptr) {
            makeUndefined();
            return 0;
        }
        std::string low(range, dash);
        std::string high(dash + 1);
        std::vector<char> work(low.begin(), low.end());
        work.push_back('\0');
        ConfigurationManager::trim(work.data());
        m_intMin = rowNumber(work.data());
        work.assign(high.begin(), high.end());
        work.push_back('\0');
        ConfigurationManager::trim(work.data());
        m_intMax = std::strcmp(work.data(), "MAXINT") == 0 ? kMaxInt : rowNumber(work.data());
        m_type = TYPE_INTEGER;
        m_intDefault = static_cast<int32_t>(rowNumber(def));
        m_intValue = m_intDefault;
    } else if (type == "Логический") {
        std::vector<std::string> words;
        if (!splitWords(range, words) || words.size() < 2) {
            makeUndefined();
            return 0;
        }
        words.resize(2);
        m_type = TYPE_BOOLEAN;
        m_trueWord = words[0];
        m_alternatives = std::move(words);
        m_boolDefault = m_trueWord == def;
        m_boolValue = m_boolDefault;
    } else if (type == "IP адрес") {
        m_type = TYPE_IP_ADDRESS;
        std::snprintf(m_ipDefault, sizeof m_ipDefault, "%.15s", def);
        std::snprintf(m_ipValue, sizeof m_ipValue, "%s", m_ipDefault);
    } else if (type == "Строковый") {
        m_type = TYPE_STRING;
        m_stringValue = std::strcmp(def, m_pszEmptyString) == 0 ? "" : def;
    } else {
        makeUndefined();
        return 0;
    }
    m_state = STATE_DEFAULT;
    return 1;
}

void ConfigurationParameter::setValue(const char* text) {
    if (m_state == STATE_UNDEFINED || text == nullptr) {
        return;
    }
    switch (m_type) {
        case TYPE_BOOLEAN:
            m_boolValue = m_trueWord == text;
            m_state = STATE_FROM_FILE;
            break;
        case TYPE_INTEGER: {
            uint32_t value = 0;
            if (fileNumber(text, value) && value >= m_intMin && value <= m_intMax) {
                m_intValue = static_cast<int32_t>(value);
                m_state = STATE_FROM_FILE;
            }
            break;
        }
        case TYPE_ENUMERATION:
            for (size_t i = 0; i < m_alternatives.size(); ++i) {
                if (m_alternatives[i] == text) {
                    m_intValue = static_cast<int32_t>(i);
                    m_state = STATE_FROM_FILE;
                    break;
                }
            }
            break;
        case TYPE_IP_ADDRESS:
            // Up to 16 characters are kept whole, a longer text is cut to 15.
            if (std::strlen(text) <= 16) {
                std::snprintf(m_ipValue, sizeof m_ipValue, "%s", text);
            } else {
                std::snprintf(m_ipValue, sizeof m_ipValue, "%.15s", text);
            }
            m_state = STATE_FROM_FILE;
            break;
        case TYPE_STRING:
            m_stringValue = text;
            m_state = STATE_FROM_FILE;
            break;
        default:
            break;
    }
}

int ConfigurationParameter::getValueAsString(char* buffer, unsigned size) const {
    if (buffer == nullptr || size == 0 || m_state == STATE_UNDEFINED) {
        return 0;
    }
    std::string text;
    switch (m_type) {
        case TYPE_BOOLEAN:
            text = m_alternatives[m_boolValue ? 0 : 1];
            break;
        case TYPE_INTEGER:
            text = std::to_string(m_intValue);
            break;
        case TYPE_ENUMERATION:
            text = m_alternatives[static_cast<size_t>(m_intValue)];
            break;
        case TYPE_IP_ADDRESS:
            text = m_ipValue;
            break;
        case TYPE_STRING:
            text = m_stringValue;
            break;
        default:
            return 0;
    }
    if (text.size() + 1 > size) {
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return 1;
}

bool ConfigurationParameter::hasDefaultValue() const {
    if (m_state < STATE_FROM_FILE) {
        return true;
    }
    switch (m_type) {
        case TYPE_BOOLEAN:
            return m_boolValue == m_boolDefault;
        case TYPE_INTEGER:
        case TYPE_ENUMERATION:
            return m_intValue == m_intDefault;
        case TYPE_STRING:
            return false;
        default:
            return true;
    }
}

}  // namespace vexaconf
