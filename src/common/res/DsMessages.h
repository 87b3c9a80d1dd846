#pragma once

// Message ids of "ds_strings_ru.res" (durability service vexads): ids 2001 and up.
//
// Every text is a printf format that the logger fills with the caller's arguments, so a text
// and its callers must agree. To add a message:
//  1. In resources/strings/ds_strings_ru.res take the record of the id (a free record reads
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

// Console (printed by vexads on standard output).
// Arguments: none
constexpr unsigned DS_MSG_HELP = 2002;
// The version at start: major, minor, build.
// Arguments: (int major, int minor, int build)
constexpr unsigned DS_MSG_VERSION = 2003;
// Arguments: none
constexpr unsigned DS_MSG_STARTED = 2004;
// Arguments: none
constexpr unsigned DS_MSG_IN_PROGRESS = 2005;
// Arguments: (const char* domain)
constexpr unsigned DS_MSG_DOMAIN_ADDED = 2006;
// Arguments: (const char* domain)
constexpr unsigned DS_MSG_DOMAIN_REFUSED = 2007;
// Arguments: (const char* domain)
constexpr unsigned DS_MSG_DOMAIN_CLOSED = 2008;
// Arguments: none
constexpr unsigned DS_MSG_NO_DOMAINS = 2009;
// Followed by one "\n%d" per served domain and a closing "\n".
// Arguments: none
constexpr unsigned DS_MSG_DOMAIN_LIST = 2010;
// Arguments: none
constexpr unsigned DS_MSG_PROMPT_HELP = 2011;
// Arguments: none
constexpr unsigned DS_MSG_PROMPT_EXIT = 2012;
// The console ended other than by "exit": end of input, a read error or a signal.
// Arguments: none
constexpr unsigned DS_MSG_CONSOLE_ENDED = 2013;
// Arguments: none
constexpr unsigned DS_MSG_STOPPING = 2014;
// Arguments: none
constexpr unsigned DS_MSG_STOPPED = 2015;
// Arguments: none
constexpr unsigned DS_MSG_NOT_STARTED = 2016;
// Arguments: (const char* word)
constexpr unsigned DS_MSG_UNKNOWN_COMMAND = 2017;
// Arguments: (const char* word)
constexpr unsigned DS_MSG_NO_ARGUMENT = 2018;

