#include "ui/data_set_chart.h"

#include <algorithm>

#include "ui/pattern_ticker.h"

namespace kantrel::ui {

const std::array<const char*, DataSetChart::kSlots> DataSetChart::kSeriesTitles = {
    "Value", "Min.", "Max.", "Min. averaged", "Max. averaged"};
const std::array<QColor, DataSetChart::kSlots> DataSetChart::kSeriesColours = {
    QColor(0, 255, 0), QColor(128, 0, 0), QColor(255, 0, 255), QColor(0, 255, 255), QColor(255, 0, 0)};

namespace {
const std::array<QCPScatterStyle::ScatterShape, DataSetChart::kSlots> kMarkers = {
    QCPScatterStyle::ssSquare, QCPScatterStyle::ssDiamond, QCPScatterStyle::ssDiamond,
    QCPScatterStyle::ssCircle, QCPScatterStyle::ssCircle};
constexpr double kMarkerSize = 6;
} // namespace

DataSetChart::DataSetChart(QWidget* parent) : QCustomPlot(parent) {
    // The title runs over the whole chart. Below it the plot, and at its right a column
    // of its own for the legend: the chart-mode group of the window sits over the chart's
    // right side, and there it covers only that column, never a point.
    QCPAxisRect* plot = axisRect();
    plotLayout()->take(plot);
    plotLayout()->simplify();
    plotLayout()->addElement(0, 0,
                             new QCPTextElement(this, QStringLiteral("Data"), QFont(font().family(), 10)));
    auto* body = new QCPLayoutGrid;
    plotLayout()->addElement(1, 0, body);
    body->setColumnSpacing(0);
    body->addElement(0, 0, plot);
    legendColumn_ = new QCPLayoutGrid;
    body->addElement(0, 1, legendColumn_);
    body->setColumnStretchFactor(1, 0.001);
    SetLegendColumnWidth(kDefaultLegendColumnWidth);

    // One series a row, the legend at the top of its column, compact enough for the
    // five rows to end above the chart-mode group.
    axisRect()->insetLayout()->take(legend);
    legendColumn_->addElement(0, 0, legend);
    legendColumn_->addElement(1, 0, new QCPLayoutElement(this)); // the rest of the column
    legendColumn_->setRowStretchFactor(0, 0.001);
    legendColumn_->setRowSpacing(0);
    legend->setVisible(true);
    legend->setFont(font());
    legend->setBorderPen(Qt::NoPen);
    legend->setBrush(Qt::NoBrush);
    legend->setFillOrder(QCPLegend::foRowsFirst);
    legend->setIconSize(14, 10);
    legend->setIconTextPadding(4);
    legend->setRowSpacing(0);
    legend->setMargins(QMargins(2, 4, 2, 0));

    bottomTicker_.reset(new PatternTicker);
    bottomTicker_->SetPattern(QStringLiteral("0"));
    bottomTicker_->SetLabelStep(1);
    xAxis->setTicker(bottomTicker_);
    xAxis->setLabel(QStringLiteral("[n]=1"));

    leftTicker_.reset(new PatternTicker);
    leftTicker_->SetPattern(QStringLiteral("#.##0,###"));
    yAxis->setTicker(leftTicker_);
    yAxis->setLabel(QStringLiteral("Value"));

    // Pan and zoom with the mouse; a view the operator chose stays until ZOOM ALL.
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    connect(this, &QCustomPlot::mouseMove, this, &DataSetChart::StopAutoScaleOnUserMove);
    connect(this, &QCustomPlot::mouseWheel, this, [this](QWheelEvent*) { SetAutoScale(false, false); });
    connect(this, &QCustomPlot::beforeReplot, this, &DataSetChart::ApplyAutoScale);
}

void DataSetChart::SetLegendColumnWidth(int pixels) {
    legendColumn_->setMinimumSize(pixels, 0);
    legendColumn_->setMaximumSize(pixels, QWIDGETSIZE_MAX);
    ScheduleReplot();
}

void DataSetChart::StopAutoScaleOnUserMove(QMouseEvent* event) {
    if (event->buttons() != Qt::NoButton)
        SetAutoScale(false, false);
}

void DataSetChart::ReleaseSeries() {
    for (int slot = 0; slot < kSlots; ++slot) {
        for (auto* set : {&pointSeries_, &lineSeries_}) {
            if (QCPGraph*& graph = (*set)[static_cast<std::size_t>(slot)]) {
                removeGraph(graph);
                graph = nullptr;
            }
        }
    }
    ScheduleReplot();
}

void DataSetChart::InitSeriesType(int graficMode) {
    ReleaseSeries();
    const bool lines = graficMode == 2;
    auto& set = lines ? lineSeries_ : pointSeries_;
    for (int slot = 0; slot < kSlots; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        QCPGraph* graph = addGraph();
        graph->setName(QString::fromLatin1(kSeriesTitles[i]));
        graph->setPen(QPen(kSeriesColours[i], lines ? 1.5 : 1.0));
        if (lines) {
            graph->setLineStyle(QCPGraph::lsLine);
            graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
        } else {
            graph->setLineStyle(QCPGraph::lsNone);
            graph->setScatterStyle(
                QCPScatterStyle(kMarkers[i], kSeriesColours[i], kSeriesColours[i], kMarkerSize));
        }
        set[i] = graph;
    }
    ScheduleReplot();
}

QCPGraph* DataSetChart::Series(int slot) const {
    if (slot < 0 || slot >= kSlots)
        return nullptr;
    const auto i = static_cast<std::size_t>(slot);
    return lineSeries_[i] ? lineSeries_[i] : pointSeries_[i];
}

void DataSetChart::AddPoint(int slot, double x, double y) {
    QCPGraph* graph = Series(slot);
    if (!graph)
        return;
    graph->data()->add(QCPGraphData(x, y)); // inserted at the place of its x
    ScheduleReplot();
}

bool DataSetChart::DeletePoint(int slot, int index) {
    QCPGraph* graph = Series(slot);
    if (!graph || index < 0 || index >= graph->data()->size())
        return false;
    auto& data = *graph->data();
    // The container removes the first point of a key: bring the indexed point to the
    // front of its run of equal keys first, so that exactly that point goes.
    const double key = data.at(index)->key;
    int first = index;
    while (first > 0 && data.at(first - 1)->key == key)
        --first;
    std::rotate(data.begin() + first, data.begin() + index, data.begin() + index + 1);
    data.remove(key);
    ScheduleReplot();
    return true;
}

void DataSetChart::ClearPoints() {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (QCPGraph* graph = Series(slot))
            graph->data()->clear();
    }
    ScheduleReplot();
}

