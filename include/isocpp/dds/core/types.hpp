#ifndef DDS_CORE_TYPES_HPP
#define DDS_CORE_TYPES_HPP

// Small types the API's values share.

#include <cstdint>
#include <string>
#include <vector>

namespace dds {
namespace core {

// Stands for "nothing" where a value is expected, as in a nil instance handle.
class null_type {};

using ByteSeq = std::vector<uint8_t>;
using StringSeq = std::vector<std::string>;

}  // namespace core
}  // namespace dds

#endif
