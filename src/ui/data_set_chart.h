#pragma once

// Chart1: the data sets drawn over one of three x axes. Two series sets of five series
// each (points for the modes "number" and "time", fast lines for "time with lines");
// only the set of the current mode exists. Points stay sorted by x and are addressed by
// their index in that order. An axis with automatic scaling on spans all points present
// whenever the chart is drawn.

#include <qcustomplot.h>

#include <array>

namespace kantrel::ui {

class PatternTicker;

class DataSetChart : public QCustomPlot {
    Q_OBJECT

public:
    static constexpr int kSlots = 5;
    static const std::array<const char*, kSlots> kSeriesTitles;
    static const std::array<QColor, kSlots> kSeriesColours;

    explicit DataSetChart(QWidget* parent = nullptr);

    // The column at the right of the plot that holds the legend (the window puts its
    // chart-mode group over it).
    void SetLegendColumnWidth(int pixels);
    static constexpr int kDefaultLegendColumnWidth = 130;

    // Destroys whatever series exist and creates the five of the mode's kind, empty.
    void InitSeriesType(int graficMode);
    // Destroys the series of both sets.
    void ReleaseSeries();
    QCPGraph* Series(int slot) const;
    bool HasSeries() const { return Series(0) != nullptr; }
    bool UsesLineSeries() const { return lineSeries_[0] != nullptr; }

    void AddPoint(int slot, double x, double y);
    // False (and nothing changes) when the series has no point with that index.
    bool DeletePoint(int slot, int index);
    void ClearPoints();
    int PointCount(int slot) const;

    // Bottom axis for a chart mode: title, label pattern and label step.
    void SetXAxis(int graficMode);
    void SetLeftAxisTitle(const QString& title);
    void SetAutoScale(bool bottom, bool left);
    bool BottomAutoScale() const { return autoBottom_; }
    bool LeftAutoScale() const { return autoLeft_; }
    // Automatic scaling off, then on, for both axes: both span all points again.
    void ZoomAll();
    // Brings the automatically scaled axes up to the points (also done before drawing).
    void ApplyAutoScale();
    // Draws soon; many changes in one go cost one drawing.
    void ScheduleReplot();

    PatternTicker& BottomTicker() const { return *bottomTicker_; }
    PatternTicker& LeftTicker() const { return *leftTicker_; }
    void SetSeparators(const QString& decimalSeparator, const QString& groupSeparator);

private:
    void StopAutoScaleOnUserMove(QMouseEvent* event);
    static void Fit(QCPAxis* axis, const QCPRange& range, bool found);

    QCPLayoutGrid* legendColumn_ = nullptr;
    std::array<QCPGraph*, kSlots> pointSeries_{};
    std::array<QCPGraph*, kSlots> lineSeries_{};
    QSharedPointer<PatternTicker> bottomTicker_;
    QSharedPointer<PatternTicker> leftTicker_;
    bool autoBottom_ = true;
    bool autoLeft_ = false;
};

} // namespace kantrel::ui
