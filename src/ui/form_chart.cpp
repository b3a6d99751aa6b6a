// TForm1: the chart's series sets and modes, the five series check boxes with their
// value labels, ZOOM ALL and the plotting of a listed data set.

#include <QCheckBox>
#include <QLabel>
#include <QLocale>

#include "core/value_text.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "ui/data_set_chart.h"
#include "ui/form1.h"
#include "ui/number_pattern.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

namespace {

// The grouping separator of the locale; never the same as the decimal separator.
QString GroupSeparatorBeside(const QString& decimalSeparator) {
    QString group = QLocale::system().groupSeparator();
    if (group.isEmpty() || group == decimalSeparator)
        group = decimalSeparator == QLatin1String(",") ? QStringLiteral(".") : QStringLiteral(",");
    return group;
}

} // namespace

void TForm1::InitSeriesType() {
    const QString decimal = Q(regional().DecimalSeparator());
    Chart1->SetSeparators(decimal, GroupSeparatorBeside(decimal));
    Chart1->InitSeriesType(settings.graficMode);
}

void TForm1::setXAxis() {
    Chart1->SetXAxis(settings.graficMode);
}

void TForm1::ButtonZoomClick() {
    Chart1->ZoomAll();
}

void TForm1::RadioGroupGraficModeClick(int index) {
    if (!startupDone)
        return;
    settings.graficMode = index;
    if (const StoreResult stored = StoreSetting("graficMode", std::to_string(index)); !stored)
        ShowMessageBox(stored.error, kCaptionError); // the mode changes anyway
    InitSeriesType();
    setXAxis();
}

void TForm1::StoreSeriesCheckBox(int slot, const char* key, bool& setting) {
    if (!startupDone)
        return;
    const bool checked = IsSeriesChecked(slot);
    if (const StoreResult stored = StoreSetting(key, checked ? "1" : "0"); !stored) {
        ShowMessageBox(stored.error, kCaptionError);
        return;
    }
    setting = checked;
    SeriesValueLabel(slot)->setVisible(checked);
}

void TForm1::CheckBPeak1msUpClick() {
    StoreSeriesCheckBox(kSlotMax, "showPeakUp", settings.showPeakUp);
}
void TForm1::CheckBPeakfilteredUpClick() {
    StoreSeriesCheckBox(kSlotMaxAvr, "showPeakUpFiltered", settings.showPeakUpFiltered);
}
void TForm1::CheckBoxMeanClick() {
    StoreSeriesCheckBox(kSlotValue, "showMean", settings.showMean);
}
void TForm1::CheckBPeakfilteredDnClick() {
    StoreSeriesCheckBox(kSlotMinAvr, "showPeakDnFiltered", settings.showPeakDnFiltered);
}
void TForm1::CheckBPeak1msLoClick() {
    StoreSeriesCheckBox(kSlotMin, "showPeakDn", settings.showPeakDn);
}

void TForm1::PlotDataSet(int line, int row) {
    if (!measData)
        return;
    const TMeasData& store = *measData;
    const double elapsed = (store.GetRowTimestamp(row) - firstDataSetTime) * 86400.0;
    const double x = settings.graficMode == 0 ? line + 1.0 : elapsed;
    const std::string texts[kSeriesSlots] = {store.GetRowMean(row), store.GetRowMin(row),
                                             store.GetRowMax(row), store.GetRowMinAvr(row),
                                             store.GetRowMaxAvr(row)};
    const std::string separator = regional().DecimalSeparator();
    for (int slot = 0; slot < kSeriesSlots; ++slot) {
        if (!IsSeriesChecked(slot))
            continue;
        // A text that shows no finite number (a hand-edited file) gives no point.
        if (const auto y = ParseValueText(texts[slot], separator))
            Chart1->AddPoint(slot, x, *y);
    }
}

} // namespace kantrel::ui
