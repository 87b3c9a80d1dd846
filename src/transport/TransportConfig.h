#pragma once

#include <netinet/in.h>

namespace RTPS {

// The transport's settings from trellis.cfg, read once. When the file cannot be read, or any
// value cannot be taken from it or its row default, every field keeps its built-in default.
class TransportConfig {
public:
    static constexpr int DEFAULT_NUMBER_OF_BUFFERS = 1024;
    static constexpr int DEFAULT_BUFFER_SIZE = 65507;
    static constexpr int DEFAULT_NUMBER_OF_RTPS_BUFFERS = 64;
    static constexpr int DEFAULT_REPORT_TIMEOUT = 5;
    static constexpr int DEFAULT_DISPATCHER_TIMEOUT = 5;
    static constexpr int DEFAULT_SELECT_TIMEOUT = 5;
    static constexpr const char* DEFAULT_MULTICAST_INTERFACE = "0.0.0.0";
    static constexpr int DEFAULT_MAX_TR_DATA_SIZE = 65507;
    static constexpr int SOCKET_BUFFER_SIZE = 33554432;
    static constexpr unsigned INTERFACE_TEXT_SIZE = 16;

    TransportConfig();

    int getNumberOfBuffers() const { return m_numberOfBuffers; }
    int getBufferSize() const { return m_bufferSize; }
    int getNumberOfRtpsBuffers() const { return m_numberOfRtpsBuffers; }
    int getReportTimeout() const { return m_reportTimeout; }
    int getDispatcherTimeout() const { return m_dispatcherTimeout; }
    int getSelectTimeout() const { return m_selectTimeout; }
    const char* getMulticastInterface() const { return m_multicastInterface; }
    // The interface as an address in network order; 0.0.0.0 when the text is no address.
    in_addr getMulticastInterfaceAddress() const;
    int getMaxDataSize() const { return m_maxTrDataSize; }
    int getSocketBufferSize() const { return m_socketBufferSize; }
    bool isValid() const { return m_valid; }

private:
    bool readFile();
    void setDefaults();

    int m_numberOfBuffers;
    int m_bufferSize;
    int m_numberOfRtpsBuffers;
    int m_reportTimeout;
    int m_dispatcherTimeout;
    int m_selectTimeout;
    char m_multicastInterface[INTERFACE_TEXT_SIZE];
    int m_maxTrDataSize;
    int m_socketBufferSize;
    bool m_valid;
};

}  // namespace RTPS
