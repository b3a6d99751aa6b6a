#include "ui/report_pdf.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPdfWriter>
#include <algorithm>
#include <numeric>
#include <qcustomplot.h>

#include "ui/report_content.h"

namespace kantrel::ui {

namespace {

constexpr double kMarginMm = 15.0;
constexpr double kChartShareOfPage = 0.4; // the chart takes at most this part of a page's height
constexpr int kCellPadding = 4;
constexpr int kMeasuredRows = 500; // column widths come from this many rows spread over the table

QFont ReportFont(double points, bool bold = false) {
    QFont font = QGuiApplication::font();
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Lays the report out from the top of the first page downwards and starts a new page
// whenever the next piece would run into the footer.
class ReportPainter {
public:
    ReportPainter(QPdfWriter& writer, QCPPainter& painter)
        : writer_(writer), painter_(painter), footerFont_(ReportFont(7)) {
        const QRect paint = writer.pageLayout().paintRectPixels(writer.resolution());
        const int footer = LineHeight(footerFont_) * 2;
        area_ = QRect(0, 0, paint.width(), paint.height() - footer);
    }

    void Text(const QString& text, const QFont& font) {
        const int height = LineHeight(font);
        MakeRoom(height);
        painter_.setFont(font);
        painter_.drawText(QRect(area_.left(), y_, area_.width(), height), Qt::AlignLeft | Qt::AlignVCenter,
                          text);
        y_ += height;
    }

    void Space(const QFont& font) { y_ += LineHeight(font) / 2; }

    // Two columns: captions, then their texts.
    void Facts(const std::vector<std::pair<QString, QString>>& facts, const QFont& font) {
        const QFontMetrics metrics(font, &writer_);
        int captionWidth = 0;
        for (const auto& fact : facts)
            captionWidth = std::max(captionWidth, metrics.horizontalAdvance(fact.first));
        const int height = LineHeight(font);
        painter_.setFont(font);
        for (const auto& [caption, text] : facts) {
            MakeRoom(height);
            painter_.drawText(QRect(area_.left(), y_, captionWidth, height), Qt::AlignLeft | Qt::AlignVCenter,
                              caption);
            painter_.drawText(
                QRect(area_.left() + captionWidth + 2 * kCellPadding, y_, area_.width(), height),
                Qt::AlignLeft | Qt::AlignVCenter, text);
            y_ += height;
        }
    }

    // The chart as it is shown, scaled to the width of the page, as vector graphics.
    void Chart(QCustomPlot& chart) {
        if (chart.width() <= 0 || chart.height() <= 0)
            return;
        const double scale = std::min(static_cast<double>(area_.width()) / chart.width(),
                                      area_.height() * kChartShareOfPage / chart.height());
        MakeRoom(static_cast<int>(chart.height() * scale) + 1);
        painter_.save();
        painter_.translate(area_.left(), y_);
        painter_.scale(scale, scale);
        chart.toPainter(&painter_, chart.width(), chart.height());
        painter_.restore();
        y_ += static_cast<int>(chart.height() * scale) + 1;
    }

    // A table whose header is drawn again at the top of every page it continues on. The
    // first column is left-aligned, the others (numbers) right-aligned.
    void Table(const QStringList& header, const std::vector<QStringList>& rows, const QFont& font) {
        const QFont headerFont = ReportFont(font.pointSizeF(), true);
        const std::vector<int> widths = ColumnWidths(header, rows, font, headerFont);
        const int height = LineHeight(font);
        const auto drawHeader = [&] {
            DrawRow(header, widths, headerFont, height);
            painter_.drawLine(QLineF(area_.left(), y_, area_.left() + area_.width(), y_));
        };
        MakeRoom(2 * height);
        drawHeader();
        for (const QStringList& row : rows) {
            if (MakeRoom(height))
                drawHeader();
            DrawRow(row, widths, font, height);
        }
    }

    void Finish() { Footer(); }

private:
    int LineHeight(const QFont& font) const { return QFontMetrics(font, &writer_).height() * 13 / 10; }

    // True when a new page had to begin.
    bool MakeRoom(int height) {
        if (y_ + height <= area_.bottom() || y_ == area_.top())
            return false;
        Footer();
        writer_.newPage();
        ++page_;
        y_ = area_.top();
        return true;
    }

    void Footer() {
        painter_.setFont(footerFont_);
        const int height = LineHeight(footerFont_);
        painter_.drawText(QRect(area_.left(), area_.bottom() + height, area_.width(), height),
                          Qt::AlignRight | Qt::AlignVCenter, QString::number(page_));
    }

    std::vector<int> ColumnWidths(const QStringList& header, const std::vector<QStringList>& rows,
                                  const QFont& font, const QFont& headerFont) const {
        const QFontMetrics metrics(font, &writer_);
        const QFontMetrics headerMetrics(headerFont, &writer_);
        std::vector<int> widths(static_cast<std::size_t>(header.size()), 0);
        const auto widen = [&](const QStringList& cells, const QFontMetrics& m) {
            for (int c = 0; c < std::min<int>(cells.size(), header.size()); ++c)
                widths[static_cast<std::size_t>(c)] = std::max(
                    widths[static_cast<std::size_t>(c)], m.horizontalAdvance(cells[c]) + 2 * kCellPadding);
        };
        widen(header, headerMetrics);
        const std::size_t step = std::max<std::size_t>(1, rows.size() / kMeasuredRows);
        for (std::size_t r = 0; r < rows.size(); r += step)
            widen(rows[r], metrics);
        if (!rows.empty())
            widen(rows.back(), metrics);
        // Too wide for the page: every column gives up the same share.
        const int total = std::accumulate(widths.begin(), widths.end(), 0);
        if (total > area_.width()) {
            for (int& w : widths)
                w = w * area_.width() / total;
        }
        return widths;
    }

    void DrawRow(const QStringList& cells, const std::vector<int>& widths, const QFont& font, int height) {
        painter_.setFont(font);
        int x = area_.left();
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const QRect cell(x + kCellPadding, y_, widths[c] - 2 * kCellPadding, height);
            const Qt::Alignment align = c == 0 ? Qt::AlignLeft : Qt::AlignRight;
            painter_.drawText(cell, static_cast<int>(align | Qt::AlignVCenter),
                              static_cast<int>(c) < cells.size() ? cells[static_cast<int>(c)] : QString());
            x += widths[c];
        }
        y_ += height;
    }

    QPdfWriter& writer_;
    QCPPainter& painter_;
    QFont footerFont_;
    QRect area_;
    int y_ = 0;
    int page_ = 1;
};

} // namespace

bool WriteReportPdf(const QString& path, const ReportContent& content, QCustomPlot& chart) {
    QPdfWriter writer(path);
    writer.setTitle(content.title);
    writer.setCreator(content.title);
    // The chart's fonts and lines are laid out for the screen: the page counts in the
    // same units, so that the chart keeps its proportions.
    writer.setResolution(chart.logicalDpiX());
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    QCPPainter painter;
    if (!painter.begin(&writer))
        return false;
    painter.setMode(QCPPainter::pmVectorized);

    ReportPainter report(writer, painter);
    const QFont text = ReportFont(9);
    const QFont heading = ReportFont(11, true);
    report.Text(content.title, ReportFont(14, true));
    report.Text(content.createdAt, text);
    report.Space(text);
    report.Facts(content.facts, text);
    report.Space(text);
    report.Chart(chart);
    report.Space(text);
    report.Text(content.statisticsHeading, heading);
    report.Table(content.statisticsHeader, content.statisticsRows, text);
    report.Space(text);
    report.Text(content.dataSetHeading, heading);
    report.Table(content.dataSetHeader, content.dataSetRows, ReportFont(7.5));
    report.Finish();
    const bool ended = painter.end();
    return ended && QFileInfo(path).size() > 0;
}

} // namespace kantrel::ui
