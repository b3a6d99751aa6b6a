#pragma once

// The limits of the Value shown in the main window while they are in effect: list lines
// whose Value lies outside in red, the limits as dashed horizontal lines in the chart, and
// the live mean meas300 in red while it lies outside. With the limits off the window
// looks exactly as without them.

#include <QPalette>
#include <QStyledItemDelegate>
#include <array>
#include <optional>
#include <string>

#include "measure/statistics.h"

class QCPItemStraightLine;

namespace kantrel::ui {

class TForm1;

// Draws a list line in red when its Value lies outside the limits.
class OutsideLinesDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void SetLimits(const std::optional<Limits>& limits, std::string decimalSeparator);
    // True for a data line (not a blank one) whose Value lies below or above the limits.
    bool IsOutside(const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    std::optional<Limits> limits_;
    std::string separator_;
};

class LimitMarks {
public:
    explicit LimitMarks(TForm1& form);
    ~LimitMarks();
    LimitMarks(const LimitMarks&) = delete;
    LimitMarks& operator=(const LimitMarks&) = delete;

    // Brings the list and the chart to the limits now in effect; nothing happens while
    // they are unchanged.
    void Sync();
    // meas300 red while the live mean lies outside (each display refresh).
    void ShowLiveValue();

    const std::optional<Limits>& Shown() const { return shown_; }
    QCPItemStraightLine* ChartLine(int i) const { return chartLines_[static_cast<std::size_t>(i)]; }

private:
    void DrawChartLines();
    void SetLiveValueRed(bool red);

    TForm1& form_;
    OutsideLinesDelegate* delegate_;
    std::optional<Limits> shown_;
    std::array<QCPItemStraightLine*, 2> chartLines_{}; // low, high
    bool liveValueRed_ = false;
    QPalette liveValuePalette_; // as it was before it turned red
    bool liveValueOwnPalette_ = false;
};

} // namespace kantrel::ui
