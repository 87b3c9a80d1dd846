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

}  // namespace vexares
