#include "common/conf/ConfigurationManager.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "common/conf/LogSettings.h"
#include "common/conf/ParameterDefinitions.h"
#include "common/os/OsRegularFile.h"

namespace vexaconf {

namespace {

constexpr unsigned kFirstCode[5] = {0, 1, 11, 21, 33};
constexpr const char* kDefaultNames[5] = {"", "trellis.cfg", "dcps.cfg", "rtps.cfg", "ds.cfg"};
constexpr const char* kNotReadNote = "Конфигурационный файл не считывался.";

// The process-wide VEXA_HOME text. Participants and loggers are built on different threads,
// so the cache is filled and read under a mutex; while the variable is unset it is read again.
std::mutex& homeMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& homeText() {
    static auto* text = new std::string;  // outlives every static destructor that may log
    return *text;
}

// Caller holds homeMutex().
void fillHome() {
    std::string& home = homeText();
    if (home.empty()) {
        const char* env = std::getenv("VEXA_HOME");
        if (env != nullptr) {
            home = env;
        }
    }
}

// The set a code 1..40 belongs to, 0 for any other.
unsigned setOfCode(unsigned code) {
    if (code >= 1 && code <= 10)
        return 1;
    if (code >= 11 && code <= 20)
        return 2;
    if (code >= 21 && code <= 32)
        return 3;
    if (code >= 33 && code <= 40)
        return 4;
    return 0;
}

bool endsWithCfg(const char* name) {
    const size_t n = std::strlen(name);
    return n > 4 && std::strcmp(name + n - 4, ".cfg") == 0;
}

}  // namespace

void removeSpaces(char* text) {
    if (text == nullptr) {
        return;
    }
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        if (*in != ' ' && *in != '\t') {
            *out++ = *in;
        }
    }
    *out = '\0';
}

ConfigurationManager::ConfigurationManager(CONFIGURATION_SET set, const char* fileName)
    : m_set(set) {
    if (fileName == nullptr) {
        m_fileName = getDefaultFileName(set);
    } else if (endsWithCfg(fileName)) {
        m_fileName = fileName;
    } else {
        m_fileName = std::string(fileName) + ".cfg";
    }
    if (set >= 1 && set <= 4) {
        ConfigurationParameter* params = table(set);
        for (unsigned i = 0; i < SET_SIZES[set]; ++i) {
            const char* row = parameterDefinitionRow(kFirstCode[set] + i);
            params[i].initialise(row, std::strlen(row));
        }
    }
}

ConfigurationManager::~ConfigurationManager() {
    while (m_items != nullptr) {
        ConfigurationItem* next = m_items->getNext();
        delete m_items;
        m_items = next;
    }
}

ConfigurationParameter* ConfigurationManager::table(unsigned set) {
    switch (set) {
        case 1:
            return m_trellis;
        case 2:
            return m_dcps;
        case 3:
            return m_rtps;
        case 4:
            return m_ds;
        default:
            return nullptr;
    }
}

const char* ConfigurationManager::getDefaultFileName(CONFIGURATION_SET set) {
    return set <= 4 ? kDefaultNames[set] : "";
}

unsigned ConfigurationManager::read(bool apply) {
    std::string home;
    {
        std::lock_guard<std::mutex> lock(homeMutex());
        fillHome();
        home = homeText();
    }
    // Only regular files are read: a FIFO would block the open and a device never ends. One of
    // another kind is read as a file that fails at once, as a directory always was.
    m_path = m_fileName;
    FILE* file = nullptr;
    vexa::RegularFileOpen opened = vexa::OsOpenRegularFile(m_path.c_str(), file);
    if (opened == vexa::RegularFileOpen::MISSING) {
        if (home.empty()) {
            m_path.clear();
            return CONF_FILE_NOT_FOUND;
        }
        m_path = home + "/conf/" + m_fileName;
        if (m_path.size() < PATH_SIZE) {
            opened = vexa::OsOpenRegularFile(m_path.c_str(), file);
        }
        if (opened == vexa::RegularFileOpen::MISSING) {
            m_path.clear();
            return CONF_FILE_NOT_FOUND;
        }
    }
    bool failed = opened == vexa::RegularFileOpen::NOT_REGULAR;
    if (!failed) {
        // A line of 2048 characters or more is taken as several lines; no real line is that
        // long.
        char line[PATH_SIZE];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            if (std::ftell(file) > MAX_FILE_BYTES) {
                failed = true;
                break;
            }
            parseLine(line);
        }
        failed = failed || std::ferror(file) != 0;
        std::fclose(file);
    }
    m_read = true;
    if (apply) {
        applyLogSettings(*this);
    }
    return failed ? CONF_READ_ERROR : CONF_OK;
}

