#include "ui/pattern_ticker.h"

#include <cmath>

#include "ui/qt_text.h"

namespace kantrel::ui {

void PatternTicker::SetPattern(const QString& pattern) {
    patternText_ = pattern;
    pattern_ = ParseNumberPattern(Std(pattern));
}

void PatternTicker::SetSeparators(const QString& decimalSeparator, const QString& groupSeparator) {
    decimalSeparator_ = Std(decimalSeparator);
    groupSeparator_ = Std(groupSeparator);
}

QString PatternTicker::Label(double value) const {
    return Q(FormatWithPattern(value, pattern_, decimalSeparator_, groupSeparator_));
}

double StepAtLeast(double step, double labelStep) {
    if (!(labelStep > 0) || !std::isfinite(step))
        return step;
    if (step <= labelStep)
        return labelStep;
    const double ratio = step / labelStep;
    const double magnitude = std::pow(10.0, std::floor(std::log10(ratio)));
    for (double mantissa : {1.0, 2.0, 5.0, 10.0}) {
        if (mantissa * magnitude >= ratio * (1 - 1e-9))
            return labelStep * mantissa * magnitude;
    }
    return labelStep * 10 * magnitude;
}

double PatternTicker::getTickStep(const QCPRange& range) {
    return StepAtLeast(QCPAxisTicker::getTickStep(range), labelStep_);
}

QString PatternTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    // Ticks are sums of steps: a value a hair off zero must not print as "-0".
    if (std::fabs(tick) < 1e-12)
        tick = 0.0;
    return Label(tick);
}

} // namespace kantrel::ui
