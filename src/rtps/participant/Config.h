#pragma once

#include <cstdint>

#include "common/conf/ConfigurationManager.h"

namespace RTPS {

// Settings of one participant: rtps.cfg, the host-wide participant index and the ports
// derived from it, and the few values no file sets. Built once, first thing, by its
// participant; nothing changes after construction. Construction never fails: a missing or
// unreadable rtps.cfg, or any parameter that cannot be read, gives the whole fallback set.
// An address that is no dotted IPv4 address counts as a parameter that cannot be read: used in
// a locator it would become the broadcast address.
class Config : public vexaconf::ConfigurationManager {
public:
    enum USER_MULTICASTING_MODE : int32_t {
        MULTICASTING_OFF = 0,         // "ОТКЛЮЧЕН"
        MULTICASTING_PER_WRITER = 1,  // "ПО_ПИСАТЕЛЯМ"
        MULTICASTING_PER_TOPIC = 2,   // "ПО_ТЕМАМ"
    };

    // Address texts hold at most 15 characters and the terminator.
    static constexpr unsigned IP_TEXT_SIZE = 16;
    // Fallback unicast address: private to the host, and not the usual loopback address, so a
    // participant without configuration is easy to tell apart and its traffic stays local.
    static constexpr char FALLBACK_UNICAST_IP[] = "127.0.0.2";
    static constexpr char FALLBACK_MULTICAST_IP[] = "0.0.0.0";
    // Readers drop a sample whose fragments take longer than this to arrive.
    static constexpr uint32_t FRAGMENT_TIMEOUT_MS = 4000;
    // Largest sample put together from fragments where no resource limit gives a smaller one:
    // the receiver drops DATA_FRAG of larger samples.
    static constexpr uint32_t DEFAULT_MAX_SAMPLE_SIZE = 16 * 1024 * 1024;

    // domainId: 0..229, the domain the participant is created for.
    explicit Config(uint32_t domainId);

    const char* defaultUnicastIp() const { return m_unicastIp; }
    // Read and checked, but unused: announcements always go to DEFAULT_MULTICAST_ADDRESS.
    const char* defaultMulticastIp() const { return m_multicastIp; }
    // Times in milliseconds.
    int32_t heartbeatPeriod() const { return m_heartbeatPeriod; }
    int32_t heartbeatResponseDelay() const { return m_heartbeatResponseDelay; }
    int32_t nackResponseDelay() const { return m_nackResponseDelay; }
    int32_t nackSuppressionDuration() const { return m_nackSuppressionDuration; }
    bool pushMode() const { return m_pushMode; }
    int32_t resendPeriod() const { return m_resendPeriod; }
    int32_t checkIncomingPeriod() const { return m_checkIncomingPeriod; }
    int32_t spdpAnnouncePeriod() const { return m_spdpAnnouncePeriod; }
    int32_t participantLeaseDuration() const { return m_participantLeaseDuration; }
    USER_MULTICASTING_MODE userMulticastingMode() const { return m_userMulticastingMode; }

    // 0..119, host-wide; names the participant and enters its unicast ports.
    uint8_t hostWideIndex() const { return m_hostWideIndex; }
    uint32_t domainId() const { return m_domainId; }
    uint16_t userMulticastPort() const { return m_userMulticastPort; }
    uint16_t metatrafficUnicastPort() const;
    uint16_t userUnicastPort() const;

    // The receiver renews the sending participant's lease with every message it parses.
    bool renewLeaseOnEveryMessage() const { return true; }
    uint32_t fragmentTimeout() const { return FRAGMENT_TIMEOUT_MS; }
    uint32_t maxSampleSize() const { return DEFAULT_MAX_SAMPLE_SIZE; }

private:
    // True when all twelve parameters were read.
    bool readParameters();
    void applyFallback();

    uint32_t m_domainId;
    uint8_t m_hostWideIndex = 0;
    uint16_t m_userMulticastPort = 0;

    char m_unicastIp[IP_TEXT_SIZE] = {};
    char m_multicastIp[IP_TEXT_SIZE] = {};
    int32_t m_heartbeatPeriod = 0;
    int32_t m_heartbeatResponseDelay = 0;
    int32_t m_nackResponseDelay = 0;
    int32_t m_nackSuppressionDuration = 0;
    bool m_pushMode = false;
    int32_t m_resendPeriod = 0;
    int32_t m_checkIncomingPeriod = 0;
    int32_t m_spdpAnnouncePeriod = 0;
    int32_t m_participantLeaseDuration = 0;
    USER_MULTICASTING_MODE m_userMulticastingMode = MULTICASTING_PER_TOPIC;
};

}  // namespace RTPS