std::string ConfigurationManager::shadowedPath() const {
    if (!m_read || m_path != m_fileName) {
        return std::string();
    }
    std::string home;
    {
        std::lock_guard<std::mutex> lock(homeMutex());
        fillHome();
        home = homeText();
    }
    if (home.empty()) {
        return std::string();
    }
    const std::string installed = home + "/conf/" + m_fileName;
    FILE* file = nullptr;
    if (vexa::OsOpenRegularFile(installed.c_str(), file) != vexa::RegularFileOpen::OPENED) {
        return std::string();
    }
    std::fclose(file);
    // Run from the installed conf directory itself: one file, nothing replaced.
    char* local = ::realpath(m_path.c_str(), nullptr);
    char* other = ::realpath(installed.c_str(), nullptr);
    const bool same = local != nullptr && other != nullptr && std::strcmp(local, other) == 0;
    std::free(local);
    std::free(other);
    return same ? std::string() : installed;
}

void ConfigurationManager::parseLine(char* line) {
    size_t n = std::strlen(line);
    if (n >= 2 && line[n - 2] == '\r') {
        line[n - 2] = '\0';
    } else if (n >= 1 && line[n - 1] == '\n') {
        line[n - 1] = '\0';
    }
    if (line[0] == '#' || line[0] == '\0') {
        return;
    }
    char* equals = std::strchr(line, '=');
    if (equals == nullptr) {
        return;
    }
    *equals = '\0';
    char* name = line;
    char* value = equals + 1;
    removeSpaces(name);
    removeSpaces(value);
    if (name[0] == '\0' || value[0] == '\0') {
        return;
    }
    const CONFIGURATION_PARAMETERS code = getParameterCodeByName(name);
    if (code == PARAMETER_UNKNOWN) {
        auto* item = new ConfigurationItem(name, value);
        item->setNext(m_items);
        m_items = item;
    } else if (code != VEXA_HOME) {
        getParameter(code)->setValue(value);
    }
}

const ConfigurationParameter* ConfigurationManager::getParameter(
    CONFIGURATION_PARAMETERS code) const {
    return const_cast<ConfigurationManager*>(this)->getParameter(code);
}

ConfigurationParameter* ConfigurationManager::getParameter(CONFIGURATION_PARAMETERS code) {
    const unsigned set = setOfCode(code);
    if (set == 0) {
        return nullptr;
    }
    return &table(set)[code - kFirstCode[set]];
}

ConfigurationManager::CONFIGURATION_PARAMETERS ConfigurationManager::getParameterCodeByName(
    const char* name) const {
    if (name == nullptr) {
        return PARAMETER_UNKNOWN;
    }
    if (std::strcmp(name, "VEXA_HOME") == 0) {
        return VEXA_HOME;
    }
    if (m_set < 1 || m_set > 4) {
        return PARAMETER_UNKNOWN;
    }
    for (unsigned i = 0; i < SET_SIZES[m_set]; ++i) {
        const unsigned code = kFirstCode[m_set] + i;
        const ConfigurationParameter* p = getParameter(static_cast<CONFIGURATION_PARAMETERS>(code));
        if (p->getType() != ConfigurationParameter::TYPE_UNDEFINED &&
            std::strcmp(p->getStringId(), name) == 0) {
            return static_cast<CONFIGURATION_PARAMETERS>(code);
        }
    }
    return PARAMETER_UNKNOWN;
}

unsigned ConfigurationManager::getIntParameter(CONFIGURATION_PARAMETERS code, int* value) const {
    const ConfigurationParameter* p = getParameter(code);
    if (p == nullptr) {
        return CONF_NO_PARAMETER;
    }
    if (p->getType() != ConfigurationParameter::TYPE_INTEGER &&
        p->getType() != ConfigurationParameter::TYPE_ENUMERATION) {
        return CONF_WRONG_TYPE;
    }
    if (value == nullptr) {
        return CONF_NULL_ARGUMENT;
    }
    *value = p->getIntValue();
    return p->getState() == ConfigurationParameter::STATE_FROM_FILE ? CONF_OK : CONF_DEFAULT;
}

