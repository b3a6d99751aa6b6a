#pragma once

// The distribution of the Value as bars, with the limits as dashed vertical lines.

#include <qcustomplot.h>

#include <array>
#include <optional>

#include "measure/histogram.h"
#include "measure/statistics.h"

namespace kantrel::ui {

class StatisticsHistogram : public QCustomPlot {
    Q_OBJECT

public:
    explicit StatisticsHistogram(QWidget* parent = nullptr);

    void Show(const Histogram& histogram, const std::optional<Limits>& limits);
    void SetTitles(const QString& valueTitle, const QString& countTitle);

    QCPBars* Bars() const { return bars_; }
    // The dashed line of the low (0) or high (1) limit; null while that limit is off.
    QCPItemStraightLine* LimitLine(int i) const { return limitLines_[static_cast<std::size_t>(i)]; }

private:
    void DrawLimit(std::size_t i, const std::optional<double>& level);

    QCPBars* bars_;
    std::array<QCPItemStraightLine*, 2> limitLines_{};
};

} // namespace kantrel::ui
