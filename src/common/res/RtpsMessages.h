#pragma once

// Message ids of "rtps_strings_ru.res" (RTPS engine and UDP transport): ids 1001 and up.
//
// Every text is a printf format that the logger fills with the caller's arguments, so a text
// and its callers must agree. To add a message:
//  1. In resources/strings/rtps_strings_ru.res take the record of the id (a free record reads
//     "Резерв" / "|"), or append records after the last one: ids are consecutive, every id needs
//     a record, and one line may not exceed 2047 bytes.
//  2. Write its two lines: "<id>=<readable format>" (Russian, UTF-8; "\n" gives a line feed) and
//     the binary format: the same conversions in the same order separated by '|'.
//  3. Add the constant below with a comment line "Arguments: (<C types in order>)", or
//     "Arguments: none". Types: int, unsigned, long long, unsigned long long, int32_t,
//     uint32_t, int64_t, uint64_t, size_t, double, char, const char*, const void*.
// ResourceTexts_test checks every constant against the installed file.

namespace vexares {

// Constants go here, each with its "Arguments:" line.

// An endpoint was given a multicast locator (added = 0: it had it already).
// Arguments: (const char* endpoint, unsigned a0, unsigned a1, unsigned a2, unsigned a3, int added)
constexpr unsigned RTPS_MSG_ENDPOINT_MULTICAST_LOCATOR = 1105;
// A scheduler task ended with an exception; the worker goes on.
// Arguments: (unsigned type, unsigned id, const char* what)
constexpr unsigned RTPS_MSG_TASK_FAILED = 1106;
// Two topic names have the same CRC-24 and share a multicast group.
// Arguments: (const char* topic, const char* listedTopic, unsigned crc)
constexpr unsigned RTPS_MSG_ROUTER_TOPIC_CLASH = 1107;

// Message receiver (module "MessageReceiver::parserWorker" unless noted).
// Arguments: (unsigned length, unsigned prefixWord0, unsigned prefixWord1, unsigned prefixWord2)
constexpr unsigned RTPS_MSG_DATAGRAM_ACCEPTED = 1060;
// Arguments: (unsigned changes)
constexpr unsigned RTPS_MSG_DATAGRAM_PARSED = 1061;
// Arguments: (unsigned sequenceLow, unsigned readerId)
constexpr unsigned RTPS_MSG_CHANGE_TO_READER = 1062;
// Arguments: (unsigned sequenceLow)
constexpr unsigned RTPS_MSG_CHANGE_TO_SPDP_READER = 1063;
// Arguments: (unsigned sequenceLow, unsigned writerId)
constexpr unsigned RTPS_MSG_CHANGE_TO_MATCHED_READERS = 1064;
// Arguments: (unsigned kind, unsigned ordinal)
constexpr unsigned RTPS_MSG_SUBMESSAGE = 1065;
// Arguments: (unsigned writerId, unsigned readerId, unsigned readers)
constexpr unsigned RTPS_MSG_HEARTBEAT_DELIVERED = 1066;
// Module "RTPSMessage::removeReference".
// Arguments: (unsigned length)
constexpr unsigned RTPS_MSG_MESSAGE_RELEASED = 1076;
// Arguments: (unsigned sequenceLow, unsigned length)
constexpr unsigned RTPS_MSG_USER_SAMPLE_RECEIVED = 1079;
// Module "MessageComposer::sendDataFrag".
// Arguments: (unsigned fragmentNumber, unsigned sequenceLow)
constexpr unsigned RTPS_MSG_FRAGMENT_SENT = 1083;
// Module "SubMessagePool::getSubmessage".
// Arguments: none
constexpr unsigned RTPS_MSG_NO_FREE_SUBMESSAGE = 1086;
// Arguments: (unsigned kind, unsigned ordinal, const char* reason)
constexpr unsigned RTPS_MSG_SUBMESSAGE_DROPPED = 1096;
// Arguments: (unsigned length, const char* reason)
constexpr unsigned RTPS_MSG_DATAGRAM_DROPPED = 1097;
// Arguments: (unsigned length, const char* what)
constexpr unsigned RTPS_MSG_PARSER_FAILED = 1098;
// Message composer.
// Arguments: (unsigned a, unsigned b, unsigned c, unsigned d, unsigned port, const char* why)
constexpr unsigned RTPS_MSG_SEND_FAILED = 1099;

}  // namespace vexares
