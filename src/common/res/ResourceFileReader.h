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
// for a line feed. A line holds at most 2047 bytes with its line end.
class ResourceFileReader {
public:
    static constexpr size_t LINE_SIZE = 2048;

    // 0 and the list in `out`, or 5 (with a diagnostic on standard output) and no list.
    static unsigned read(const char* fileName, FILE* stream,
                         std::unique_ptr<StringResourceList>& out);
};

}  // namespace vexares
