#include "statistics_fixture.h"

#include <QLineEdit>
#include <QTableWidget>

#include "settings/settings.h"
#include "ui/data_set_list.h"
#include "ui/statistics_feature.h"

namespace kantrel::test {

void StatisticsFixture::ShowValues(const std::vector<std::string>& valueTexts) {
    int number = 0;
    for (const std::string& text : valueTexts) {
        const QString value = QString::fromStdString(text);
        ++number;
        form->listModel->AppendLine({QString::number(number), QStringLiteral("09.12.2025"),
                                     QStringLiteral("12:00:%1").arg(number % 60, 2, 10, QLatin1Char('0')),
                                     QStringLiteral("000"), value, value, value, value, value});
    }
}

void StatisticsFixture::SetLimits(std::optional<double> low, std::optional<double> high, bool on) {
    settings.LimitsOn = on;
    settings.LimitLow = low;
    settings.LimitHigh = high;
}

ui::StatisticsWindow& StatisticsFixture::OpenStatistics() {
    form->statistics->OpenStatistics();
    return Window();
}

ui::StatisticsWindow& StatisticsFixture::Window() const {
    ui::StatisticsWindow* window = form->statistics->Window();
    if (!window)
        throw std::logic_error("the statistics window is not open");
    return *window;
}

std::optional<QString> StatisticsFixture::Figure(const char* caption, int column) const {
    const QTableWidget& figures = *Window().Figures;
    for (int row = 0; row < figures.rowCount(); ++row) {
        if (figures.verticalHeaderItem(row)->text() == QLatin1String(caption))
            return figures.item(row, column)->text();
    }
    return std::nullopt;
}

void StatisticsFixture::EnterLimit(bool low, const QString& text) {
    QLineEdit* edit = low ? Window().LowLimit : Window().HighLimit;
    edit->setText(text);
    emit edit->editingFinished();
}

} // namespace kantrel::test
