// A test-only library put in front of libc with LD_PRELOAD: `send` on datagram sockets loses
// VEXA_LOSS_PERCENT per cent of the datagrams and holds back VEXA_REORDER_PERCENT per cent until
// the next datagram of the same socket has gone, from a fixed seed (VEXA_LOSS_SEED). A process
// may also have every participant announcement it sends lost for a while
// (vexa_send_shim_lose_announcements). Nothing of the product knows about it; the test reaches
// these functions through dlsym.

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using SendFn = ssize_t (*)(int, void const*, size_t, int);

struct Shim {
    std::mutex mutex;
    SendFn real = nullptr;
    uint32_t lossPercent = 0;
    uint32_t reorderPercent = 0;
    uint64_t state = 0;
    // One datagram held back per socket.
    std::vector<std::vector<uint8_t>> held = std::vector<std::vector<uint8_t>>(1024);
    std::atomic<bool> loseAnnouncements{false};
    std::atomic<uint64_t> announcementsLost{0};
    std::atomic<uint64_t> dropped{0};
    std::atomic<uint64_t> reordered{0};
    std::atomic<uint64_t> passed{0};

    Shim() {
        real = reinterpret_cast<SendFn>(dlsym(RTLD_NEXT, "send"));
        lossPercent = read("VEXA_LOSS_PERCENT", 10);
        reorderPercent = read("VEXA_REORDER_PERCENT", 5);
        state = read("VEXA_LOSS_SEED", 12345) | 1;
    }
    static uint32_t read(char const* name, uint32_t fallback) {
        char const* v = std::getenv(name);
        return v != nullptr ? static_cast<uint32_t>(std::strtoul(v, nullptr, 10)) : fallback;
    }
    // 0..99, xorshift; under the mutex.
    uint32_t roll() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state % 100);
    }
};

Shim& shim() {
    static Shim s;
    return s;
}

// Whether the datagram carries a DATA submessage of the SPDP writer (entity 00 01 00 C2): a
// walk over the submessages after the 20-byte header, each length in its own byte order.
bool carriesAnnouncement(void const* buf, size_t len) {
    auto const* b = static_cast<uint8_t const*>(buf);
    if (len < 20 || b[0] != 'R' || b[1] != 'T' || b[2] != 'P' || b[3] != 'S') {
        return false;
    }
    size_t at = 20;
    while (at + 4 <= len) {
        uint8_t const kind = b[at];
        bool const little = (b[at + 1] & 1) != 0;
        size_t const length = little ? (b[at + 2] | b[at + 3] << 8) : (b[at + 2] << 8 | b[at + 3]);
        size_t const body = at + 4;
        if (kind == 0x15 && body + 12 <= len && b[body + 8] == 0x00 && b[body + 9] == 0x01 &&
            b[body + 10] == 0x00 && b[body + 11] == 0xC2) {
            return true;
        }
        if (length == 0) {
            return false;  // the last submessage runs to the end
        }
        at = body + length;
    }
    return false;
}

bool isDatagram(int fd) {
    int type = 0;
    socklen_t len = sizeof type;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0 && type == SOCK_DGRAM;
}

}  // namespace

extern "C" {

ssize_t send(int fd, void const* buf, size_t len, int flags) {
    Shim& s = shim();
    if (s.real == nullptr || fd < 0 || static_cast<size_t>(fd) >= s.held.size() ||
        !isDatagram(fd)) {
        return s.real != nullptr ? s.real(fd, buf, len, flags) : -1;
    }
    if (s.loseAnnouncements.load() && carriesAnnouncement(buf, len)) {
        ++s.announcementsLost;
        return static_cast<ssize_t>(len);
    }
    std::vector<uint8_t> later;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        uint32_t const r = s.roll();
        if (r < s.lossPercent) {
            ++s.dropped;
            return static_cast<ssize_t>(len);
        }
        std::vector<uint8_t>& slot = s.held[static_cast<size_t>(fd)];
        if (r < s.lossPercent + s.reorderPercent && slot.empty()) {
            auto const* bytes = static_cast<uint8_t const*>(buf);
            slot.assign(bytes, bytes + len);
            ++s.reordered;
            return static_cast<ssize_t>(len);
        }
        later.swap(slot);
    }
    ++s.passed;
    ssize_t const result = s.real(fd, buf, len, flags);
    if (!later.empty()) {
        s.real(fd, later.data(), later.size(), flags);
    }
    return result;
}

// Read by the test: how many datagrams were lost, held back and passed.
uint64_t vexa_send_shim_dropped() {
    return shim().dropped.load();
}
uint64_t vexa_send_shim_reordered() {
    return shim().reordered.load();
}
uint64_t vexa_send_shim_passed() {
    return shim().passed.load();
}

// From now on (non-zero) or no longer (zero), every participant announcement this process
// sends is lost; the number lost so far.
uint64_t vexa_send_shim_lose_announcements(int on) {
    shim().loseAnnouncements = on != 0;
    return shim().announcementsLost.load();
}

}  // extern "C"
