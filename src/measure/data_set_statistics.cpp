#include "measure/data_set_statistics.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fmt/format.h>
#include <limits>

#include "core/value_text.h"
#include "settings/settings.h"

namespace kantrel {

namespace {

constexpr int kCapabilityDecimals = 2;
constexpr std::string_view kNoFigure = "-";

int DecimalsOf(std::string_view text, std::string_view separator) {
    const auto at = separator.empty() ? std::string_view::npos : text.find(separator);
    if (at == std::string_view::npos)
        return 0;
    int decimals = 0;
    for (auto i = at + separator.size(); i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
         ++i)
        ++decimals;
    return decimals;
}

std::string Count(std::size_t n) {
    return std::to_string(n);
}

std::string Figure(const std::optional<double>& value, int decimals, std::string_view separator) {
    return value ? FormatFixed(*value, decimals, separator) : std::string(kNoFigure);
}

void AddLimitLines(std::vector<StatisticsLine>& lines, const DataSetStatistics& s,
                   std::string_view separator) {
    const Limits& limits = *s.limits;
    const Statistics& value = s.columns[0];
    const auto limitText = [&](const std::optional<double>& limit) {
        return limit ? FormatLimit(*limit, separator) : std::string(kNoFigure);
    };
    lines.push_back({"Low limit", {limitText(limits.low)}});
    lines.push_back({"High limit", {limitText(limits.high)}});
    lines.push_back({"Inside limits", {Count(value.pass)}});
    lines.push_back({"Below low limit", {Count(value.low)}});
    lines.push_back({"Above high limit", {Count(value.high)}});
    lines.push_back({"Cp", {Figure(value.cp, kCapabilityDecimals, separator)}});
    lines.push_back({"Cpk", {Figure(value.cpk, kCapabilityDecimals, separator)}});
}

} // namespace

std::optional<Limits> LimitsInEffect(const Settings& s) {
    if (!s.LimitsOn || (!s.LimitLow && !s.LimitHigh))
        return std::nullopt;
    if (s.LimitLow && s.LimitHigh && *s.LimitLow > *s.LimitHigh)
        return std::nullopt;
    return Limits{s.LimitLow, s.LimitHigh};
}

DataSetStatisticsAccumulator::DataSetStatisticsAccumulator(std::string decimalSeparator,
                                                           std::optional<Limits> limits)
    : separator_(std::move(decimalSeparator)) {
    // Only the Value is judged.
    columns_[0] = StatisticsAccumulator(limits.value_or(Limits{}));
    result_.limits = limits;
}

void DataSetStatisticsAccumulator::Add(const ValueTexts& texts) {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        const std::optional<double> value = ParseValueText(texts[c], separator_);
        if (!value) {
            columns_[c].Add(std::numeric_limits<double>::quiet_NaN());
            continue;
        }
        columns_[c].Add(*value);
        result_.decimals[c] = std::max(result_.decimals[c], DecimalsOf(texts[c], separator_));
        if (c == 0)
            result_.values.push_back(*value);
    }
}

DataSetStatistics DataSetStatisticsAccumulator::Take() {
    for (std::size_t c = 0; c < columns_.size(); ++c)
        result_.columns[c] = columns_[c].Result();
    return std::move(result_);
}

std::vector<StatisticsLine> StatisticsLines(const DataSetStatistics& s, std::string_view separator) {
    struct Row {
        std::string_view caption;
        std::string (*cell)(const Statistics&, int decimals, std::string_view separator);
    };
    // Figures of no values at all do not exist: the accumulator's zeros are not shown.
    static const Row kRows[] = {
        {"n", [](const Statistics& c, int, std::string_view) { return Count(c.n); }},
        {"Mean",
         [](const Statistics& c, int d, std::string_view sep) {
             return c.n ? FormatFixed(c.mean, d + 1, sep) : std::string(kNoFigure);
         }},
        {"Standard deviation",
         [](const Statistics& c, int d, std::string_view sep) { return Figure(c.stdDev, d + 1, sep); }},
        {"Minimum",
         [](const Statistics& c, int d, std::string_view sep) {
             return c.n ? FormatFixed(c.min, d, sep) : std::string(kNoFigure);
         }},
        {"Maximum",
         [](const Statistics& c, int d, std::string_view sep) {
             return c.n ? FormatFixed(c.max, d, sep) : std::string(kNoFigure);
         }},
        {"Range",
         [](const Statistics& c, int d, std::string_view sep) {
             return c.n ? FormatFixed(c.range, d, sep) : std::string(kNoFigure);
         }},
    };
    std::vector<StatisticsLine> lines;
    for (const Row& row : kRows) {
        StatisticsLine line{row.caption, {}};
        for (std::size_t c = 0; c < s.columns.size(); ++c)
            line.cells[c] = row.cell(s.columns[c], s.decimals[c], separator);
        lines.push_back(std::move(line));
    }
    const bool anyInvalid =
        std::any_of(s.columns.begin(), s.columns.end(), [](const Statistics& c) { return c.invalid > 0; });
    if (anyInvalid) {
        StatisticsLine line{"Not a number", {}};
        for (std::size_t c = 0; c < s.columns.size(); ++c)
            line.cells[c] = Count(s.columns[c].invalid);
        lines.push_back(std::move(line));
    }
    if (s.limits)
        AddLimitLines(lines, s, separator);
    return lines;
}

std::string FormatFixed(double value, int decimals, std::string_view separator) {
    std::string text = fmt::format("{:.{}f}", value, std::max(0, decimals));
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    if (const auto point = text.find('.'); point != std::string::npos)
        text.replace(point, 1, separator);
    return text;
}

std::string FormatLimit(double limit, std::string_view separator) {
    std::string text = LimitSettingText(limit);
    if (const auto point = text.find('.'); point != std::string::npos)
        text.replace(point, 1, separator);
    return text;
}

} // namespace kantrel
