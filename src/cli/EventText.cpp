#include "cli/EventText.h"

#include "core/settings/EventMasks.h"
#include "core/settings/ValueTypes.h"

namespace EventText {

QString field(const QString &label, const QString &value)
{
    return label + QStringLiteral(": ") + value;
}

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

QString flagsLine(const SettingsImage &image, int event)
{
    QString line = QStringLiteral("   ");
    for (int k = 0; k < 4; ++k)
        line += QLatin1Char(' ') + field(flagName(k), flagValue(image, k, event));
    return line;
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
    return entry.Type != ParamType::X;
}

QString parameterValue(const TableEntry &entry, const SettingsImage &image)
{
    if (entry.Type == ParamType::Bit)
        return ValueTypes::bitValue(entry, image) ? QStringLiteral("[x]") : QStringLiteral("[ ]");
    QString out = entry.Type == ParamType::String ? QStringLiteral("(text, %1 characters)").arg(entry.Length)
                                                  : QString::number(ValueTypes::displayValue(entry, image));
    if (!entry.Units.trimmed().isEmpty())
        out += QLatin1Char(' ') + entry.Units.trimmed();
    return out;
}

QString parameterLine(const TableEntry &entry, const QString &value)
{
    return QStringLiteral("    ") + entry.ParamCaption.trimmed() + QStringLiteral(" = ") + value;
}

} // namespace EventText
