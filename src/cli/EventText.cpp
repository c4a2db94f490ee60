#include "cli/EventText.h"

#include "core/settings/EventMasks.h"
#include "core/settings/ValueTypes.h"

namespace EventText {

QString heading(const TableEntry &head)
{
    QString out = QStringLiteral("№") + QString::number(head.EventNo) + QLatin1Char(' ') + head.Caption.trimmed();
    if (!head.GroupName.trimmed().isEmpty())
        out += QStringLiteral("  [") + head.GroupName.trimmed() + QLatin1Char(']');
    return out;
}

QString flagName(int k)
{
    static const char16_t *names[] = {u"Журнал", u"Авто/GPRS", u"Тревога", u"Инфо"};
    return k >= 0 && k < 4 ? QString::fromUtf16(names[k]) : QString();
}

QString flagValue(const SettingsImage &image, int k, int event)
{
    if (!EventMasks::hasMaskBits(event))
        return QStringLiteral("--");
    return EventMasks::maskBit(image, k, event) ? QStringLiteral("ДА") : QStringLiteral("-");
}

QString outputMaskName(int column)
{
    static const char16_t *names[] = {u"Авто/GPRS", u"Тревога/Инфо", u"Инфо"};
    return column >= 0 && column < 3 ? QStringLiteral("Маска вывода ") + QString::fromUtf16(names[column]) : QString();
}

QString outputMaskValue(const SettingsImage &image, int column, int event)
{
    return QString::number(EventMasks::outputByte(image, column, event), 2).rightJustified(8, QLatin1Char('0'));
}

bool hasValue(const TableEntry &entry)
{
    return entry.TypeName.trimmed() != QLatin1String("X");
}

QString parameterValue(const TableEntry &entry, const SettingsImage &image)
{
    const QString type = entry.TypeName.trimmed();
    if (type == QLatin1String("BIT"))
        return ValueTypes::bitValue(entry, image) ? QStringLiteral("[x]") : QStringLiteral("[ ]");
    if (type == QLatin1String("STRING"))
        return QStringLiteral("(text, %1 characters)").arg(entry.Length);
    QString out = QString::number(ValueTypes::displayValue(entry, image));
    if (!entry.Units.trimmed().isEmpty())
        out += QLatin1Char(' ') + entry.Units.trimmed();
    return out;
}

} // namespace EventText