int DataSetChart::PointCount(int slot) const {
    const QCPGraph* graph = Series(slot);
    return graph ? graph->data()->size() : 0;
}

void DataSetChart::SetXAxis(int graficMode) {
    if (graficMode == 0) {
        bottomTicker_->SetPattern(QStringLiteral("0"));
        bottomTicker_->SetLabelStep(1);
        xAxis->setLabel(QStringLiteral("[n] = 1"));
    } else {
        bottomTicker_->SetPattern(QStringLiteral("0.000"));
        bottomTicker_->SetLabelStep(0.001);
        xAxis->setLabel(QStringLiteral("[t] = s"));
    }
    ScheduleReplot();
}

void DataSetChart::SetLeftAxisTitle(const QString& title) {
    yAxis->setLabel(title);
    ScheduleReplot();
}

void DataSetChart::SetSeparators(const QString& decimalSeparator, const QString& groupSeparator) {
    bottomTicker_->SetSeparators(decimalSeparator, groupSeparator);
    leftTicker_->SetSeparators(decimalSeparator, groupSeparator);
    ScheduleReplot();
}

void DataSetChart::SetAutoScale(bool bottom, bool left) {
    autoBottom_ = bottom;
    autoLeft_ = left;
    ScheduleReplot();
}

void DataSetChart::ZoomAll() {
    SetAutoScale(false, false);
    SetAutoScale(true, true);
}

void DataSetChart::Fit(QCPAxis* axis, const QCPRange& range, bool found) {
    if (!found)
        return;
    double lower = range.lower;
    double upper = range.upper;
    const double span = upper - lower;
    if (span <= 0) {
        // One value: a small window around it.
        const double half = lower == 0 ? 1.0 : std::abs(lower) * 0.05;
        lower -= half;
        upper += half;
    } else {
        lower -= span * 0.03;
        upper += span * 0.03;
    }
    axis->setRange(lower, upper);
}

void DataSetChart::ApplyAutoScale() {
    if (!autoBottom_ && !autoLeft_)
        return;
    bool anyKey = false;
    bool anyValue = false;
    QCPRange keys;
    QCPRange values;
    for (int slot = 0; slot < kSlots; ++slot) {
        QCPGraph* graph = Series(slot);
        if (!graph || graph->data()->isEmpty())
            continue;
        bool found = false;
        const QCPRange k = graph->data()->keyRange(found);
        if (found) {
            keys = anyKey ? QCPRange(std::min(keys.lower, k.lower), std::max(keys.upper, k.upper)) : k;
            anyKey = true;
        }
        const QCPRange v = graph->data()->valueRange(found);
        if (found) {
            values =
                anyValue ? QCPRange(std::min(values.lower, v.lower), std::max(values.upper, v.upper)) : v;
            anyValue = true;
        }
    }
    if (autoBottom_)
        Fit(xAxis, keys, anyKey);
    if (autoLeft_)
        Fit(yAxis, values, anyValue);
}

void DataSetChart::ScheduleReplot() {
    replot(QCustomPlot::rpQueuedReplot);
}

} // namespace kantrel::ui
