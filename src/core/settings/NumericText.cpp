#include "core/settings/NumericText.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace NumericText {

static bool parseWith(const QLocale &locale, const QString &text, double &out)
{
    QLocale l(locale);
    l.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = l.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool isNumeric(const QString &text, double *value)
{
    return isNumericIn(text, QLocale::system(), value);
}

bool isNumericIn(const QString &text, const QLocale &locale, double *value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // Qt's parser also takes "inf" and "nan"; they are not numbers for the operator.
    for (QChar c : t) {
        if (c.isLetter() && c != QLatin1Char('e') && c != QLatin1Char('E'))
            return false;
    }
    double v = 0;
    if (!parseWith(QLocale::c(), t, v) && !parseWith(locale, t, v))
        return false;
    if (value)
        *value = v;
    return true;
}

qint64 roundHalfEven(double value)
{
    const double r = std::nearbyint(value); // default rounding mode: to nearest, ties to even
    if (r >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (r <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(r);
}

bool toInt(const QString &text, qint64 lo, qint64 hi, qint64 &out)
{
    double v = 0;
    if (!isNumeric(text, &v))
        return false;
    const double r = std::nearbyint(v);
    if (r < double(lo) || r > double(hi))
        return false;
    out = static_cast<qint64>(r);
    return true;
}

} // namespace NumericText
