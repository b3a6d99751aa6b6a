#include "core/date_time.h"

#include <cmath>

namespace kantrel {
namespace {

// Days from 1970-01-01 to a civil date and back (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

constexpr long long kEpochOffsetDays = 25569;  // 1899-12-30 .. 1970-01-01
constexpr long long kMsPerDay = 86400000;

}  // namespace

CivilDateTime DecodeDateTime(double days) {
    CivilDateTime t;
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return t;  // outside any calendar we show
    long long totalMs = std::llround(days * static_cast<double>(kMsPerDay));
    long long day = totalMs / kMsPerDay;
    long long ms = totalMs % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --day;
    }
    CivilFromDays(day - kEpochOffsetDays, t.year, t.month, t.day);
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

double EncodeDateTime(const CivilDateTime& t) {
    const long long day = DaysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) +
                          kEpochOffsetDays;
    const long long ms = ((static_cast<long long>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000LL + t.millisecond;
    return static_cast<double>(day) + static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

std::tm ToBrokenDownTime(const CivilDateTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    return tm;
}

CivilDateTime FromBrokenDownTime(const std::tm& tm) {
    CivilDateTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    return t;
}

}  // namespace kantrel
