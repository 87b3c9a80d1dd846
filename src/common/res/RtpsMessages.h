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

// A participant was built: its name, the three words of its GUID prefix, its domain.
// Arguments: (const char* name, unsigned p0, unsigned p1, unsigned p2, unsigned domain)
constexpr unsigned RTPS_MSG_PARTICIPANT_CREATED = 1002;
// Arguments: (const char* unicastAddress)
constexpr unsigned RTPS_MSG_PARTICIPANT_UNICAST_ADDRESS = 1001;
// Arguments: (const char* name)
constexpr unsigned RTPS_MSG_PARTICIPANT_SHUTDOWN = 1082;
// A thread of the participant could not be started.
// Arguments: (const char* name, const char* thread, const char* reason)
constexpr unsigned RTPS_MSG_PARTICIPANT_THREAD_NOT_STARTED = 1116;
// A change for several readers whose decoded record cannot be copied reaches only the first.
// Arguments: (const char* name, unsigned sequenceLow, const char* reader)
constexpr unsigned RTPS_MSG_CHANGE_NOT_COPIED = 1117;
// A remote writer's multicast group that the transport would not open for a local reader.
// Arguments: (const char* n, unsigned a, unsigned b, unsigned c, unsigned d, unsigned p, const char* e)
constexpr unsigned RTPS_MSG_PARTICIPANT_RECEIVER_REFUSED = 1118;

// Discovery. Readers' names are endpoint log names; prefixes are three 32-bit words.
// A new remote participant. Module "SPDPBuiltinParticipantReader::addChange".
// Arguments: (const char* reader, unsigned p0, unsigned p1, unsigned p2)
constexpr unsigned RTPS_MSG_PARTICIPANT_DISCOVERED = 1005;
// A remote participant removed (lease expired or removed by prefix).
// Arguments: (const char* reader, unsigned p0, unsigned p1, unsigned p2)
constexpr unsigned RTPS_MSG_PARTICIPANT_REMOVED = 1006;
// A new remote writer and the number of local readers that match it.
// Arguments: (const char* reader, unsigned matched)
constexpr unsigned RTPS_MSG_REMOTE_WRITER_MATCHED = 1007;
// A new remote reader and the number of local writers that match it.
// Arguments: (const char* reader, unsigned matched)
constexpr unsigned RTPS_MSG_REMOTE_READER_MATCHED = 1008;
// A change stored by a reader: sequence number (0xFFFFFFFF for discovery records), count,
// two reserved words, time.
// Arguments: (const char* reader, unsigned sn, unsigned n, unsigned r1, unsigned r2, unsigned mks)
constexpr unsigned RTPS_MSG_READER_CHANGE_STORED = 1015;
// A discovery payload that does not decode: record kind, sender prefix, length, what is wrong.
// Arguments: (const char* kind, unsigned p0, unsigned p1, unsigned p2, unsigned n, const char* why)
constexpr unsigned RTPS_MSG_DISCOVERY_RECORD_REFUSED = 1027;
// A remote participant that cannot be wired (bad locator, no socket); its next announcement
// tries again.
// Arguments: (const char* reader, unsigned p0, unsigned p1, unsigned p2, const char* why)
constexpr unsigned RTPS_MSG_PARTICIPANT_NOT_WIRED = 1119;
// A remote endpoint record without a unicast locator gets no proxy.
// Arguments: (const char* reader, unsigned g0, unsigned g1, unsigned g2, unsigned entity)
constexpr unsigned RTPS_MSG_ENDPOINT_WITHOUT_UNICAST = 1120;
// Configuration: the participant lease is shorter than the SPDP announce period.
// Arguments: (int leaseMs, int periodMs)
constexpr unsigned RTPS_MSG_LEASE_BELOW_ANNOUNCE_PERIOD = 1121;

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
constexpr unsigned RTPS_MSG_SUBMESSAGE_DROPPED = 1070;
// A change over the sample size cap is declared lost to the readers (once per change).
// Arguments: (int snHigh, unsigned snLow, const char* writer, unsigned size, unsigned cap)
constexpr unsigned RTPS_MSG_OVERSIZED_CHANGE_LOST = 1115;
// Arguments: (unsigned length, const char* reason)
constexpr unsigned RTPS_MSG_DATAGRAM_DROPPED = 1071;
// Arguments: (unsigned length, const char* what)
constexpr unsigned RTPS_MSG_PARSER_FAILED = 1075;
// Message composer.
// Arguments: (unsigned a, unsigned b, unsigned c, unsigned d, unsigned port, const char* why)
constexpr unsigned RTPS_MSG_SEND_FAILED = 1077;

