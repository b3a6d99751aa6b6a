#pragma once

// What the report of the data sets holds, as the texts it prints: the program and its
// version, the date and time, the instrument (when one is connected), the averaging time,
// the figures of the statistics with the limits, and the data sets with their verdict
// while limits are in effect.

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "measure/data_set_statistics.h"

namespace kantrel::ui {

class TForm1;

struct ReportContent {
    QString title;
    QString createdAt;
    std::vector<std::pair<QString, QString>> facts; // caption, text
    QString statisticsHeading;
    QStringList statisticsHeader; // an empty caption, then the value columns
    std::vector<QStringList> statisticsRows;
    QString dataSetHeading;
    QStringList dataSetHeader; // the list's captions (and "Verdict")
    std::vector<QStringList> dataSetRows;
};

ReportContent CollectReport(const TForm1& form, const DataSetStatistics& statistics);

// The captions of the list's five value columns.
QStringList ValueColumnCaptions(const TForm1& form);

} // namespace kantrel::ui
