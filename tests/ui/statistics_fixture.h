#pragma once

// The main window with data sets on show and its statistics window.

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "form_fixture.h"
#include "ui/statistics_window.h"

namespace kantrel::test {

class StatisticsFixture : public FormTest {
protected:
    // Lines in the list, numbered from 1, each with the same value in all five columns
    // (a value text of "" leaves the line's value columns empty).
    void ShowValues(const std::vector<std::string>& valueTexts);
    // The limits as the settings hold them.
    static void SetLimits(std::optional<double> low, std::optional<double> high, bool on = true);

    ui::StatisticsWindow& OpenStatistics();
    ui::StatisticsWindow& Window() const;
    // The text of a figure in the statistics window; nullopt when it has no such line.
    std::optional<QString> Figure(const char* caption, int column = 0) const;
    // An entry of a limit, as the operator ends it.
    void EnterLimit(bool low, const QString& text);
};

} // namespace kantrel::test
