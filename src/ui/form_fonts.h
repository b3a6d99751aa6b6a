#pragma once

// The window's two font families. Tahoma and Courier fall back to the system's sans and
// monospace fonts where they are not installed.

#include <QFont>
#include <QFontMetrics>
#include <QStringList>

namespace kantrel::ui {

inline QFont TahomaFont(int pixels) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

inline QFont CourierFont(int pixels, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Courier"), QStringLiteral("Courier New"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("Monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// Bold Courier for the large value labels, whose given size is the height of their line.
// The monospace fonts that stand in for Courier reach further above and below than their
// pixel size: at that size the label at the window's bottom edge would lose a decimal
// comma or a descender, so the largest size whose line fits is taken.
inline QFont CourierLineFont(int lineHeight) {
    QFont font = CourierFont(lineHeight, true);
    while (font.pixelSize() > 8 && QFontMetrics(font).height() > lineHeight)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

// Fonts that stand in for Tahoma run wider: a button whose caption would be cut gets a
// slightly smaller font, so that its caption stays whole at the fixed button size.
void FitCaption(class QAbstractButton* button);

} // namespace kantrel::ui