// DSVC link to the durability service.
// A new DSVC connection refused: the server is at its connection cap and every connection
// has identified its reader (module "DSVCServer::listener").
// Arguments: (int socket, unsigned cap)
constexpr unsigned RTPS_MSG_DSVC_CONNECTION_REFUSED = 1123;
// A DSVC connection that sent no INIT yet is closed to make room for a new one at the cap.
// Arguments: (int socket, unsigned cap)
constexpr unsigned RTPS_MSG_DSVC_IDLE_CONNECTION_CLOSED = 1124;
// The server listens (module "DSVCServer::listener").
// Arguments: (unsigned basePort)
constexpr unsigned RTPS_MSG_DSVC_LISTENING = 1090;
// The configured server addresses (module "DSVCDataTransportConfig::DSVCDataTransportConfig").
// Arguments: (const char* servers)
constexpr unsigned RTPS_MSG_DSVC_SERVERS = 1091;
// Server side (module "ParticipantImpl::<operation>"): INIT of a remote durable reader.
// Arguments: (unsigned p0, unsigned p1, unsigned p2, unsigned entityId)
constexpr unsigned RTPS_MSG_DSVC_INIT = 1092;
// The stored history of that reader is asked for.
// Arguments: (unsigned p0, unsigned p1, unsigned p2, unsigned entityId)
constexpr unsigned RTPS_MSG_DSVC_HISTORY_ASKED = 1093;
// The durability service handed over samples for a reader; the record's address, 0: no such
// reader.
// Arguments: (unsigned p0, unsigned p1, unsigned p2, unsigned id, unsigned n, unsigned long long r)
constexpr unsigned RTPS_MSG_DSVC_HISTORY_GIVEN = 1094;
// One SMPL is sent.
// Arguments: (unsigned sequenceLow, unsigned p0, unsigned p1, unsigned p2, unsigned entityId)
constexpr unsigned RTPS_MSG_DSVC_SAMPLE_SENT = 1095;
// Client side (module "ReaderImpl::<operation>"): a server ended its exchange with STOP.
// Arguments: (const char* reader, unsigned proxiesLeft)
constexpr unsigned RTPS_MSG_DSVC_SERVER_STOPPED = 1096;
// The reader let go of a server.
// Arguments: (const char* reader, unsigned proxiesLeft)
constexpr unsigned RTPS_MSG_DSVC_SERVER_REMOVED = 1097;
// A stored sample arrived.
// Arguments: (const char* reader, unsigned sn, unsigned p0, unsigned p1, unsigned p2, unsigned id)
constexpr unsigned RTPS_MSG_DSVC_HISTORICAL_SAMPLE = 1098;
// A live change arrived while the history was loading.
// Arguments: (const char* reader, unsigned sn, unsigned p0, unsigned p1, unsigned p2, unsigned id)
constexpr unsigned RTPS_MSG_DSVC_LIVE_CHANGE = 1099;
// A run of the assembly goes to the history.
// First and last index of the run, then the assembly size.
// Arguments: (const char* r, unsigned long long a, unsigned long long b, unsigned long long n)
constexpr unsigned RTPS_MSG_DSVC_UPLOAD = 1100;
// A piece of DSVC.SERVER_IP is not an address.
// Arguments: (const char* piece, const char* why)
constexpr unsigned RTPS_MSG_DSVC_SERVER_REFUSED = 1101;
// What became of a change offered to the assembly.
// Arguments: (const char* reader, unsigned long long size, unsigned sn, const char* what)
constexpr unsigned RTPS_MSG_DSVC_ASSEMBLY = 1102;
// A DSVC connection ends because of what its peer sent or did.
// Arguments: (int socket, const char* why)
constexpr unsigned RTPS_MSG_DSVC_CONNECTION_CLOSED = 1112;
// A message could not be sent whole; the connection is shut down.
// Arguments: (unsigned length, int socket, const char* why)
constexpr unsigned RTPS_MSG_DSVC_SEND_FAILED = 1113;
// A second connection of a reader that already has one is refused with STOP.
// Arguments: (unsigned p0, unsigned p1, unsigned p2, unsigned entityId)
constexpr unsigned RTPS_MSG_DSVC_DUPLICATE_INIT = 1114;

