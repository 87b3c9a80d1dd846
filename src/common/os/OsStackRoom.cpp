#include "common/os/OsStackRoom.h"

#include <pthread.h>

#include <cstdint>

namespace vexa {

__attribute__((noinline)) size_t osStackRoom() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) {
        return 0;
    }
    void* low = nullptr;
    size_t size = 0;
    const int rc = pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        return 0;
    }
    const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    const uintptr_t bottom = reinterpret_cast<uintptr_t>(low);
    return here > bottom ? here - bottom : 0;
}

}  // namespace vexa
