#pragma once

// The report as a PDF file: A4 upright, the chart drawn as vector graphics as it is shown,
// the figures, and the data sets as a table over as many pages as they need, its header
// repeated on every page.

#include <QString>

class QCustomPlot;

namespace kantrel::ui {

struct ReportContent;

// False when the file cannot be written.
bool WriteReportPdf(const QString& path, const ReportContent& content, QCustomPlot& chart);

} // namespace kantrel::ui
