#include "ui/report_content.h"

#include <QLabel>

#include "core/date_time.h"
#include "core/link_flags.h"
#include "core/ports.h"
#include "core/value_text.h"
#include "device/device_parameters.h"
#include "settings/language.h"
#include "ui/data_set_list.h"
#include "ui/data_sets_on_show.h"
#include "ui/form1.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

namespace {

QString Translated(std::string_view text) {
    return Q(Translate(text));
}

QString NowText() {
    const CivilDateTime now = DecodeDateTime(clock().Now());
    return Q(regional().FormatShortDate(now) + " " + regional().FormatLongTime(now));
}

// "100 ms" of the sample-rate item "100 ms |   10 Hz".
QString AveragingTime() {
    const int index = std::clamp(sampleRateIndex, 0, kSampleRateCount - 1);
    return QString::fromLatin1(kSampleRateItems[static_cast<std::size_t>(index)])
        .section(QLatin1Char('|'), 0, 0)
        .trimmed();
}

void AddFacts(ReportContent& report, const TForm1& form) {
    // The identity as the window shows it, with its captions.
    if (instrumentConnected.load() && IsComplete()) {
        for (const auto& [caption, value] :
             {std::pair{form.Label2, form.Label1}, std::pair{form.Label9, form.SerialDev},
              std::pair{form.Label11, form.SerialSens}, std::pair{form.Label4, form.NomVal}})
            report.facts.emplace_back(caption->text(), value->text());
    }
    report.facts.emplace_back(Translated("Averaging time:"), AveragingTime());
}

void AddStatistics(ReportContent& report, const TForm1& form, const DataSetStatistics& statistics) {
    report.statisticsHeading = Translated("Statistics");
    report.statisticsHeader = QStringList{QString()} + ValueColumnCaptions(form);
    for (const StatisticsLine& line : StatisticsLines(statistics, regional().DecimalSeparator())) {
        QStringList row{Translated(line.caption)};
        for (const std::string& cell : line.cells)
            row.append(Q(cell));
        report.statisticsRows.push_back(std::move(row));
    }
}

void AddDataSets(ReportContent& report, const TForm1& form, const std::optional<Limits>& limits) {
    report.dataSetHeading = Translated("Data sets");
    for (int column = 0; column < DataSetListModel::kColumns; ++column)
        report.dataSetHeader.append(form.listModel->Caption(column));
    if (limits)
        report.dataSetHeader.append(Translated("Verdict"));
    // Each verdict text is looked up once, not once per data set.
    QString verdictTexts[4];
    const std::string separator = regional().DecimalSeparator();
    DataSetsOnShow(*form.listModel).ForEach([&](const DataSetTexts& texts) {
        QStringList row;
        for (const std::string_view text : texts)
            row.append(Q(text).trimmed());
        if (limits) {
            const std::optional<double> value = ParseValueText(texts[kFirstValueText], separator);
            const Verdict verdict = value ? Judge(*value, *limits) : Verdict::Invalid;
            QString& text = verdictTexts[static_cast<int>(verdict)];
            if (text.isEmpty())
                text = Translated(VerdictText(verdict));
            row.append(text);
        }
        report.dataSetRows.push_back(std::move(row));
    });
}

} // namespace

QStringList ValueColumnCaptions(const TForm1& form) {
    QStringList captions;
    for (int c = 0; c < kValueColumns; ++c)
        captions.append(form.listModel->Caption(kFirstValueText + c));
    return captions;
}

ReportContent CollectReport(const TForm1& form, const DataSetStatistics& statistics) {
    ReportContent report;
    // As the window's caption names the program.
    report.title = QStringLiteral("KANTREL 731 USB (Version: ") + TForm1::GetVersionText() + QLatin1Char(')');
    report.createdAt = NowText();
    AddFacts(report, form);
    AddStatistics(report, form, statistics);
    AddDataSets(report, form, statistics.limits);
    return report;
}

} // namespace kantrel::ui
