#include "ui/limit_marks.h"

#include <QLabel>
#include <QTreeView>

#include "core/ports.h"
#include "core/value_text.h"
#include "measure/data_set_statistics.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "ui/data_set_chart.h"
#include "ui/data_sets_on_show.h"
#include "ui/form1.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

namespace {

const QColor kOutsideColour(Qt::red);
const QColor kLimitLineColour(200, 0, 0);

bool LiesOutside(std::string_view valueText, const Limits& limits, const std::string& separator) {
    const std::optional<double> value = ParseValueText(valueText, separator);
    if (!value)
        return false;
    const Verdict verdict = Judge(*value, limits);
    return verdict == Verdict::Low || verdict == Verdict::High;
}

bool SameLimits(const std::optional<Limits>& a, const std::optional<Limits>& b) {
    return a.has_value() == b.has_value() && (!a || (a->low == b->low && a->high == b->high));
}

} // namespace

void OutsideLinesDelegate::SetLimits(const std::optional<Limits>& limits, std::string decimalSeparator) {
    limits_ = limits;
    separator_ = std::move(decimalSeparator);
}

bool OutsideLinesDelegate::IsOutside(const QModelIndex& index) const {
    if (!limits_ || !index.isValid())
        return false;
    const QModelIndex number = index.siblingAtColumn(0);
    if (number.data().toString().isEmpty())
        return false; // a blank line
    return LiesOutside(Std(index.siblingAtColumn(kFirstValueText).data().toString()), *limits_, separator_);
}

void OutsideLinesDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (IsOutside(index)) {
        option->palette.setColor(QPalette::Text, kOutsideColour);
        option->palette.setColor(QPalette::HighlightedText, kOutsideColour);
    }
}

LimitMarks::LimitMarks(TForm1& form) : form_(form), delegate_(new OutsideLinesDelegate(form.ListView1)) {
    form_.ListView1->setItemDelegate(delegate_);
}

LimitMarks::~LimitMarks() {
    SetLiveValueRed(false);
}

void LimitMarks::Sync() {
    const std::optional<Limits> limits = LimitsInEffect(settings);
    if (SameLimits(limits, shown_))
        return;
    shown_ = limits;
    delegate_->SetLimits(limits, regional().DecimalSeparator());
    form_.ListView1->viewport()->update();
    DrawChartLines();
    ShowLiveValue();
}

void LimitMarks::DrawChartLines() {
    DataSetChart& chart = *form_.Chart1;
    const std::optional<double> levels[] = {shown_ ? shown_->low : std::nullopt,
                                            shown_ ? shown_->high : std::nullopt};
    for (std::size_t i = 0; i < chartLines_.size(); ++i) {
        QCPItemStraightLine*& line = chartLines_[i];
        if (!levels[i]) {
            if (line)
                chart.removeItem(line);
            line = nullptr;
            continue;
        }
        if (!line) {
            line = new QCPItemStraightLine(&chart);
            line->setPen(QPen(kLimitLineColour, 1.5, Qt::DashLine));
            line->setSelectable(false);
        }
        // Two points at the level make a line across the whole width.
        line->point1->setCoords(0.0, *levels[i]);
        line->point2->setCoords(1.0, *levels[i]);
    }
    chart.ScheduleReplot();
}

void LimitMarks::ShowLiveValue() {
    SetLiveValueRed(shown_ && measData &&
                    LiesOutside(measData->GetMeanText(), *shown_, regional().DecimalSeparator()));
}

void LimitMarks::SetLiveValueRed(bool red) {
    if (red == liveValueRed_)
        return;
    QLabel& label = *form_.meas300;
    if (red) {
        liveValueOwnPalette_ = label.testAttribute(Qt::WA_SetPalette);
        liveValuePalette_ = label.palette();
        QPalette palette = liveValuePalette_;
        palette.setColor(QPalette::WindowText, kOutsideColour);
        label.setPalette(palette);
    } else {
        // A label without a palette of its own goes back to following its window.
        label.setPalette(liveValueOwnPalette_ ? liveValuePalette_ : QPalette());
    }
    liveValueRed_ = red;
}

} // namespace kantrel::ui
