#pragma once

// How the operator reaches the statistics, the report and the chart image: a context
// menu on the data-set list and on the chart (right mouse button or the keyboard's menu
// key), and F9 for the statistics window. The menu texts pass through Translate when the
// menu opens, so that a language file can translate them.

#include <QObject>
#include <QPointer>
#include <functional>

class QMenu;
class QShortcut;

namespace kantrel::ui {

class TForm1;

struct MenuActions {
    std::function<void()> statistics; // "Statistics and limits…", F9
    std::function<void()> report;     // "Report (PDF)…"
    std::function<void()> copyChart;  // "Copy chart as image"
};

class ContextMenus : public QObject {
    Q_OBJECT

public:
    ContextMenus(TForm1& form, MenuActions actions);
    ~ContextMenus() override;

    // The menu on display (null when none is open).
    QMenu* OpenMenu() const { return openMenu_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Popup(QWidget* owner, const QPoint& globalPos);

    TForm1& form_;
    MenuActions actions_;
    QShortcut* statisticsKey_;
    QPointer<QMenu> openMenu_;
};

} // namespace kantrel::ui
