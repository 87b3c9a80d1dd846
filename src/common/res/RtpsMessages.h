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

// A datagram sent from a low-priority queue: length, destination address and port, result of
// the send call (negative: -errno), time.
// Arguments: (unsigned len, const char* addr, unsigned port, long long rc, unsigned long long mks)
constexpr unsigned RTPS_MSG_DATAGRAM_SENT_LOW = 1051;
// A datagram sent from a high-priority queue; the same arguments.
// Arguments: (unsigned len, const char* addr, unsigned port, long long rc, unsigned long long mks)
constexpr unsigned RTPS_MSG_DATAGRAM_SENT_HIGH = 1052;
// A datagram received.
// Arguments: (unsigned length, unsigned port, unsigned long long mks)
constexpr unsigned RTPS_MSG_DATAGRAM_RECEIVED = 1053;
// A datagram longer than a receive buffer, dropped.
// Arguments: (long long length, unsigned bufferSize, unsigned port)
constexpr unsigned RTPS_MSG_DATAGRAM_TRUNCATED = 1054;
// Arguments: (unsigned port)
constexpr unsigned RTPS_MSG_READ_THREAD_STARTED = 1067;
// Arguments: (unsigned port)
constexpr unsigned RTPS_MSG_READ_THREAD_ENDED = 1068;
// A receive socket that could not be set up; the step is "socket", "bind", "IP_ADD_MEMBERSHIP"...
// Arguments: (const char* address, unsigned port, const char* step, int error)
constexpr unsigned RTPS_MSG_RECEIVER_FAILED = 1069;
// Arguments: (const char* thread, const char* reason)
constexpr unsigned RTPS_MSG_TRANSPORT_THREAD_NOT_STARTED = 1072;
// The participant threw from dataRecipient; the datagram is dropped, delivery goes on.
// Arguments: (unsigned len, const char* reason)
constexpr unsigned RTPS_MSG_PARTICIPANT_EXCEPTION = 1074;
// TTL or interface of a multicast sender refused: the group's four octets, port, interface.
// Arguments: (unsigned a, unsigned b, unsigned c, unsigned d, unsigned p, const char* ifc, int e)
constexpr unsigned RTPS_MSG_MULTICAST_OPTION_FAILED = 1085;
// Arguments: none
constexpr unsigned RTPS_MSG_NO_FREE_SEND_BUFFER = 1088;
// Arguments: none
constexpr unsigned RTPS_MSG_NO_FREE_RECEIVE_BUFFER = 1089;

// The user input buffer pool ran dry and grew.
// Arguments: (uint32_t added)
constexpr unsigned RTPS_MSG_USER_BUFFER_POOL_GROWN = 1087;

// A writer took a block of the user input buffer pool.
// Arguments: (const char* owner, const char* pool, uint32_t freeLeft, uint32_t nominalCount)
constexpr unsigned RTPS_MSG_USER_BUFFER_TAKEN = 1103;

// The host-wide participant counter was used without its lock.
// Arguments: (const char* objectName, uint32_t status)
constexpr unsigned RTPS_MSG_HOST_INDEX_UNLOCKED = 1111;

// A received message was released once more than it was referenced; the release is ignored.
// Module "RTPSMessage::removeReference".
// Arguments: (unsigned length)
constexpr unsigned RTPS_MSG_MESSAGE_OVER_RELEASED = 1109;

// An endpoint was given a multicast locator (added = 0: it had it already).
// Arguments: (const char* endpoint, unsigned a0, unsigned a1, unsigned a2, unsigned a3, int added)
constexpr unsigned RTPS_MSG_ENDPOINT_MULTICAST_LOCATOR = 1105;
// A scheduler task ended with an exception; the worker goes on.
// Arguments: (unsigned type, unsigned id, const char* what)
constexpr unsigned RTPS_MSG_TASK_FAILED = 1108;
// The scheduler was destroyed by one of its own tasks; its worker ends when the task returns.
// Module "RTPSTaskScheduler::~RTPSTaskScheduler".
// Arguments: none
constexpr unsigned RTPS_MSG_SCHEDULER_DESTROYED_BY_TASK = 1110;
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
