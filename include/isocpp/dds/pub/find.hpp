#ifndef DDS_PUB_FIND_HPP
#define DDS_PUB_FIND_HPP

// Finding a writer of a publisher by its topic's name:
//   find<WRITER>(pub, topic_name, begin, max_size), find<WRITER>(pub, topic_name, inserter):
//     the publisher's writer of that topic (the first one made: at most one).
// WRITER is dds::pub::DataWriter<T>, which passes over a writer of another sample type, or
// AnyDataWriter. The handle found goes to the iterator; the result is 1 or 0.
// AlreadyClosedError for a closed publisher.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "dds/core/detail/FoundHandle.hpp"
#include "dds/pub/AnyDataWriter.hpp"
#include "dds/pub/DataWriter.hpp"
#include "dds/pub/Publisher.hpp"
#include "vexa/DataWriterTemplate.h"
#include "vexa/pub/DataWriterDelegate.hpp"
#include "vexa/pub/DataWriterHolder.hpp"

namespace dds {
namespace pub {

namespace detail {

template <typename WRITER, typename Out>
uint32_t byName(Publisher const& pub, std::string const& topic_name, Out out, uint32_t max) {
    auto d = std::dynamic_pointer_cast<vexa::pub::DataWriterDelegate>(
        pub->lookup_data_writer(topic_name).lock());
    if (max == 0) {
        return 0;
    }
    return ::dds::core::detail::putFound<WRITER, AnyDataWriter, vexa::pub::DataWriterHolder,
                                         vexa::dcps::api::DataWriterTemplate>(d, out);
}

}  // namespace detail

template <typename WRITER, typename FwdIterator>
uint32_t find(Publisher const& pub, std::string const& topic_name, FwdIterator begin,
              uint32_t max_size) {
    return detail::byName<WRITER>(pub, topic_name, begin, max_size);
}

template <typename WRITER, typename BinIterator>
uint32_t find(Publisher const& pub, std::string const& topic_name, BinIterator begin) {
    return detail::byName<WRITER>(pub, topic_name, begin, std::numeric_limits<uint32_t>::max());
}

}  // namespace pub
}  // namespace dds

#endif
