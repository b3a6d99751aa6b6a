#pragma once

// Statistics, limits and the report in the main window: the context menus and F9, the
// statistics window (made when first opened), the limits drawn in the window, the PDF
// report and the chart as an image on the clipboard. The window's figures follow the data
// sets on show, at most ten times a second: a change shows at the end of the interval
// in which it came.

#include <QObject>
#include <QPointer>
#include <memory>

#include "ui/limit_marks.h"

namespace kantrel {
class MainThreadTimer;
class TMeasData;
} // namespace kantrel

namespace kantrel::ui {

class ContextMenus;
class StatisticsWindow;
class TForm1;

class StatisticsFeature : public QObject {
    Q_OBJECT

public:
    static constexpr int kMinUpdateIntervalMs = 100;

    explicit StatisticsFeature(TForm1& form);
    ~StatisticsFeature() override;

    // The three actions of the context menu.
    void OpenStatistics();
    void WriteReport();
    void CopyChart();

    StatisticsWindow* Window() const;
    ContextMenus& Menus() const { return *menus_; }
    LimitMarks& Marks() { return marks_; }
    MainThreadTimer& UpdateInterval() const { return *updateInterval_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DisplayRefreshed();
    void DataChanged();
    void LimitsChanged();
    void Refresh();
    void UpdateIntervalOver();
    bool WindowShown() const;
    void PlaceBesideForm();

    // Where the table stood at the last refresh, while it runs ahead of the list.
    struct TableMark {
        const TMeasData* store = nullptr;
        int pos = -1;
        bool wrapped = false;
        bool ahead = false;
        bool operator==(const TableMark&) const = default;
    };

    TForm1& form_;
    LimitMarks marks_;
    ContextMenus* menus_;
    QPointer<StatisticsWindow> window_;
    std::unique_ptr<MainThreadTimer> updateInterval_;
    bool dirty_ = true;
    TableMark seen_;
};

} // namespace kantrel::ui
