#pragma once

#include <QPoint>
#include <QString>

// Value types that settings hold and the preferences store keeps.

// A colour laid out as 00BBGGRR (red in the low byte), or a system-colour code
// (high byte 0x80 or above).
using TColor = qint32;

// A rectangle by its four edges; Right and Bottom are the first pixel outside.
struct TRect {
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Right = 0;
    qint32 Bottom = 0;
    bool operator==(const TRect&) const = default;
};

using TPoint = QPoint;

// A font as the program describes and stores it.
struct TFontValue {
    qint32 Charset = 1; // the platform's "default charset"
    TColor Color = 0;
    QString Name = QStringLiteral("Segoe UI");
    qint32 Pitch = 0; // 0 default, 1 variable, 2 fixed
    qint32 PixelsPerInch = 96;
    qint32 Size = 9; // points
    bool Bold = false;
    bool Italic = false;
    bool StrikeOut = false;
    bool Underline = false;
    bool operator==(const TFontValue&) const = default;
};
