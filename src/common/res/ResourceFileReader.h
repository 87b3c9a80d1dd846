#pragma once

#include <cstdio>
#include <memory>

#include "common/res/StringResourceList.h"

namespace vexares {

// Parses one message resource file. The file is untrusted input: lines are read with a bound,
// indices with an overflow check, and nothing is sized by a number taken from the file.
//
// Format (UTF-8, an optional byte-order mark): records of two lines,
//     <index>=<readable text>
//     <binary text>
// indices consecutive from a first index >= 1. In the readable text "\n" (backslash, n) stands
// for a line feed. A line holds at most 2047 bytes with its line end. Both texts are printf
// formats that the logger fills: a text with a conversion other than those the messages use
// ("%%", d, i, u, x, X with their usual length letters, s) is refused at load.
class ResourceFileReader {
public:
    static constexpr size_t LINE_SIZE = 2048;
    // No message file comes near this; a longer stream (a device, a runaway file) is refused.
    static constexpr size_t MAX_FILE_BYTES = size_t{4} << 20;

    // 0 and the list in `out`, or 5 (with a diagnostic on standard output) and no list.
    static unsigned read(const char* fileName, FILE* stream,
                         std::unique_ptr<StringResourceList>& out);
};

}  // namespace vexares
