#include "ui/context_menus.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>
#include <QTreeView>

#include "settings/language.h"
#include "ui/data_set_chart.h"
#include "ui/form1.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

ContextMenus::ContextMenus(TForm1& form, MenuActions actions)
    : QObject(&form), form_(form), actions_(std::move(actions)),
      statisticsKey_(new QShortcut(QKeySequence(Qt::Key_F9), &form)) {
    statisticsKey_->setContext(Qt::WindowShortcut);
    connect(statisticsKey_, &QShortcut::activated, this, [this] { TForm1::Safely(actions_.statistics); });
    // The list's mouse events arrive at its viewport, its key events at the list itself.
    for (QWidget* watched : {static_cast<QWidget*>(form_.ListView1), form_.ListView1->viewport(),
                             static_cast<QWidget*>(form_.Chart1)})
        watched->installEventFilter(this);
}

ContextMenus::~ContextMenus() {
    delete openMenu_;
    delete statisticsKey_;
}

bool ContextMenus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu)
        return false;
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    Popup(static_cast<QWidget*>(watched), menuEvent->globalPos());
    return true;
}

void ContextMenus::Popup(QWidget* owner, const QPoint& globalPos) {
    delete openMenu_;
    auto* menu = new QMenu(owner);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const struct {
        const char* text;
        const std::function<void()>& action;
    } entries[] = {{"Statistics and limits\u2026", actions_.statistics},
                   {"Report (PDF)\u2026", actions_.report},
                   {"Copy chart as image", actions_.copyChart}};
    for (const auto& entry : entries) {
        const std::function<void()>& action = entry.action;
        connect(menu->addAction(Q(Translate(entry.text))), &QAction::triggered, this,
                [action] { TForm1::Safely(action); });
    }
    openMenu_ = menu;
    menu->popup(globalPos);
}

} // namespace kantrel::ui
