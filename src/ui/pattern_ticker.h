#pragma once

// Axis labels from a number pattern (number_pattern.h) with the locale's separators,
// never closer together than a given label step.

#include <qcustomplot.h>

#include "ui/number_pattern.h"

namespace kantrel::ui {

class PatternTicker : public QCPAxisTicker {
public:
    void SetPattern(const QString& pattern);
    QString Pattern() const { return patternText_; }
    // The smallest distance between two neighbouring labels; 0 = no limit.
    void SetLabelStep(double step) { labelStep_ = step; }
    double LabelStep() const { return labelStep_; }
    void SetSeparators(const QString& decimalSeparator, const QString& groupSeparator);

    QString Label(double value) const;

protected:
    double getTickStep(const QCPRange& range) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;

private:
    QString patternText_ = QStringLiteral("0");
    NumberPattern pattern_ = ParseNumberPattern("0");
    double labelStep_ = 0.0;
    std::string decimalSeparator_ = ".";
    std::string groupSeparator_ = ",";
};

// Rounds a step up to the label step times 1, 2 or 5 times a power of ten.
double StepAtLeast(double step, double labelStep);

} // namespace kantrel::ui
