#include "rtps/discovery/SEDPBuiltinTopicWriter.h"

#include <cstring>

#include "rtps/discovery/DiscoveredTopicData.h"

namespace RTPS {

namespace {

char const* const STOPPED = "Райтер находится в состоянии завершения работы";

}  // namespace

SEDPBuiltinTopicWriter::SEDPBuiltinTopicWriter(
    ParticipantImpl* participant, EndpointConfig const* config,
    vexa::dds::PublicationBuiltinTopicData const* description)
    : SEDPAnnouncementWriter(participant, config, description), m_table(INITIAL_TABLE_SIZE) {}

SEDPBuiltinTopicWriter::Entry& SEDPBuiltinTopicWriter::freeEntry() {
    for (Entry& e : m_table) {
        if (e.handle == 0) {
            return e;
        }
    }
    size_t const old = m_table.size();
    m_table.resize(old * 2);
    return m_table[old];
}

int64_t SEDPBuiltinTopicWriter::addChange(SampleInfo* sample) {
    if (!m_active.load()) {
        throw GENERAL_DDSI_ERROR(STOPPED);
    }
    if (sample == nullptr || sample->data == nullptr ||
        sample->length != sizeof(vexa::dds::TopicBuiltinTopicData)) {
        throw BAD_PARAMETERS("Неверные данные сэмпла");
    }
    auto record = std::make_unique<DiscoveredTopicData>();
    record->topicData = *static_cast<vexa::dds::TopicBuiltinTopicData const*>(sample->data);
    if (!fitsOneData(packedSize(*record))) {
        throw BAD_PARAMETERS("Описание не помещается в одно сообщение DATA");
    }
    uint32_t key[3];
    std::memcpy(key, record->topicData.key.value, sizeof key);

    std::lock_guard<std::mutex> lock(m_announceMutex);
    for (Entry& e : m_table) {
        if (e.handle != 0 && std::memcmp(e.key, key, sizeof key) == 0) {
            withdrawChange(handleToSequence(e.handle));
            e.handle = 0;
            break;
        }
    }
    int64_t const handle = addRecord(*sample, std::move(record));
    if (handle != CHANGE_NOT_TAKEN) {
        Entry& e = freeEntry();
        std::memcpy(e.key, key, sizeof key);
        e.handle = handle;
    }
    return handle;
}

bool SEDPBuiltinTopicWriter::deleteChange(long handle) {
    if (!m_active.load()) {
        throw GENERAL_DDSI_ERROR(STOPPED);
    }
    std::lock_guard<std::mutex> lock(m_announceMutex);
    for (Entry& e : m_table) {
        if (e.handle == handle) {
            e.handle = 0;
            break;
        }
    }
    return StatefulWriter::deleteChange(handle);
}

size_t SEDPBuiltinTopicWriter::topicCount() {
    std::lock_guard<std::mutex> lock(m_announceMutex);
    size_t n = 0;
    for (Entry const& e : m_table) {
        n += e.handle != 0 ? 1 : 0;
    }
    return n;
}

size_t SEDPBuiltinTopicWriter::tableSize() {
    std::lock_guard<std::mutex> lock(m_announceMutex);
    return m_table.size();
}

}  // namespace RTPS
