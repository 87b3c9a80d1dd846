#pragma once

// Message ids of "dcps_strings_ru.res" (DCPS core, API and the application hook): ids 1 and up.
//
// Every text is a printf format that the logger fills with the caller's arguments, so a text
// and its callers must agree. To add a message:
//  1. In resources/strings/dcps_strings_ru.res take the record of the id (a free record reads
//     "Резерв" / "|"), or append records after the last one: ids are consecutive, every id needs
//     a record, and one line may not exceed 2047 bytes.
//  2. Write its two lines: "<id>=<readable format>" (Russian, UTF-8; "\n" gives a line feed) and
//     the binary format: the same conversions in the same order separated by '|'.
//  3. Add the constant below with a comment line "Arguments: (<C types in order>)", or
//     "Arguments: none". Types: int, unsigned, long long, unsigned long long, int32_t,
//     uint32_t, int64_t, uint64_t, size_t, double, char, const char*, const void*.
// ResourceTexts_test checks every constant against the installed file.

namespace vexares {

// The DCPS service started: its version and release name.
// Arguments: (int major, int minor, int build, const char* release)
constexpr unsigned DCPS_MSG_SERVICE_STARTED = 2;

// dcps.cfg could not be read; the service does not start.
// Arguments: (const char* file, unsigned status)
constexpr unsigned DCPS_MSG_CONFIG_UNREADABLE = 6;

// Real-time scheduling refused.
// Arguments: (const char* reason)
constexpr unsigned DCPS_MSG_RT_REFUSED = 7;

// Real-time scheduling set with a partial failure.
// Arguments: (const char* reason)
constexpr unsigned DCPS_MSG_RT_PARTIAL = 8;

// A thread of the core could not be started.
// Arguments: (const char* reason)
constexpr unsigned DCPS_MSG_THREAD_NOT_STARTED = 9;

// The engine refused an announcement or an endpoint for a topic or built-in topic.
// Arguments: (const char* name, const char* reason)
constexpr unsigned DCPS_MSG_ANNOUNCE_FAILED = 12;

// An engine change could not be removed (reader or writer history).
// Arguments: (int32_t seqHigh, uint32_t seqLow, const char* reason)
constexpr unsigned DCPS_MSG_DELETE_CHANGE_FAILED = 18;

// The engine reported a change for a user reader.
// Arguments: (int32_t seqHigh, uint32_t seqLow)
constexpr unsigned DCPS_MSG_CHANGE_AVAILABLE = 20;

// An engine change could not be read.
// Arguments: (int32_t seqHigh, uint32_t seqLow, const char* reason)
constexpr unsigned DCPS_MSG_READ_CHANGE_FAILED = 23;

// A listener threw; the exception is dropped and the next listener call goes on.
// Arguments: (const char* entity, const char* topic, const char* what)
constexpr unsigned DCPS_MSG_LISTENER_THREW = 24;

// A writer was deleted before every instance's unregistration went out; readers see its
// instances lose their writer instead.
// Arguments: (const char* topic, uint32_t left, int32_t code)
constexpr unsigned DCPS_MSG_WRITER_UNREGISTRATIONS_LOST = 25;

// A writer or reader with KEEP_LAST history and a depth below 1 is refused.
// Arguments: (const char* topic, int32_t depth)
constexpr unsigned DCPS_MSG_ENDPOINT_DEPTH_BELOW_ONE = 31;

// A sample was filed under its instance.
// Arguments: (const char* topic, uint32_t instance, int32_t slot)
constexpr unsigned DCPS_MSG_SAMPLE_ADDED = 32;

// A sample was removed from a reader.
// Arguments: (const char* topic, uint32_t instance, int32_t slot)
constexpr unsigned DCPS_MSG_SAMPLE_DELETED = 33;

// The last writer of an instance went: a sample without writers is filed.
// Arguments: (const char* topic, uint32_t instance)
constexpr unsigned DCPS_MSG_INSTANCE_NO_WRITERS = 34;

// A reader's data-available listener was called.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_DATA_AVAILABLE_CALLED = 35;

// A received sample could not be unpacked; it is lost.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_SAMPLE_NOT_UNPACKED = 36;

// A received sample found no instance (instances limit or handles used up); it is rejected.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_SAMPLE_NO_INSTANCE = 37;

// An instance history is full of samples that cannot be replaced; the sample is rejected.
// Arguments: (const char* topic, uint32_t instance)
constexpr unsigned DCPS_MSG_HISTORY_FULL_REJECTED = 38;

// An instance history is full of samples on loan; the sample waits in the engine.
// Arguments: (const char* topic, uint32_t instance)
constexpr unsigned DCPS_MSG_HISTORY_FULL_POSTPONED = 39;

// An instance was removed from a reader.
// Arguments: (const char* topic, uint32_t instance)
constexpr unsigned DCPS_MSG_INSTANCE_REMOVED = 40;

// A remote writer of a reader went.
// Arguments: (const char* topic, uint32_t writer)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_GONE = 41;

// Samples were lent to the application.
// Arguments: (const char* topic, unsigned count)
constexpr unsigned DCPS_MSG_SAMPLES_LENT = 42;

// A reader learned that a writer unregistered an instance.
// Arguments: (const char* topic, uint32_t instance)
constexpr unsigned DCPS_MSG_READER_INSTANCE_UNREGISTERED = 43;

// A writer became the owner of an instance.
// Arguments: (const char* topic, uint32_t instance, int32_t writer)
constexpr unsigned DCPS_MSG_INSTANCE_OWNER = 44;

// An instance lost its owner.
// Arguments: (const char* topic, uint32_t instance)
constexpr unsigned DCPS_MSG_INSTANCE_OWNER_LOST = 45;

// A sample of a weaker writer than the owner was dropped.
// Arguments: (const char* topic, uint32_t instance, int32_t writer)
constexpr unsigned DCPS_MSG_SAMPLE_NOT_OWNER = 46;

// createTopic with an empty topic or type name.
// Arguments: (const char* topic, const char* type)
constexpr unsigned DCPS_MSG_TOPIC_EMPTY_NAME = 47;

// createTopic of a name in use.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_TOPIC_EXISTS = 48;

// createTopic of a type not registered with the participant.
// Arguments: (const char* topic, const char* type)
constexpr unsigned DCPS_MSG_TOPIC_TYPE_UNKNOWN = 49;

// createTopic with no topic id left.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_TOPIC_NO_ID = 50;

// A subscriber was created.
// Arguments: (uint32_t id)
constexpr unsigned DCPS_MSG_SUBSCRIBER_CREATED = 52;

// A data reader was created.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_READER_CREATED = 53;

// createDR with no reader id left.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_READER_NO_ID = 54;

// createDR on a topic without type support.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_READER_NO_TYPE = 55;

// One pass of the garbage collector ended.
// Arguments: none
constexpr unsigned DCPS_MSG_COLLECTOR_PASS = 60;

// A remote writer of a reader changed its liveliness state (one of "NOT EXIST", "NOT
// MATCHED", "ALIVE", "NOT ALIVE", "MATCHED & ALIVE", "MATCHED").
// Arguments: (uint32_t writer, const char* topic, const char* state)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_LIVELINESS = 59;

// A reader compacted its instance table.
// Arguments: (const char* topic, unsigned before, unsigned after)
constexpr unsigned DCPS_MSG_INSTANCES_REINDEXED = 61;

// A reader compacted its remote-writer table.
// Arguments: (const char* topic, unsigned before, unsigned after)
constexpr unsigned DCPS_MSG_REMOTE_WRITERS_REINDEXED = 62;

// A wait set waits without a limit.
// Arguments: none
constexpr unsigned DCPS_MSG_WAITSET_WAIT_INFINITE = 65;

// A wait set waits at most the given milliseconds.
// Arguments: (long long ms)
constexpr unsigned DCPS_MSG_WAITSET_WAIT = 66;

// A wait set was signalled.
// Arguments: none
constexpr unsigned DCPS_MSG_WAITSET_SIGNALS = 67;

// A second thread called wait on a wait set.
// Arguments: none
constexpr unsigned DCPS_MSG_WAITSET_BUSY = 68;

// A factory operation called on a participant's data-handling thread (from a listener) is
// refused: it would take the factory mutex after a participant mutex.
// Arguments: (const char* operation)
constexpr unsigned DCPS_MSG_FACTORY_ON_DATA_THREAD = 85;

// Output of an application through vexalog::cstr2log.
// Arguments: (int severity, const char* text, int value, const char* text2)
constexpr unsigned DCPS_MSG_APPLICATION_OUTPUT = 4;

// A writer's wait for acknowledgements failed in the engine.
// Arguments: (const char* reason)
constexpr unsigned DCPS_MSG_ACK_WAIT_FAILED = 3;

// createDW: the engine refused the writer.
// Arguments: (const char* topic, const char* reason)
constexpr unsigned DCPS_MSG_WRITER_ENGINE_REFUSED = 13;

// An engine writer threw while taking a change.
// Arguments: (const char* reason)
constexpr unsigned DCPS_MSG_ADD_CHANGE_FAILED = 16;

// An engine writer refused to remove a change.
// Arguments: (int32_t seqHigh, uint32_t seqLow)
constexpr unsigned DCPS_MSG_WRITER_CHANGE_KEPT = 17;

// An engine writer did not take a change.
// Arguments: (long long handle)
constexpr unsigned DCPS_MSG_CHANGE_NOT_TAKEN = 19;

// A writer registered an instance.
// Arguments: (const char* topic, uint32_t handle)
constexpr unsigned DCPS_MSG_INSTANCE_REGISTERED = 26;

// A writer unregistered an instance.
// Arguments: (uint32_t handle, const char* topic)
constexpr unsigned DCPS_MSG_INSTANCE_UNREGISTERED = 27;

// A write found no instance: unknown handle or the instance limit reached.
// Arguments: (const char* topic, uint32_t liveInstances, int32_t maxInstances)
constexpr unsigned DCPS_MSG_NO_INSTANCE = 28;

// A write found the writer's history full.
// Arguments: (const char* topic, uint32_t samples, int32_t maxSamples)
constexpr unsigned DCPS_MSG_HISTORY_FULL = 29;

// A write found no room in the instance's history.
// Arguments: (const char* topic, uint32_t listSize, int32_t depth)
constexpr unsigned DCPS_MSG_INSTANCE_FULL = 30;

// A publisher was created.
// Arguments: (uint32_t id)
constexpr unsigned DCPS_MSG_PUBLISHER_CREATED = 51;

// A writer was created.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_WRITER_CREATED = 56;

// createDW with no writer id left.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_WRITER_NO_ID = 57;

// createDW on a topic that cannot take the writer or whose type gives no writer.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_WRITER_NO_TYPE = 58;

// A writer's instance table was compacted.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_WRITER_INSTANCES_COMPACTED = 63;

// A writer's remote-reader list was compacted.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_WRITER_READERS_COMPACTED = 64;

// A writer matched a remote reader, found it incompatible, or lost a matched one.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_READER_MATCHED = 79;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_READER_INCOMPATIBLE = 81;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_READER_LOST = 83;

// A discovery sample of a participant that departed; ignored until its record is collected.
// Arguments: (uint32_t prefix0, uint32_t prefix1, uint32_t prefix2)
constexpr unsigned DCPS_MSG_REMOTE_SUBSCRIBER_OF_REMOVED = 69;
// Arguments: (uint32_t prefix0, uint32_t prefix1, uint32_t prefix2)
constexpr unsigned DCPS_MSG_REMOTE_PUBLISHER_OF_REMOVED = 70;

// A remote endpoint or topic announced again after its removal, before the collector pass.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_READER_HANDLED = 71;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_HANDLED = 72;

// A remote reader, writer or topic was discovered, changed or removed.
// Arguments: (const char* topic)
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_READER_NEW = 73;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_NEW = 74;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_READER_CHANGED = 75;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_CHANGED = 76;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_READER_REMOVED = 77;
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_REMOVED = 78;

// A reader matched a remote writer.
// Arguments: (const char* topic, uint32_t writer)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_MATCHED = 80;

// A reader found a remote writer incompatible (the last policy that failed).
// Arguments: (const char* topic, uint32_t writer, int32_t policy)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_INCOMPATIBLE = 82;

// A matched remote writer of a reader went.
// Arguments: (const char* topic, uint32_t writer)
constexpr unsigned DCPS_MSG_REMOTE_WRITER_UNMATCHED = 84;

// A remote participant's discovery sample that cannot be a record of its topic.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_BUILTIN_SAMPLE_MALFORMED = 86;

// No remote id left for a new remote writer or reader; it is ignored.
// Arguments: (const char* topic)
constexpr unsigned DCPS_MSG_REMOTE_NO_ID = 87;

// A durable reader whose history request the durability service will refuse: topic, reason.
// Arguments: (const char* topic, const char* reason)
constexpr unsigned DCPS_MSG_HISTORY_WILL_BE_REFUSED = 89;

// A programming error of the calling layer; the process aborts.
// Arguments: (const char* condition)
constexpr unsigned DCPS_MSG_FATAL_ASSERTION = 90;

// Where a configuration file came from: its name, then its path or a note that none was found.
// Arguments: (const char* name, const char* source)
constexpr unsigned DCPS_MSG_CONFIG_SOURCE = 88;

// A working-directory configuration file read in place of the installed one, which it replaces
// whole: the local path, the installed path.
// Arguments: (const char* local, const char* installed)
constexpr unsigned DCPS_MSG_CONFIG_SHADOWS_INSTALLED = 91;

}  // namespace vexares
