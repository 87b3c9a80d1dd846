#ifndef VEXA_CORE_TIMECONVERSION_HPP
#define VEXA_CORE_TIMECONVERSION_HPP

// Durations and times between the API and the core, field by field. Towards the API the
// checking constructor runs, so a core value out of the API's range throws InvalidDataError.

#include "dds/core/Duration.hpp"
#include "dds/core/Time.hpp"
#include "vexa/dds/BasicTypes.h"

namespace vexa {
namespace core {

inline void convertDuration(vexa::dds::Duration_t const& from, ::dds::core::Duration& to) {
    to = ::dds::core::Duration(from.sec, from.nanosec);
}

inline void convertDuration(::dds::core::Duration const& from, vexa::dds::Duration_t& to) {
    to.sec = from.sec();
    to.nanosec = from.nanosec();
}

inline void convertTime(vexa::dds::Time_t const& from, ::dds::core::Time& to) {
    to = ::dds::core::Time(from.sec, from.nanosec);
}

inline void convertTime(::dds::core::Time const& from, vexa::dds::Time_t& to) {
    to.sec = from.sec();
    to.nanosec = from.nanosec();
}

}  // namespace core
}  // namespace vexa

#endif
