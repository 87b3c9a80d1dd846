#pragma once

#include <vector>

#include "rtps/wire/Parameter.h"

namespace RTPS {

// Splits the parameter list at `list` (little-endian, closed by PID_SENTINEL) into heap entries
// appended to `out`, which is emptied first. Returns the bytes the list occupies, sentinel
// included. A list whose header or value runs past `available` bytes, and null arguments, give
// 0 with `out` empty: the enclosing submessage is then dropped. The caller deletes the entries;
// they point into `list`, which must outlive them.
unsigned int parseParameterList(unsigned char* list, unsigned int available,
                                std::vector<Parameter*>* out);

// The same walk without an allocation per entry.
unsigned int parseParameterList(unsigned char* list, unsigned int available,
                                std::vector<Parameter>& out);

}  // namespace RTPS
