#include "ui/statistics_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/ports.h"
#include "core/value_text.h"
#include "files/data_file_writer.h"
#include "measure/histogram.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "ui/form1.h"
#include "ui/qt_text.h"
#include "ui/statistics_histogram.h"

namespace kantrel::ui {

namespace {

constexpr std::string_view kNotANumber = "Not a number";
constexpr std::string_view kLowAboveHigh = "The low limit lies above the high limit";

QString LimitEntryText(const std::optional<double>& limit) {
    return limit ? Q(FormatLimit(*limit, regional().DecimalSeparator())) : QString();
}

} // namespace

StatisticsWindow::StatisticsWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(Translated("Statistics and limits"));
    CreateControls();
    ShowLimitSettings();
    resize(640, 680);
}

void StatisticsWindow::CreateControls() {
    LimitsOn = new QCheckBox(Translated("Limits on"), this);
    LimitsOn->setObjectName(QStringLiteral("LimitsOn"));
    LowLimit = new QLineEdit(this);
    LowLimit->setObjectName(QStringLiteral("LowLimit"));
    HighLimit = new QLineEdit(this);
    HighLimit->setObjectName(QStringLiteral("HighLimit"));
    LimitHint = new QLabel(this);
    LimitHint->setObjectName(QStringLiteral("LimitHint"));
    QPalette red = LimitHint->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    LimitHint->setPalette(red);

    auto* limits = new QHBoxLayout;
    limits->addWidget(LimitsOn);
    limits->addSpacing(12);
    limits->addWidget(new QLabel(Translated("Low limit"), this));
    limits->addWidget(LowLimit);
    limits->addWidget(new QLabel(Translated("High limit"), this));
    limits->addWidget(HighLimit);
    limits->addWidget(LimitHint, 1);

    Figures = new QTableWidget(this);
    Figures->setObjectName(QStringLiteral("Figures"));
    Figures->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Figures->setColumnCount(kValueColumns);
    Figures->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Figures->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    Histogram = new StatisticsHistogram(this);
    Histogram->setObjectName(QStringLiteral("Histogram"));
    Histogram->setMinimumHeight(200);

    Copy = new QPushButton(Translated("Copy"), this);
    Copy->setObjectName(QStringLiteral("Copy"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Copy);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(limits);
    layout->addWidget(Figures, 3);
    layout->addWidget(Histogram, 2);
    layout->addLayout(buttons);

    connect(LimitsOn, &QCheckBox::toggled, this,
            [this](bool checked) { TForm1::Safely([&] { LimitsOnClick(checked); }); });
    connect(LowLimit, &QLineEdit::editingFinished, this,
            [this] { TForm1::Safely([&] { LimitEntered(LowLimit, true); }); });
    connect(HighLimit, &QLineEdit::editingFinished, this,
            [this] { TForm1::Safely([&] { LimitEntered(HighLimit, false); }); });
    connect(Copy, &QPushButton::clicked, this, [this] { TForm1::Safely([&] { CopyClick(); }); });
}

QString StatisticsWindow::Translated(std::string_view text) {
    const QString key = Q(text);
    auto found = translations_.constFind(key);
    if (found == translations_.constEnd())
        found = translations_.insert(key, Q(Translate(text)));
    return *found;
}

void StatisticsWindow::ShowLimitSettings() {
    const QSignalBlocker quiet(LimitsOn);
    LimitsOn->setChecked(settings.LimitsOn);
    LowLimit->setText(LimitEntryText(settings.LimitLow));
    HighLimit->setText(LimitEntryText(settings.LimitHigh));
    const bool crossed = settings.LimitLow && settings.LimitHigh && *settings.LimitLow > *settings.LimitHigh;
    ShowHint(crossed ? kLowAboveHigh : std::string_view());
}

void StatisticsWindow::ShowHint(std::string_view text) {
    LimitHint->setText(text.empty() ? QString() : Translated(text));
}

void StatisticsWindow::LimitsOnClick(bool checked) {
    settings.LimitsOn = checked;
    if (const StoreResult stored = StoreSetting("LimitsOn", checked ? "1" : "0"); !stored)
        TForm1::ShowMessageBox(stored.error, kCaptionError);
    emit LimitsChanged();
}

void StatisticsWindow::LimitEntered(QLineEdit* edit, bool low) {
    std::optional<double>& limit = low ? settings.LimitLow : settings.LimitHigh;
    const std::optional<double>& other = low ? settings.LimitHigh : settings.LimitLow;
    const std::string text = Std(edit->text().trimmed());
    std::optional<double> entered;
    if (!text.empty()) {
        const std::string separator = regional().DecimalSeparator();
        // Where the comma is the decimal separator a point groups thousands: "1.000" must
        // not become a limit of 1.
        const bool pointGroupsThousands = separator != "." && text.find('.') != std::string::npos;
        if (!pointGroupsThousands)
            entered = ParseValueText(text, separator);
        if (!entered) {
            ShowHint(kNotANumber); // the entry stays for the operator to mend; nothing is stored
            return;
        }
        if (other && (low ? *entered > *other : *entered < *other)) {
            ShowHint(kLowAboveHigh);
            return;
        }
    }
    ShowHint({});
    edit->setText(LimitEntryText(entered));
    // The end of an entry is also signalled when the focus merely passes through.
    if (entered == limit)
        return;
    limit = entered;
    if (const StoreResult stored = StoreSetting(low ? "LimitLow" : "LimitHigh", LimitSettingText(entered));
        !stored)
        TForm1::ShowMessageBox(stored.error, kCaptionError);
    emit LimitsChanged();
}

void StatisticsWindow::ShowStatistics(const DataSetStatistics& statistics,
                                      const QStringList& columnCaptions) {
    const std::vector<StatisticsLine> lines = StatisticsLines(statistics, regional().DecimalSeparator());
    Figures->setRowCount(static_cast<int>(lines.size()));
    Figures->setHorizontalHeaderLabels(columnCaptions);
    QStringList captions;
    for (int row = 0; row < static_cast<int>(lines.size()); ++row) {
        const StatisticsLine& line = lines[static_cast<std::size_t>(row)];
        captions.append(Translated(line.caption));
        for (int c = 0; c < kValueColumns; ++c) {
            QTableWidgetItem* item = Figures->item(row, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                Figures->setItem(row, c, item);
            }
            item->setText(Q(line.cells[static_cast<std::size_t>(c)]));
        }
    }
    Figures->setVerticalHeaderLabels(captions);
    Histogram->SetTitles(columnCaptions.value(0), Translated("Count"));
    Histogram->Show(MakeHistogram(statistics.values), statistics.limits);
    ++updates_;
}

QString StatisticsWindow::ClipboardText() const {
    std::vector<std::string> lines;
    std::string header;
    for (int c = 0; c < Figures->columnCount(); ++c)
        header += '\t' + Std(Figures->horizontalHeaderItem(c) ? Figures->horizontalHeaderItem(c)->text()
                                                              : QString());
    lines.push_back(header);
    for (int row = 0; row < Figures->rowCount(); ++row) {
        std::string line = Std(Figures->verticalHeaderItem(row)->text());
        for (int c = 0; c < Figures->columnCount(); ++c)
            line += '\t' + Std(Figures->item(row, c)->text());
        lines.push_back(line);
    }
    return Q(JoinLinesCrLf(lines));
}

void StatisticsWindow::CopyClick() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        TForm1::ShowMessageBox("The statistics could not be placed on the clipboard.", kCaptionError);
        return;
    }
    clipboard->setText(ClipboardText());
}

} // namespace kantrel::ui