unsigned ConfigurationManager::getBoolParameter(CONFIGURATION_PARAMETERS code, bool* value) const {
    const ConfigurationParameter* p = getParameter(code);
    if (p == nullptr) {
        return CONF_NO_PARAMETER;
    }
    if (p->getType() != ConfigurationParameter::TYPE_BOOLEAN) {
        return CONF_WRONG_TYPE;
    }
    if (value == nullptr) {
        return CONF_NULL_ARGUMENT;
    }
    *value = p->getBooleanValue();
    return p->getState() == ConfigurationParameter::STATE_FROM_FILE ? CONF_OK : CONF_DEFAULT;
}

unsigned ConfigurationManager::getStringParameter(CONFIGURATION_PARAMETERS code, unsigned size,
                                                  char* buffer) const {
    unsigned length = 0;
    if (code == VEXA_HOME) {
        std::lock_guard<std::mutex> lock(homeMutex());
        const std::string& home = homeText();
        if (home.empty()) {
            return CONF_HOME_NOT_SET;
        }
        return copyString(length, size, buffer, home.c_str()) == CONF_OK ? CONF_OK
                                                                         : CONF_IP_TOO_SMALL;
    }
    const ConfigurationParameter* p = getParameter(code);
    if (p == nullptr) {
        return CONF_NO_PARAMETER;
    }
    if (p->getType() == ConfigurationParameter::TYPE_IP_ADDRESS) {
        if (copyString(length, size, buffer, p->getIpAddress()) != CONF_OK) {
            return CONF_IP_TOO_SMALL;
        }
        return p->getState() == ConfigurationParameter::STATE_FROM_FILE ? CONF_OK : CONF_DEFAULT;
    }
    if (p->getType() == ConfigurationParameter::TYPE_STRING) {
        if (size == 0 || copyString(length, size, buffer, p->getStringValue()) != CONF_OK) {
            return CONF_BUFFER_TOO_SMALL;
        }
        return CONF_OK;
    }
    return CONF_WRONG_TYPE;
}

unsigned ConfigurationManager::getVexaHome(unsigned size, char* buffer) {
    std::lock_guard<std::mutex> lock(homeMutex());
    fillHome();
    unsigned length = 0;
    return copyString(length, size, buffer, homeText().c_str()) == CONF_OK ? CONF_OK
                                                                           : CONF_IP_TOO_SMALL;
}

unsigned ConfigurationManager::getParameter(const char* name, int size, char* buffer) const {
    if (name == nullptr) {
        return CONF_NO_PARAMETER;
    }
    const unsigned usize = size > 0 ? static_cast<unsigned>(size) : 0u;
    unsigned length = 0;
    const CONFIGURATION_PARAMETERS code = getParameterCodeByName(name);
    if (code == PARAMETER_UNKNOWN) {
        for (const ConfigurationItem* item = m_items; item != nullptr; item = item->getNext()) {
            if (std::strcmp(item->getName(), name) == 0) {
                return copyString(length, usize, buffer, item->getValue()) == CONF_OK
                           ? CONF_OK
                           : CONF_BUFFER_TOO_SMALL;
            }
        }
        return CONF_NO_PARAMETER;
    }
    if (code == VEXA_HOME) {
        return getStringParameter(code, usize, buffer);
    }
    const ConfigurationParameter* p = getParameter(code);
    char text[16];
    switch (p->getType()) {
        case ConfigurationParameter::TYPE_IP_ADDRESS:
        case ConfigurationParameter::TYPE_STRING:
            return getStringParameter(code, usize, buffer);
        case ConfigurationParameter::TYPE_INTEGER:
        case ConfigurationParameter::TYPE_ENUMERATION:
            std::snprintf(text, sizeof text, "%d", p->getIntValue());
            break;
        case ConfigurationParameter::TYPE_BOOLEAN:
            std::snprintf(text, sizeof text, "%s", p->getBooleanValue() ? "1" : "0");
            break;
        default:
            return CONF_WRONG_TYPE;
    }
    if (copyString(length, usize, buffer, text) != CONF_OK) {
        return CONF_BUFFER_TOO_SMALL;
    }
    return p->getState() == ConfigurationParameter::STATE_FROM_FILE ? CONF_OK : CONF_DEFAULT;
}

