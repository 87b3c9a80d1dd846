#ifndef DDS_CORE_TIME_HPP
#define DDS_CORE_TIME_HPP

// A point in time since the Unix epoch: signed 32-bit seconds (0..2147483647) and unsigned
// 32-bit nanoseconds (0..999999999). The invalid time is {-1, 0xffffffff}; only the
// constructor makes it, from exactly that pair.
//
// Arithmetic works in 64 bits and yields nanoseconds below one second. The invalid time plus
// or minus a duration stays invalid; a sum of 2^31 s or more (the infinite duration among
// them) is the invalid time; a result before the epoch throws IllegalOperationError.

#include <cstdint>

#include "dds/core/Duration.hpp"

namespace dds {
namespace core {

class Time {
public:
    Time() = default;
    // {-1, 0xffffffff} is the invalid time; otherwise the two setters, seconds first.
    Time(long sec, unsigned nanosec);

    int32_t sec() const { return sec_; }
    void sec(long s);
    uint32_t nanosec() const { return nanosec_; }
    void nanosec(unsigned n);

    int compare(Time const& other) const;
    bool operator==(Time const& other) const { return compare(other) == 0; }
    bool operator!=(Time const& other) const { return compare(other) != 0; }
    bool operator<(Time const& other) const { return compare(other) < 0; }
    bool operator<=(Time const& other) const { return compare(other) <= 0; }
    bool operator>(Time const& other) const { return compare(other) > 0; }
    bool operator>=(Time const& other) const { return compare(other) >= 0; }

    Time& operator+=(Duration const& d);
    Time& operator-=(Duration const& d);

    // The invalid time throws IllegalOperationError.
    int64_t to_millisecs() const;
    int64_t to_microsecs() const;
    double to_secs() const;

    // Negative seconds only come with the invalid time.
    bool is_invalid() const { return sec_ < 0; }

    static Time const& invalid();
    static Time from_millisecs(long ms);
    static Time from_microsecs(long us);
    // Refuses NaN, infinities, negative values and 2^31 s or more like the seconds setter.
    static Time from_secs(double s);

private:
    int32_t sec_ = 0;
    uint32_t nanosec_ = 0;
};

Time operator+(Time const& t, Duration const& d);
Time operator+(Duration const& d, Time const& t);
Time operator-(Time const& t, Duration const& d);

}  // namespace core
}  // namespace dds

#endif
