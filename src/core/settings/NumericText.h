#pragma once

#include <QLocale>
#include <QString>

namespace NumericText {
// True when the whole text (spaces around allowed) is a finite decimal number,
// in plain notation with "." or the system locale's decimal separator.
bool isNumeric(const QString &text, double *value = nullptr);
// Same with an explicit second locale in place of the system's.
bool isNumericIn(const QString &text, const QLocale &locale, double *value = nullptr);
// Round to nearest, halves to even.
qint64 roundHalfEven(double value);
// Numeric text to an integer in [lo, hi]; false when not numeric or out of range.
bool toInt(const QString &text, qint64 lo, qint64 hi, qint64 &out);
} // namespace NumericText
