#pragma once
// Text between the program (UTF-8 std::string) and Qt (QString).

#include <QString>

#include <string>
#include <string_view>

namespace rk::ui {

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQString(const QString& text) {
    return text.toStdString();
}

} // namespace rk::ui