const ConfigurationItem* ConfigurationManager::getParameter(const char* name,
                                                            const ConfigurationItem* after,
                                                            int size, char* buffer) const {
    if (name == nullptr) {
        return nullptr;
    }
    const unsigned usize = size > 0 ? static_cast<unsigned>(size) : 0u;
    for (const ConfigurationItem* item = after ? after->getNext() : m_items; item != nullptr;
         item = item->getNext()) {
        if (std::strcmp(item->getName(), name) == 0) {
            unsigned length = 0;
            return copyString(length, usize, buffer, item->getValue()) == CONF_OK ? item : nullptr;
        }
    }
    return nullptr;
}

unsigned ConfigurationManager::parseProgrammParameters(int argc, const char* const* argv) {
    if (argv == nullptr) {
        return CONF_OK;
    }
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) {
            continue;
        }
        char arg[PATH_SIZE];
        std::snprintf(arg, sizeof arg, "%s", argv[i]);  // limited to 2047 characters
        char* name = arg[0] == '-' ? arg + 1 : arg;
        char* equals = std::strchr(name, '=');
        const char* value = "";
        if (equals != nullptr) {
            *equals = '\0';
            value = equals + 1;
        }
        auto* item = new ConfigurationItem(name, value);
        item->setNext(m_items);
        m_items = item;
    }
    return CONF_OK;
}

unsigned ConfigurationManager::getConfigurationStrings(unsigned size, char* buffer, unsigned& count,
                                                       unsigned& length) const {
    count = 0;
    length = 0;
    bool fits = true;
    auto put = [&](const std::string& text) {
        const unsigned need = static_cast<unsigned>(text.size()) + 1;
        if (fits && buffer != nullptr && length + need <= size) {
            std::memcpy(buffer + length, text.c_str(), need);
            ++count;
        } else {
            fits = false;
        }
        length += need;
    };
    put(m_read ? m_path : std::string(kNotReadNote));
    char value[PATH_SIZE];
    for (unsigned code = 1; code <= 32; ++code) {
        const ConfigurationParameter* p = getParameter(static_cast<CONFIGURATION_PARAMETERS>(code));
        if (p->getState() == ConfigurationParameter::STATE_UNDEFINED || p->hasDefaultValue()) {
            continue;
        }
        if (p->getValueAsString(value, sizeof value) == 0) {
            continue;
        }
        put(std::string(p->getStringId()) + " = " + value);
    }
    return fits ? CONF_OK : CONF_LISTING_TOO_LONG;
}

int ConfigurationManager::readCSV(const char* text, int length, int start, char separator,
                                  char* out, int outSize) {
    if (text == nullptr || out == nullptr || outSize <= 0 || start < 0) {
        return -2;
    }
    if (start > length) {
        start = length;
    }
    int end = start;
    while (end < length && text[end] != separator) {
        ++end;
    }
    const int fieldLength = end - start;
    if (fieldLength + 1 > outSize) {
        return -2;
    }
    std::memcpy(out, text + start, static_cast<size_t>(fieldLength));
    out[fieldLength] = '\0';
    trim(out);
    return end < length ? end + 1 : -1;
}

void ConfigurationManager::trim(char* text) {
    if (text == nullptr) {
        return;
    }
    size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t')) {
        text[--n] = '\0';
    }
    size_t lead = 0;
    while (text[lead] == ' ' || text[lead] == '\t') {
        ++lead;
    }
    if (lead > 0) {
        std::memmove(text, text + lead, n - lead + 1);
    }
}

unsigned ConfigurationManager::copyString(unsigned& length, unsigned size, char* destination,
                                          const char* source) {
    if (destination == nullptr || source == nullptr) {
        return CONF_NULL_ARGUMENT;
    }
    const size_t need = std::strlen(source) + 1;
    length = static_cast<unsigned>(need);
    if (need > size) {
        return CONF_BUFFER_TOO_SMALL;
    }
    std::memcpy(destination, source, need);
    return CONF_OK;
}

}  // namespace vexaconf
