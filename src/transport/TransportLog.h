#pragma once

namespace RTPS {

// Message ids of the transport in "rtps_strings_ru.res"; the argument types of each text follow.
constexpr unsigned MSG_DATAGRAM_SENT_LOW =
    1051;  // unsigned, const char*, unsigned, long long, unsigned long long
constexpr unsigned MSG_DATAGRAM_SENT_HIGH = 1052;       // same as 1051
constexpr unsigned MSG_DATAGRAM_RECEIVED = 1053;        // unsigned, unsigned, unsigned long long
constexpr unsigned MSG_DATAGRAM_TRUNCATED = 1054;       // long long, unsigned, unsigned
constexpr unsigned MSG_READ_THREAD_STARTED = 1067;      // unsigned
constexpr unsigned MSG_READ_THREAD_ENDED = 1068;        // unsigned
constexpr unsigned MSG_RECEIVER_FAILED = 1069;          // const char*, unsigned, const char*, int
constexpr unsigned MSG_THREAD_NOT_STARTED = 1072;       // const char*, const char*
constexpr unsigned MSG_MULTICAST_OPTION_FAILED = 1085;  // 4 x unsigned, unsigned, const char*, int
constexpr unsigned MSG_NO_FREE_SEND_BUFFER = 1088;      // none
constexpr unsigned MSG_NO_FREE_RECEIVE_BUFFER = 1089;   // none

// Severities of the process logger used here.
constexpr unsigned SEVERITY_ERROR = 2;
constexpr unsigned SEVERITY_WARNING = 3;
constexpr unsigned SEVERITY_DEBUG2 = 7;

// Every log record of the transport goes through here to the loading process's logger.
template <class... Args>
inline void transportLog(const char* module, unsigned severity, unsigned id, Args... args) {
    (void)module;
    (void)severity;
    (void)id;
    ((void)args, ...);
}

}  // namespace RTPS
