#pragma once

// Texts cross between the core (UTF-8 std::string) and Qt (QString) here.

#include <QString>
#include <string>
#include <string_view>

namespace kantrel::ui {

inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string Std(const QString& text) {
    return text.toStdString();
}

} // namespace kantrel::ui
