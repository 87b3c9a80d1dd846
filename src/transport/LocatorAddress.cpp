#include "transport/LocatorAddress.h"

#include <arpa/inet.h>

#include <cstring>

#include "rtps/io/TransportErrors.h"

namespace RTPS {

uint32_t locatorAddress(const Locator_t& locator) {
    uint32_t address;
    std::memcpy(&address, locator.address + 12, sizeof address);
    return address;
}

bool isMulticast(uint32_t address) {
    return (ntohl(address) >> 28) == 0xE;
}

void addressText(uint32_t address, char* text) {
    in_addr in{};
    in.s_addr = address;
    if (inet_ntop(AF_INET, &in, text, INET_ADDRSTRLEN) == nullptr) {
        text[0] = '\0';
    }
}

void checkLocator(const Locator_t* locator) {
    if (locator == nullptr || locator->kind != LOCATOR_KIND_UDPv4 || locator->port == 0 ||
        locator->port > 65535 || locatorAddress(*locator) == 0) {
        throw WrongLocator();
    }
}

}  // namespace RTPS
