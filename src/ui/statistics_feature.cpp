#include "ui/statistics_feature.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "measure/meas_data.h"
#include "settings/language.h"
#include "ui/context_menus.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/data_sets_on_show.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/qt_text.h"
#include "ui/report_content.h"
#include "ui/report_pdf.h"
#include "ui/statistics_window.h"

namespace kantrel::ui {

StatisticsFeature::StatisticsFeature(TForm1& form)
    : form_(form), marks_(form),
      menus_(new ContextMenus(
          form, {[this] { OpenStatistics(); }, [this] { WriteReport(); }, [this] { CopyChart(); }})),
      updateInterval_(timers().CreateTimer([this] { TForm1::Safely([this] { UpdateIntervalOver(); }); })) {
    connect(&form_, &TForm1::DisplayRefreshed, this, &StatisticsFeature::DisplayRefreshed);
    const DataSetListModel* list = form_.listModel;
    connect(list, &QAbstractItemModel::modelReset, this, &StatisticsFeature::DataChanged);
    connect(list, &QAbstractItemModel::rowsInserted, this, &StatisticsFeature::DataChanged);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &StatisticsFeature::DataChanged);
    connect(list, &QAbstractItemModel::dataChanged, this, &StatisticsFeature::DataChanged);
    connect(list, &QAbstractItemModel::headerDataChanged, this, &StatisticsFeature::DataChanged);
    // The limits of the settings file are known once the start-up has read it.
    form_.installEventFilter(this);
}

StatisticsFeature::~StatisticsFeature() {
    form_.removeEventFilter(this);
    delete window_;
    delete menus_;
}

StatisticsWindow* StatisticsFeature::Window() const {
    return window_;
}

bool StatisticsFeature::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::Show)
        QTimer::singleShot(0, this, [this] { marks_.Sync(); });
    return false;
}

void StatisticsFeature::DisplayRefreshed() {
    marks_.Sync();
    marks_.ShowLiveValue();
    // During an automatic recording the list stays as it is while the table grows.
    const TableMark now = measData ? TableMark{measData, measData->GetDataListPos(),
                                               measData->IsDataListWrapped(), DataSetsOnShow::TableAhead()}
                                   : TableMark{};
    if ((now.ahead || seen_.ahead) && !(now == seen_))
        DataChanged();
    seen_ = now;
}

void StatisticsFeature::DataChanged() {
    marks_.Sync();
    dirty_ = true;
    // The figures follow at the end of the interval, however many changes came in it (an
    // automatic recording stores up to a hundred data sets a tick).
    if (WindowShown() && !updateInterval_->IsActive())
        updateInterval_->Start(kMinUpdateIntervalMs);
}

void StatisticsFeature::LimitsChanged() {
    marks_.Sync();
    Refresh(); // the operator's own change shows at once
}

bool StatisticsFeature::WindowShown() const {
    return window_ && window_->isVisible();
}

void StatisticsFeature::Refresh() {
    if (!WindowShown())
        return;
    dirty_ = false;
    window_->ShowStatistics(StatisticsOnShow(*form_.listModel), ValueColumnCaptions(form_));
}

void StatisticsFeature::UpdateIntervalOver() {
    if (dirty_ && WindowShown())
        Refresh();
    else
        updateInterval_->Stop();
}

void StatisticsFeature::OpenStatistics() {
    if (!window_) {
        window_ = new StatisticsWindow(&form_);
        connect(window_, &StatisticsWindow::LimitsChanged, this, &StatisticsFeature::LimitsChanged);
        PlaceBesideForm();
    }
    window_->ShowLimitSettings();
    window_->show();
    window_->raise();
    window_->activateWindow();
    marks_.Sync();
    Refresh();
}

// Beside the main window, clear of its controls, and on the screen.
void StatisticsFeature::PlaceBesideForm() {
    const QRect form = form_.frameGeometry();
    QPoint at = form.topRight() + QPoint(8, 0);
    if (const QScreen* screen = form_.screen()) {
        const QRect free = screen->availableGeometry();
        if (at.x() + window_->width() > free.right())
            at.setX(std::max(free.left(), form.left() - window_->width() - 8));
        at.setY(std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() - window_->height())));
    }
    window_->move(at);
}

void StatisticsFeature::WriteReport() {
    QString path =
        dialogs().SaveFileName(Q(Translate("Report (PDF)")), QString(), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    marks_.Sync();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written =
        WriteReportPdf(path, CollectReport(form_, StatisticsOnShow(*form_.listModel)), *form_.Chart1);
    QApplication::restoreOverrideCursor();
    if (!written)
        TForm1::ShowMessageBox(
            Std(QStringLiteral("The report could not be written to ") + path + QLatin1Char('.')),
            kCaptionError);
}

void StatisticsFeature::CopyChart() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        TForm1::ShowMessageBox("The chart could not be placed on the clipboard.", kCaptionError);
        return;
    }
    clipboard->setImage(form_.Chart1->toPixmap().toImage());
}

} // namespace kantrel::ui
