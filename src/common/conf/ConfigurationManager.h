#pragma once

#include <cstdint>
#include <string>

#include "common/conf/ConfigurationItem.h"
#include "common/conf/ConfigurationParameter.h"

namespace vexaconf {

// Removes every blank and tab anywhere in the text, in place.
void removeSpaces(char* text);

// Reads one configuration file (one set of parameters) and answers typed queries by code.
// Each component makes its own short-lived manager; a manager is used by one thread at a time.
// Lookup of the file: the name as given (relative to the working directory), then
// "$VEXA_HOME/conf/<name>". A missing file or line keeps the built-in default of the row.
class ConfigurationManager {
public:
    enum CONFIGURATION_SET : unsigned {
        SET_NONE = 0,
        SET_TRELLIS = 1,  // trellis.cfg: transport and DSVC link
        SET_DCPS = 2,     // dcps.cfg: process logger and DCPS core
        SET_RTPS = 3,     // rtps.cfg: engine
        SET_DS = 4,       // ds.cfg: durability service
    };

    enum CONFIGURATION_PARAMETERS : unsigned {
        VEXA_HOME = 0,
        // trellis.cfg
        TRANSPORT_NUMBER_OF_BUFFERS = 1,
        TRANSPORT_BUFFER_SIZE = 2,
        TRANSPORT_REPORT_TIMEOUT = 3,
        TRANSPORT_DISPATCHER_TIMEOUT = 4,
        TRANSPORT_SELECT_TIMEOUT = 5,
        TRANSPORT_MULTICAST_INTERFACE = 6,
        TRANSPORT_MAX_TR_DATA_SIZE = 7,
        DSVC_SERVER_PORT = 8,
        DSVC_SERVER_IP = 9,
        TRANSPORT_NUMBER_OF_RTPS_BUFFERS = 10,
        // dcps.cfg
        DCPS_READABLE_LOG_LEVEL = 11,
        DCPS_READABLE_LOG_FILES_NUMBER = 12,
        DCPS_READABLE_LOG_FILE_SIZE = 13,
        DCPS_BINARY_LOG_LEVEL = 14,
        DCPS_BINARY_LOG_FILES_NUMBER = 15,
        DCPS_BINARY_LOG_FILE_SIZE = 16,
        DCPS_MAX_SAMPLES_PER_DW_LIMIT = 17,
        DCPS_MAX_SAMPLES_PER_DR_LIMIT = 18,
        DCPS_NUMBER_OF_PREALLOCATED_SAMPLES_PER_READER = 19,
        DCPS_COLLECT_GARBAGE_PERIOD = 20,
        // rtps.cfg
        BUSINESS_DEFAULT_UNICAST_IP = 21,
        BUSINESS_DEFAULT_MULTICAST_IP = 22,
        BUSINESS_HEARTBEAT_PERIOD = 23,
        BUSINESS_HEARTBEAT_RESPONSE_DELAY = 24,
        BUSINESS_NACK_RESPONSE_DELAY = 25,
        BUSINESS_NACK_SUPPRESSION_DURATION = 26,
        BUSINESS_PUSH_MODE = 27,
        BUSINESS_RESEND_PERIOD = 28,
        BUSINESS_CHECK_INCOMING_PERIOD = 29,
        BUSINESS_SPDP_ANNOUNCE_PERIOD = 30,
        BUSINESS_PARTICIPANT_LEASE_DURATION = 31,
        BUSINESS_USER_MULTICASTING_MODE = 32,
        // ds.cfg
        DS_READABLE_LOG_LEVEL = 33,
        DS_READABLE_LOG_FILES_NUMBER = 34,
        DS_READABLE_LOG_FILE_SIZE = 35,
        DS_BINARY_LOG_LEVEL = 36,
        DS_BINARY_LOG_FILES_NUMBER = 37,
        DS_BINARY_LOG_FILE_SIZE = 38,
        DS_MAX_SAMPLES_PER_DR_LIMIT = 39,
        DS_COLLECT_GARBAGE_PERIOD = 40,
        // Answer for a name that matches no parameter of the set.
        PARAMETER_UNKNOWN = 41,
    };

    // Status codes of the operations below.
    enum STATUS : unsigned {
        CONF_OK = 0,                // done; for getters: the value was set from the file
        CONF_DEFAULT = 1,           // getters: the value is the row default
        CONF_NO_PARAMETER = 2,      // code outside 1..40, or an unknown name
        CONF_BUFFER_TOO_SMALL = 3,  // string value or item value does not fit
        CONF_HOME_NOT_SET = 5,      // VEXA_HOME not cached (unset, or not read yet)
        CONF_WRONG_TYPE = 6,        // another type, undefined row, or another set's code
        CONF_IP_TOO_SMALL = 7,      // VEXA_HOME or IP text does not fit
        CONF_FILE_NOT_FOUND = 8,    // neither the plain name nor under VEXA_HOME
        // The stream reported an error, or the file is no regular file or is longer than
        // MAX_FILE_BYTES; lines before the error or the limit stay.
        CONF_READ_ERROR = 10,
        CONF_NULL_ARGUMENT = 11,     // copyString with a null pointer
        CONF_LISTING_TOO_LONG = 13,  // getConfigurationStrings does not fit
    };

