// SPDX-License-Identifier: GPL-3.0-or-later
// The program's texts are UTF-8 std::strings; Qt's are QStrings. Every window and Qt
// implementation converts through these, so text crosses the boundary one way only.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace platform {

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// A text whose lines end in CR LF (or a lone CR), with the line feeds Qt shows.
inline QString ToQtLines(std::string_view text) {
    QString lines = ToQString(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

}  // namespace platform
