#include "common/os/OsRegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexa {

RegularFileOpen OsOpenRegularFile(const char* path, FILE*& stream) {
    if (path == nullptr) {
        return RegularFileOpen::MISSING;
    }
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return RegularFileOpen::MISSING;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return RegularFileOpen::MISSING;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return RegularFileOpen::NOT_REGULAR;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return RegularFileOpen::MISSING;
    }
    FILE* file = ::fdopen(fd, "r");
    if (file == nullptr) {
        ::close(fd);
        return RegularFileOpen::MISSING;
    }
    stream = file;
    return RegularFileOpen::OPENED;
}

}  // namespace vexa
