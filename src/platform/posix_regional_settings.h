#pragma once

#include <locale.h>
#include <string>

#include "core/ports.h"

namespace kantrel {

// The user's regional settings from a POSIX locale: decimal separator (RADIXCHAR), long
// time (T_FMT) and short date (D_FMT). Read through a locale object of its own, never
// through the process-global C locale.
class PosixRegionalSettings : public RegionalSettings {
public:
    // "" takes the locale from the environment (LC_ALL, LC_NUMERIC/LC_TIME, LANG); an
    // unknown name falls back to "C".
    explicit PosixRegionalSettings(const std::string& localeName = "");
    ~PosixRegionalSettings() override;
    PosixRegionalSettings(const PosixRegionalSettings&) = delete;
    PosixRegionalSettings& operator=(const PosixRegionalSettings&) = delete;

    std::string DecimalSeparator() const override { return separator_; }
    std::string FormatLongTime(const CivilDateTime& t) const override;
    std::string FormatShortDate(const CivilDateTime& t) const override;
    std::optional<double> ParseDateTime(std::string_view dateAndTime) const override;

    const std::string& timeFormat() const { return timeFormat_; }
    const std::string& dateFormat() const { return dateFormat_; }

private:
    std::string Format(const std::string& pattern, const CivilDateTime& t) const;

    locale_t locale_ = nullptr;
    std::string separator_;
    std::string timeFormat_;
    std::string dateFormat_;
};

}  // namespace kantrel
