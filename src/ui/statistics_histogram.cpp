#include "ui/statistics_histogram.h"

#include <algorithm>

namespace kantrel::ui {

namespace {
const QColor kBarColour(0, 160, 0);
const QColor kLimitColour(200, 0, 0);
} // namespace

StatisticsHistogram::StatisticsHistogram(QWidget* parent)
    : QCustomPlot(parent), bars_(new QCPBars(xAxis, yAxis)) {
    bars_->setPen(QPen(kBarColour.darker()));
    bars_->setBrush(kBarColour);
    bars_->setWidthType(QCPBars::wtPlotCoords);
    yAxis->setRange(0, 1);
}

void StatisticsHistogram::SetTitles(const QString& valueTitle, const QString& countTitle) {
    xAxis->setLabel(valueTitle);
    yAxis->setLabel(countTitle);
}

void StatisticsHistogram::Show(const Histogram& histogram, const std::optional<Limits>& limits) {
    QVector<double> centres;
    QVector<double> counts;
    double highest = 0;
    for (std::size_t i = 0; i < histogram.counts.size(); ++i) {
        centres.append(histogram.lower + histogram.binWidth * (static_cast<double>(i) + 0.5));
        counts.append(static_cast<double>(histogram.counts[i]));
        highest = std::max(highest, counts.back());
    }
    bars_->setWidth(histogram.binWidth);
    bars_->setData(centres, counts, true);

    // The axis spans the bars and both limits, so that a limit far off stays in sight.
    double lower = histogram.lower;
    double upper = histogram.Upper();
    bool any = !histogram.counts.empty();
    for (const std::optional<double>& level :
         {limits ? limits->low : std::nullopt, limits ? limits->high : std::nullopt}) {
        if (!level)
            continue;
        lower = any ? std::min(lower, *level) : *level;
        upper = any ? std::max(upper, *level) : *level;
        any = true;
    }
    if (any) {
        const double margin = upper > lower ? (upper - lower) * 0.05 : 1.0;
        xAxis->setRange(lower - margin, upper + margin);
    }
    yAxis->setRange(0, std::max(1.0, highest * 1.1));
    DrawLimit(0, limits ? limits->low : std::nullopt);
    DrawLimit(1, limits ? limits->high : std::nullopt);
    replot(rpQueuedReplot);
}

void StatisticsHistogram::DrawLimit(std::size_t i, const std::optional<double>& level) {
    QCPItemStraightLine*& line = limitLines_[i];
    if (!level) {
        if (line)
            removeItem(line);
        line = nullptr;
        return;
    }
    if (!line) {
        line = new QCPItemStraightLine(this);
        line->setPen(QPen(kLimitColour, 1.5, Qt::DashLine));
    }
    line->point1->setCoords(*level, 0.0);
    line->point2->setCoords(*level, 1.0);
}

} // namespace kantrel::ui
