#pragma once

#include <cstdio>

namespace vexa {

// How opening a file for reading went.
enum class RegularFileOpen {
    OPENED,
    MISSING,      // it could not be opened at all (absent, no permission, ...)
    NOT_REGULAR,  // it exists but is a FIFO, a device, a directory or a socket
};

// Opens `path` for reading only when it is a regular file. A FIFO would block the open until a
// writer comes, and a device such as /dev/zero or /dev/urandom never ends: the file is opened
// without blocking and looked at before anything is read. `stream` is set only when OPENED.
RegularFileOpen OsOpenRegularFile(const char* path, FILE*& stream);

}  // namespace vexa