// Receive queue (module "MessageReceiver::receiveMessage").
// The parser is held and the queue is full: the datagram is dropped (logged once per run of
// drops). Bytes queued, the datagram's length, datagrams dropped so far.
// Arguments: (unsigned long long queued, unsigned length, unsigned long long dropped)
constexpr unsigned RTPS_MSG_RECEIVER_QUEUE_FULL = 1122;

// Writers and reader proxy (module "StatefulWriter::<operation>" or
// "StatelessWriter::<operation>" unless noted).
// A user writer was created: log name, entity id.
// Arguments: (const char* writer, unsigned entityId)
constexpr unsigned RTPS_MSG_WRITER_CREATED = 1003;
// A best-effort user writer was handed a change.
// Arguments: (const char* writer)
constexpr unsigned RTPS_MSG_WRITER_CHANGE_OFFERED = 1009;
// A change went out: log name, how, sequence number high and low, 0, clock (low 32 bits).
// Arguments: (const char* w, const char* how, unsigned hi, unsigned lo, unsigned z, unsigned t)
constexpr unsigned RTPS_MSG_DATA_SENT = 1010;
// A best-effort user writer's history is full: it removes the withdrawn changes no
// destination still holds.
// Arguments: (const char* writer)
constexpr unsigned RTPS_MSG_WRITER_HISTORY_FULL = 1023;
// The history stayed full: the change was not taken (handle high, low).
// Arguments: (const char* writer, unsigned high, unsigned low)
constexpr unsigned RTPS_MSG_CHANGE_NOT_TAKEN = 1024;
// A change was taken: sequence number high and low.
// Arguments: (const char* writer, unsigned high, unsigned low)
constexpr unsigned RTPS_MSG_CHANGE_ADDED = 1025;
// A best-effort user writer is asked to withdraw a change: sequence number high and low,
// clock (low 32 bits).
// Arguments: (const char* writer, unsigned high, unsigned low, unsigned mks)
constexpr unsigned RTPS_MSG_WRITER_CHANGE_WITHDRAWN = 1026;
// The withdrawal is done: sequence number (low part), changes left in the history.
// Arguments: (const char* writer, unsigned low, unsigned left)
constexpr unsigned RTPS_MSG_WRITER_CHANGES_LEFT = 1031;
// A HEARTBEAT went out: first and last sequence number (low parts), port, clock.
// Arguments: (const char* writer, unsigned first, unsigned last, unsigned port, unsigned mks)
constexpr unsigned RTPS_MSG_HEARTBEAT_SENT = 1035;
// An ACKNACK arrived: its base (low part), the reader's GUID as four words.
// Arguments: (const char* w, unsigned base, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_ACKNACK_RECEIVED = 1046;
// A NACK_FRAG arrived: the change (low part), the fragment base, the reader's GUID as text.
// Arguments: (const char* writer, unsigned sequence, unsigned base, const char* reader)
constexpr unsigned RTPS_MSG_NACKFRAG_RECEIVED = 1047;
// A reliable writer is destroyed while still running.
// Arguments: (const char* writer)
constexpr unsigned RTPS_MSG_WRITER_DESTROYED_ACTIVE = 1055;
// A reliable user writer is given a matched reader.
// Arguments: (const char* writer)
constexpr unsigned RTPS_MSG_READER_MATCHING = 1056;
// A reader was matched: the port of its unicast socket, the number of matched readers.
// Arguments: (const char* writer, unsigned port, unsigned readers)
constexpr unsigned RTPS_MSG_READER_MATCHED = 1057;
// A change no longer goes to one reader: its index in the reader's list, the first relevant
// index. Module "ReaderProxy::setIrrelevant".
// Arguments: (unsigned long long index, unsigned long long firstRelevant)
constexpr unsigned RTPS_MSG_PROXY_CHANGE_IRRELEVANT = 1073;
// A best-effort writer found no socket for a destination: its address and port.
// Arguments: (const char* w, unsigned a0, unsigned a1, unsigned a2, unsigned a3, unsigned port)
constexpr unsigned RTPS_MSG_WRITER_NO_SOCKET = 1084;
// A user writer was closed. Module "WriterImpl::close".
// Arguments: (const char* writer)
constexpr unsigned RTPS_MSG_WRITER_CLOSED = 1081;
// A user writer took its own multicast group.
// Arguments: (const char* writer, unsigned a0, unsigned a1, unsigned a2, unsigned a3)
constexpr unsigned RTPS_MSG_WRITER_GROUP = 1104;
// A matched reader's multicast locator: its GUID as four words, the dotted address.
// Arguments: (const char* w, unsigned g0, unsigned g1, unsigned g2, unsigned g3, const char* to)
constexpr unsigned RTPS_MSG_READER_MULTICAST = 1106;

