#pragma once

// Date-time values are doubles counting days since 30 December 1899; the fraction is
// the time of day.

#include <cstdint>
#include <ctime>

namespace kantrel {

inline constexpr double kOneMillisecond = 1.0 / 86400000.0;

struct CivilDateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Rounds to the nearest millisecond, so that a clock advanced in 1 ms steps decodes to
// whole milliseconds despite the rounding of the additions.
CivilDateTime DecodeDateTime(double days);
double EncodeDateTime(const CivilDateTime& t);

// The C library's broken-down time of t (milliseconds dropped), with daylight saving
// time left for the library to decide (tm_isdst -1).
std::tm ToBrokenDownTime(const CivilDateTime& t);
// The date and time of a broken-down time, with millisecond 0.
CivilDateTime FromBrokenDownTime(const std::tm& tm);

}  // namespace kantrel