// Log records.
// Module "DurabilityService", severity 5.
// Arguments: (int major, int minor, int build, const char* configuration)
constexpr unsigned DS_MSG_SERVICE_STARTED = 2019;
// A peer's topic record without a name, ignored: the peer's GUID prefix.
// Arguments: (unsigned p0, unsigned p1, unsigned p2)
constexpr unsigned DS_MSG_TOPIC_WITHOUT_NAME = 2020;
// Module "DurabilityService", severity 2.
// Arguments: none
constexpr unsigned DS_MSG_CONFIG_UNREADABLE = 2022;
// A thread could not be started: the OS layer's error text.
// Arguments: (const char* reason)
constexpr unsigned DS_MSG_THREAD_NOT_STARTED = 2025;
// An engine call failed (a served domain's participant refused, history not handed over):
// the exception's text.
// Arguments: (const char* reason)
constexpr unsigned DS_MSG_PARTICIPANT_REFUSED = 2026;
// A stored reader's sample came in: its sequence number.
// Arguments: (long long sequenceNumber)
constexpr unsigned DS_MSG_SAMPLE_QUEUED = 2028;
// The engine would not give a sample: its sequence number and the engine's text.
// Arguments: (long long sequenceNumber, const char* reason)
constexpr unsigned DS_MSG_READ_FAILED = 2029;
// A durable topic is kept: its name and durability-service history depth, max instances, max
// samples and max samples per instance.
// Arguments: (const char* topic, int depth, int maxInstances, int maxSamples, int maxPerInstance)
constexpr unsigned DS_MSG_TOPIC_CREATED = 2030;
// Stored-reader set (modules "DS::Subscriber::createDR", "DS::DSSubscriber::createDR",
// "DS::DSSubscriber::sendHistory").
// Arguments: (const char* topic, const char* reason)
constexpr unsigned DS_MSG_READER_REFUSED = 2027;
// Arguments: (const char* topic, int depth, int maxInstances, int maxSamples, int maxPerInstance)
constexpr unsigned DS_MSG_READER_CREATED = 2031;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_READERS_EXHAUSTED = 2032;
// Arguments: (unsigned long long lo, unsigned long long hi, const char* topic, unsigned count)
constexpr unsigned DS_MSG_HISTORY_SENT = 2035;
// Stored history (module "DS::DSReader::ddsisampleHandler").
// An acceptor added or removed: the two halves of its key.
// Arguments: (unsigned long long lo, unsigned long long hi)
constexpr unsigned DS_MSG_ACCEPTOR_CHANGED = 2033;
// An acceptor got everything and is forgotten; the topic name may be empty.
// Arguments: (unsigned long long lo, unsigned long long hi, const char* topic)
constexpr unsigned DS_MSG_ACCEPTOR_FINISHED = 2034;
// Arguments: (unsigned long long lo, unsigned long long hi, const char* topic)
constexpr unsigned DS_MSG_ACCEPTOR_WAITING = 2036;
// Arguments: (const char* topic, int sec, unsigned msec, unsigned long long length, unsigned pubId)
constexpr unsigned DS_MSG_SAMPLE_STORED = 2037;
// Arguments: (int instance, const char* topic, int sec, unsigned msec)
constexpr unsigned DS_MSG_SAMPLE_DELETED = 2038;
// Arguments: (const char* topic, long long sequenceNumber)
constexpr unsigned DS_MSG_INSTANCE_REFUSED = 2039;
// Arguments: (int instance, const char* topic)
constexpr unsigned DS_MSG_INSTANCE_REMOVED = 2040;
// Arguments: (int writer, const char* topic)
constexpr unsigned DS_MSG_OWNER_CHANGED = 2041;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_OWNER_RELEASED = 2042;
// Arguments: (const char* topic, int writer)
constexpr unsigned DS_MSG_NOT_OWNER = 2043;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_WRITER_LOST = 2044;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_WRITER_FORGOTTEN = 2045;
// Module "DurabilityService::collectGarbage", severity 6.
// Arguments: none
constexpr unsigned DS_MSG_GARBAGE_COLLECTED = 2046;
// A peer's discovery record of the wrong length, ignored: the built-in topic, the length and the
// peer's GUID prefix.
// Arguments: (const char* topic, unsigned long long n, unsigned p0, unsigned p1, unsigned p2)
constexpr unsigned DS_MSG_DISCOVERY_RECORD_SIZE = 2047;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_WRITERS_COMPACTED = 2048;
// Discovery bookkeeping: a record from a participant already removed (its GUID prefix).
// Arguments: (unsigned p0, unsigned p1, unsigned p2)
constexpr unsigned DS_MSG_PARTICIPANT_REMOVED = 2049;
// A record of a removed topic or a lost writer, ignored: the topic name.
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_RECORD_RETIRED = 2050;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_RECORD_DISCOVERED = 2051;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_RECORD_CHANGED = 2052;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_RECORD_DISPOSED = 2053;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_WRITER_MATCHED = 2054;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_WRITER_INCOMPATIBLE = 2055;
// Arguments: (const char* topic)
constexpr unsigned DS_MSG_WRITER_GONE = 2056;
// A stored reader's first eviction for its sample limit: the topic and the limit.
// Arguments: (const char* topic, int maxSamples)
constexpr unsigned DS_MSG_STORE_FULL = 2057;
// A late reader's history request refused: its GUID, the topic, the reason.
// Arguments: (unsigned p0, unsigned p1, unsigned p2, unsigned e, const char* t, const char* r)
constexpr unsigned DS_MSG_HISTORY_REFUSED = 2058;

// Where a configuration file came from: its name, then its path or a note that none was found.
// Arguments: (const char* name, const char* source)
constexpr unsigned DS_MSG_CONFIG_SOURCE = 2059;
// A working-directory configuration file read in place of the installed one, which it replaces
// whole: the local path, the installed path.
// Arguments: (const char* local, const char* installed)
constexpr unsigned DS_MSG_CONFIG_SHADOWS_INSTALLED = 2060;

}  // namespace vexares