    // Number of parameters of each set (sets 1..4).
    static constexpr unsigned SET_SIZES[5] = {0, 10, 10, 12, 8};
    static constexpr unsigned PATH_SIZE = 2048;
    // No configuration file comes near this; a longer one (a device, a runaway file) is read
    // no further.
    static constexpr long MAX_FILE_BYTES = 1L << 20;

    // fileName: null gives the set's default name; a name longer than 4 characters that ends in
    // ".cfg" is kept, any other gets ".cfg" appended. Nothing is read yet.
    explicit ConfigurationManager(CONFIGURATION_SET set, const char* fileName = nullptr);
    ~ConfigurationManager();

    ConfigurationManager(const ConfigurationManager&) = delete;
    ConfigurationManager& operator=(const ConfigurationManager&) = delete;

    // Reads the file. With apply set, pushes the log settings (codes 11-16) that the file itself
    // holds into the process logger. 0 read, 8 not found, 10 read error.
    unsigned read(bool apply = false);

    // Integer or enumeration (the word's index): 0 from file, 1 default, 2, 6.
    unsigned getIntParameter(CONFIGURATION_PARAMETERS code, int* value) const;
    // Boolean: 0 from file, 1 default, 2, 6.
    unsigned getBoolParameter(CONFIGURATION_PARAMETERS code, bool* value) const;
    // Code 0: the cached VEXA_HOME (0, 5, 7). IP address: 0 from file, 1 default, 7 too small.
    // String: 0, 3 too small or size 0. Otherwise 2 or 6.
    unsigned getStringParameter(CONFIGURATION_PARAMETERS code, unsigned size, char* buffer) const;

    // Copies VEXA_HOME (read from the environment while not cached). An unset variable gives
    // the empty text and 0; 7 when the buffer is too small.
    static unsigned getVexaHome(unsigned size, char* buffer);

    // "VEXA_HOME" gives 0; a parameter name of this manager's set its code; otherwise 41.
    CONFIGURATION_PARAMETERS getParameterCodeByName(const char* name) const;

    // The parameter object of a code 1..40 (from the table of its set), null otherwise.
    ConfigurationParameter* getParameter(CONFIGURATION_PARAMETERS code);
    const ConfigurationParameter* getParameter(CONFIGURATION_PARAMETERS code) const;

    // Any value by name, as text. Unknown names are searched among the items (newest first):
    // 2 none, 3 does not fit, 0 copied. Integers and enumerations as decimal text, booleans as
    // "1"/"0": 0 from file, 1 default, 3 does not fit. Others as getStringParameter.
    unsigned getParameter(const char* name, int size, char* buffer) const;

    // The next item after `after` (from the start when null) named `name`; copies its value and
    // returns the item, or null when there is none or the value does not fit.
    const ConfigurationItem* getParameter(const char* name, const ConfigurationItem* after,
                                          int size, char* buffer) const;

    // Every argument after argv[0], less one leading "-", split at its first "=" into an item.
    unsigned parseProgrammParameters(int argc, const char* const* argv);

    const char* getFileName() const { return m_fileName.c_str(); }
    // The path under which the file was last opened; empty after a failed open.
    const char* getFilePath() const { return m_path.c_str(); }
    // After read(): the installed file ($VEXA_HOME/conf) that a file of the same name in the
    // working directory was read instead of; empty when there is none. The local file replaces
    // it whole: what the local file lacks takes the built-in default, not the installed value.
    std::string shadowedPath() const;
    bool isConfigurationRead() const { return m_read; }
    CONFIGURATION_SET getType() const { return m_set; }
    static const char* getDefaultFileName(CONFIGURATION_SET set);

    // Diagnostic listing: the path (or a note that nothing was read), then "name = value" for
    // every parameter of sets 1-3 off its default, each text NUL-terminated. count: texts
    // written; length: bytes the whole listing needs. 0, or 13 when it does not fit.
    unsigned getConfigurationStrings(unsigned size, char* buffer, unsigned& count,
                                     unsigned& length) const;

    // Text helpers.
    // Copies the field at `start` up to `separator` into out (trimmed); returns the position
    // after the separator, -1 when none follows (the rest is taken), -2 when the field does not
    // fit in outSize (nothing copied).
    static int readCSV(const char* text, int length, int start, char separator, char* out,
                       int outSize);
    static void trim(char* text);
    // Copies with terminator; length gets the bytes including it. 0, 3 does not fit, 11 null.
    static unsigned copyString(unsigned& length, unsigned size, char* destination,
                               const char* source);

private:
    void parseLine(char* line);
    ConfigurationParameter* table(unsigned set);

    CONFIGURATION_SET m_set;
    bool m_read = false;
    std::string m_fileName;
    std::string m_path;
    ConfigurationParameter m_trellis[10];
    ConfigurationParameter m_dcps[10];
    ConfigurationParameter m_rtps[12];
    ConfigurationParameter m_ds[8];
    ConfigurationItem* m_items = nullptr;  // newest first, owned
};

}  // namespace vexaconf
