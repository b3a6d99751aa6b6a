#pragma once

// The statistics window beside the main window: the figures of the data sets on show
// for Value, Min, Max, MinAvr and MaxAvr, the limits of the Value (entered with the
// regional decimal separator and stored at once), a histogram of the Value and "Copy",
// which puts the figures on the clipboard as TAB-separated text. It is not modal; what it
// shows is given to it (ShowStatistics), and it tells when the operator changed the limits.

#include <QHash>
#include <QStringList>
#include <QWidget>
#include <string_view>

#include "measure/data_set_statistics.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kantrel::ui {

class StatisticsHistogram;

class StatisticsWindow : public QWidget {
    Q_OBJECT

public:
    explicit StatisticsWindow(QWidget* owner);

    // The figures; columnCaptions are the captions of the list's five value columns.
    void ShowStatistics(const DataSetStatistics& statistics, const QStringList& columnCaptions);
    // The limit controls as the settings hold them.
    void ShowLimitSettings();
    // The figures as TAB-separated lines with CR LF, as "Copy" puts them on the clipboard.
    QString ClipboardText() const;
    void CopyClick();
    int Updates() const { return updates_; }

    QCheckBox* LimitsOn = nullptr;
    QLineEdit* LowLimit = nullptr;
    QLineEdit* HighLimit = nullptr;
    QLabel* LimitHint = nullptr;
    QTableWidget* Figures = nullptr;
    StatisticsHistogram* Histogram = nullptr;
    QPushButton* Copy = nullptr;

signals:
    void LimitsChanged();

private:
    void CreateControls();
    void LimitsOnClick(bool checked);
    void LimitEntered(QLineEdit* edit, bool low);
    void ShowHint(std::string_view text);
    // The caption in the language of this run (looked up once per window).
    QString Translated(std::string_view text);

    QHash<QString, QString> translations_;
    int updates_ = 0;
};

} // namespace kantrel::ui
