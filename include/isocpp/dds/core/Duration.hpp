#ifndef DDS_CORE_DURATION_HPP
#define DDS_CORE_DURATION_HPP

// A span of time: signed 32-bit seconds (0..2147483647) and unsigned 32-bit nanoseconds
// (0..999999999). The infinite duration is {0x7fffffff, 0x7fffffff}; the nanoseconds setter
// also takes 0x7fffffff with other seconds, and arithmetic then counts it as 2.147483647 s.
//
// Setters refuse values out of range with InvalidDataError. Arithmetic works on the whole span
// in 64 bits (products in 128) and always yields nanoseconds below one second; a result of
// 2^31 s or more is the infinite duration. A negative difference throws IllegalOperationError.

#include <cstdint>

namespace dds {
namespace core {

class Duration {
public:
    Duration() = default;
    // Seconds setter first, then the nanoseconds setter.
    Duration(long sec, unsigned nanosec);

    int32_t sec() const { return sec_; }
    void sec(long s);
    uint32_t nanosec() const { return nanosec_; }
    void nanosec(unsigned n);

    // By seconds as signed numbers, then nanoseconds as unsigned ones: -1, 0 or 1.
    int compare(Duration const& other) const;
    bool operator==(Duration const& other) const { return compare(other) == 0; }
    bool operator!=(Duration const& other) const { return compare(other) != 0; }
    bool operator<(Duration const& other) const { return compare(other) < 0; }
    bool operator<=(Duration const& other) const { return compare(other) <= 0; }
    bool operator>(Duration const& other) const { return compare(other) > 0; }
    bool operator>=(Duration const& other) const { return compare(other) >= 0; }

    Duration& operator+=(Duration const& other);
    Duration& operator-=(Duration const& other);
    Duration& operator*=(unsigned long factor);
    Duration operator+(Duration const& other) const;
    Duration operator-(Duration const& other) const;

    // The infinite duration throws IllegalOperationError.
    int64_t to_millisecs() const;
    int64_t to_microsecs() const;
    double to_secs() const;

    bool is_infinite() const { return sec_ == 0x7fffffff && nanosec_ == 0x7fffffffu; }

    static Duration const& zero();
    static Duration const& infinite();
    // Negative or too large inputs fail in the setters.
    static Duration from_millisecs(long ms);
    static Duration from_microsecs(long us);
    // NaN, infinities, negative values and 2^31 s or more are refused with the seconds
    // setter's InvalidDataError; the fraction is truncated to whole nanoseconds.
    static Duration from_secs(double s);

private:
    int32_t sec_ = 0;
    uint32_t nanosec_ = 0;
};

Duration operator*(Duration const& d, unsigned long factor);
Duration operator*(unsigned long factor, Duration const& d);
// A zero divider throws InvalidDataError; the infinite duration stays infinite.
Duration operator/(Duration const& d, unsigned long divider);

}  // namespace core
}  // namespace dds

#endif
