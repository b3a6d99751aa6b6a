#include "platform/posix_regional_settings.h"

#include <cstring>
#include <ctime>
#include <langinfo.h>

#include "core/date_time.h"

namespace kantrel {

PosixRegionalSettings::PosixRegionalSettings(const std::string& localeName) {
    locale_ = newlocale(LC_ALL_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
    if (locale_ == nullptr) locale_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    separator_ = nl_langinfo_l(RADIXCHAR, locale_);
    if (separator_.empty()) separator_ = ".";
    timeFormat_ = nl_langinfo_l(T_FMT, locale_);
    dateFormat_ = nl_langinfo_l(D_FMT, locale_);
    if (timeFormat_.empty()) timeFormat_ = "%H:%M:%S";
    if (dateFormat_.empty()) dateFormat_ = "%m/%d/%y";
}

PosixRegionalSettings::~PosixRegionalSettings() {
    if (locale_ != nullptr) freelocale(locale_);
}

std::string PosixRegionalSettings::Format(const std::string& pattern, const CivilDateTime& t) const {
    std::tm tm = ToBrokenDownTime(t);
    // Weekday, for formats that name it: days since 1899-12-30 (a Saturday).
    const long long days = static_cast<long long>(EncodeDateTime(CivilDateTime{t.year, t.month, t.day, 0, 0, 0, 0}));
    tm.tm_wday = static_cast<int>(((days % 7) + 7 + 6) % 7);
    char buffer[128];
    const std::size_t n = strftime_l(buffer, sizeof buffer, pattern.c_str(), &tm, locale_);
    return std::string(buffer, n);
}

std::string PosixRegionalSettings::FormatLongTime(const CivilDateTime& t) const { return Format(timeFormat_, t); }

std::string PosixRegionalSettings::FormatShortDate(const CivilDateTime& t) const { return Format(dateFormat_, t); }

std::optional<double> PosixRegionalSettings::ParseDateTime(std::string_view dateAndTime) const {
    const std::string text(dateAndTime);
    const std::string pattern = dateFormat_ + " " + timeFormat_;
    std::tm tm{};
    // strptime follows the calling thread's locale; switch it for this call only.
    const locale_t previous = uselocale(locale_);
    const char* end = strptime(text.c_str(), pattern.c_str(), &tm);
    uselocale(previous);
    if (end == nullptr) return std::nullopt;
    while (*end == ' ') ++end;
    if (*end != '\0') return std::nullopt;
    const CivilDateTime t = FromBrokenDownTime(tm);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31) return std::nullopt;
    return EncodeDateTime(t);
}

}  // namespace kantrel
