#include "rtps/wire/Locator.h"

#include <arpa/inet.h>

#include <cstring>

namespace RTPS {

bool operator==(Locator_t const& a, Locator_t const& b) {
    return a.kind == b.kind && a.port == b.port &&
           std::memcmp(a.address, b.address, sizeof a.address) == 0;
}

bool almost_eq(Locator_t const& a, Locator_t const& b) {
    return a.kind == b.kind && std::memcmp(a.address, b.address, sizeof a.address) == 0;
}

void strToLoc(Locator_t* loc, char const* text) {
    std::memset(loc->address, 0, 12);
    in_addr_t addr = text != nullptr ? inet_addr(text) : INADDR_NONE;
    std::memcpy(loc->address + 12, &addr, 4);
}

}  // namespace RTPS