// Trace lines of the reliable writer (severity 7, first argument the log name), by the
// operation that writes them.
// addChange, user writers: the history is full, the longest wait for room (us).
// Arguments: (const char* writer, unsigned long long mks)
constexpr unsigned RTPS_MSG_WRITER_FULL_WAIT = 1018;
// How many withdrawn changes the removal pass looks at.
// Arguments: (const char* writer, unsigned n)
constexpr unsigned RTPS_MSG_WRITER_REMOVAL_PASS = 1019;
// A withdrawn change that some reader has not acknowledged stays (low part of its number).
// Arguments: (const char* writer, unsigned low)
constexpr unsigned RTPS_MSG_WRITER_CHANGE_KEPT = 1020;
// The pass is over: changes in the history, microseconds since the call began.
// Arguments: (const char* writer, unsigned n, unsigned long long mks)
constexpr unsigned RTPS_MSG_WRITER_REMOVAL_DONE = 1021;
// The change goes into the history.
// Arguments: (const char* writer)
constexpr unsigned RTPS_MSG_WRITER_STORING = 1022;
// deleteChange, user writers: removal asked for (high, low part, clock).
// Arguments: (const char* writer, unsigned high, unsigned low, unsigned mks)
constexpr unsigned RTPS_MSG_WRITER_REMOVAL_ASKED = 1028;
// The change left the history at once.
// Arguments: (const char* writer)
constexpr unsigned RTPS_MSG_WRITER_CHANGE_REMOVED = 1029;
// The deletion is over: the last number looked at (high, low part), clock.
// Arguments: (const char* writer, unsigned high, unsigned low, unsigned mks)
constexpr unsigned RTPS_MSG_WRITER_DELETION_DONE = 1030;
// A DATA of the SEDP publications (1011) or subscriptions (1012) writer went out: high, low
// part, then the number of changes in the run (data phase) or the socket's port (answer).
// Arguments: (const char* writer, unsigned high, unsigned low, unsigned n)
constexpr unsigned RTPS_MSG_SEDP_PUBLICATION_SENT = 1011;
// Arguments: (const char* writer, unsigned high, unsigned low, unsigned n)
constexpr unsigned RTPS_MSG_SEDP_SUBSCRIPTION_SENT = 1012;
// The data phase is over: the number of matched readers. SEDP publications writer (1032),
// SEDP subscriptions writer (1033), user writer (1034).
// Arguments: (const char* writer, unsigned readers)
constexpr unsigned RTPS_MSG_SEDP_PUBLICATIONS_PHASE_DONE = 1032;
// Arguments: (const char* writer, unsigned readers)
constexpr unsigned RTPS_MSG_SEDP_SUBSCRIPTIONS_PHASE_DONE = 1033;
// Arguments: (const char* writer, unsigned readers)
constexpr unsigned RTPS_MSG_DATA_PHASE_DONE = 1034;
// A HEARTBEAT of the SEDP publications (1036) or subscriptions (1037) writer went out: first,
// last (low parts), port.
// Arguments: (const char* writer, unsigned first, unsigned last, unsigned port)
constexpr unsigned RTPS_MSG_SEDP_PUBLICATIONS_HEARTBEAT_SENT = 1036;
// Arguments: (const char* writer, unsigned first, unsigned last, unsigned port)
constexpr unsigned RTPS_MSG_SEDP_SUBSCRIPTIONS_HEARTBEAT_SENT = 1037;
// A user writer handled an ACKNACK in that many microseconds.
// Arguments: (const char* writer, unsigned mks)
constexpr unsigned RTPS_MSG_ACKNACK_HANDLED = 1048;
// An ACKNACK reached the SEDP publications (1049) or subscriptions (1050) writer: base (low
// part), the reader's GUID as four words.
// Arguments: (const char* w, unsigned base, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_SEDP_PUBLICATIONS_ACKNACK = 1049;
// Arguments: (const char* w, unsigned base, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_SEDP_SUBSCRIPTIONS_ACKNACK = 1050;
// Readers (module "<class>::<operation>").
// A user reader was created: log name, entity id.
// Arguments: (const char* reader, unsigned entityId)
constexpr unsigned RTPS_MSG_READER_CREATED = 1004;
// A change arrived for a user reader: sequence number (low part).
// Arguments: (const char* reader, unsigned sequence)
constexpr unsigned RTPS_MSG_READER_CHANGE_RECEIVED = 1013;
// A fragment arrived: sequence number (low part), its first fragment, fragments in the sample.
// Arguments: (const char* reader, unsigned sequence, unsigned first, unsigned count)
constexpr unsigned RTPS_MSG_READER_FRAGMENT = 1014;
// A fragment or half of a sample was dropped: sequence number (low part), why.
// Arguments: (const char* reader, unsigned sequence, const char* reason)
constexpr unsigned RTPS_MSG_READER_FRAGMENT_DROPPED = 1016;
// The user read a change: sequence number (low part).
// Arguments: (const char* reader, unsigned sequence)
constexpr unsigned RTPS_MSG_READER_CHANGE_READ = 1017;
// A HEARTBEAT reached a reliable user reader: first and last (low parts), the writer's GUID.
// Arguments: (const char* r, unsigned first, unsigned last, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_READER_HEARTBEAT = 1038;
// An ACKNACK went out: its base (low part), the writer's GUID, microseconds since the HEARTBEAT.
// Arguments: (const char* r, unsigned base, unsigned g0, unsigned g1, unsigned g2, unsigned g3, unsigned mks)
constexpr unsigned RTPS_MSG_READER_ACKNACK_SENT = 1042;
// A HEARTBEAT reached the SEDP publications (1039) or subscriptions (1040) reader: first and
// last (low parts), the writer's GUID.
// Arguments: (const char* r, unsigned first, unsigned last, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_SEDP_PUBLICATIONS_READER_HEARTBEAT = 1039;
// Arguments: (const char* r, unsigned first, unsigned last, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_SEDP_SUBSCRIPTIONS_READER_HEARTBEAT = 1040;
// A user reader took a HEARTBEAT in that many microseconds.
// Arguments: (const char* r, unsigned mks)
constexpr unsigned RTPS_MSG_READER_HEARTBEAT_HANDLED = 1041;
// An ACKNACK of the SEDP publications (1044) or subscriptions (1045) reader went out: base
// (low part), the writer's GUID.
// Arguments: (const char* r, unsigned base, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_SEDP_PUBLICATIONS_ACKNACK_SENT = 1044;
// Arguments: (const char* r, unsigned base, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_SEDP_SUBSCRIPTIONS_ACKNACK_SENT = 1045;
// A NACK_FRAG went out: the change (low part), the fragment to go on from, the writer's GUID.
// Arguments: (const char* r, unsigned sequence, unsigned next, unsigned g0, unsigned g1, unsigned g2, unsigned g3)
constexpr unsigned RTPS_MSG_READER_NACKFRAG_SENT = 1043;
// A reliable user reader is given a matched writer.
// Arguments: (const char* reader)
constexpr unsigned RTPS_MSG_WRITER_MATCHING = 1058;
// A writer was matched: the port of its unicast socket, the number of matched writers.
// Arguments: (const char* reader, unsigned port, unsigned writers)
constexpr unsigned RTPS_MSG_WRITER_MATCHED = 1059;
// A user reader was closed.
// Arguments: (const char* reader)
constexpr unsigned RTPS_MSG_READER_CLOSED = 1080;
// A HEARTBEAT whose first number lies beyond its last + 1 was ignored: the writer's GUID, first
// and last (high, low).
// Arguments: (const char* r, unsigned g0, unsigned g1, unsigned g2, unsigned g3, int fh, unsigned fl, int lh, unsigned ll)
constexpr unsigned RTPS_MSG_READER_HEARTBEAT_REFUSED = 1078;

// Where a configuration file came from: its name, then its path or a note that none was found.
// Arguments: (const char* name, const char* source)
constexpr unsigned RTPS_MSG_CONFIG_SOURCE = 1125;
// A working-directory configuration file read in place of the installed one, which it replaces
// whole: the local path, the installed path.
// Arguments: (const char* local, const char* installed)
constexpr unsigned RTPS_MSG_CONFIG_SHADOWS_INSTALLED = 1126;
// The user's settling of a receive batch failed; what it owed is left to its own threads.
// Arguments: (const char* what)
constexpr unsigned RTPS_MSG_RECEIVE_BATCH_FAILED = 1127;

}  // namespace vexares
