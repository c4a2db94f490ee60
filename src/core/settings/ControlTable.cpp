#include "core/settings/ControlTable.h"

#include "core/settings/NumericText.h"
#include "core/settings/TextFile.h"

namespace {

float floatField(const QString &text, float fallback)
{
    double v = 0;
    if (NumericText::isNumeric(text, &v))
        return float(v);
    return fallback;
}

// The highest offset at which a value of this type still lies inside a block.
int maxOffset(ParamType type)
{
    return (type == ParamType::Word || type == ParamType::Int) ? SettingsImage::BlockSize - 2
                                                               : SettingsImage::BlockSize - 1;
}

constexpr int kMaxEvent = 64;

} // namespace

QString ControlTable::NextField(QString &line)
{
    const qsizetype pos = line.indexOf(QLatin1Char('~'));
    if (pos < 0) {
        QString field = line;
        line.clear();
        return field;
    }
    QString field = line.left(pos);
    line.remove(0, pos + 1);
    return field;
}

bool ControlTable::ParseControlTable(const QString &path, bool serviceMode, QString &errorText)
{
    QString text;
    if (!TextReader::openFile(path, text)) {
        // The caller checks existence first; an unreadable file parses as an empty table.
        TableEntries.clear();
        HiddenDefaults = SettingsImage();
        return true;
    }
    return ParseControlTableText(text, serviceMode, errorText);
}

bool ControlTable::ParseControlTableText(const QString &text, bool serviceMode, QString &errorText)
{
    HiddenDefaults.clearBlocks();
    TableEntries.clear();
    TextReader reader(text);
    QString line;
    QString error;

    while (error.isEmpty() && reader.readValue(line)) {
        const int n = int(TableEntries.size());
        const QString flag = NextField(line);
        const bool stored = flag == QLatin1String("1") || serviceMode;
        const QString prefix = QStringLiteral("Ошибочный параметр в строке ") + QString::number(n);
        const QString eventError = prefix + (stored ? QStringLiteral(",ожидалось число(номер события)")
                                                    : QStringLiteral(",ожидалось число"));
        const QString offsetError = prefix + (stored ? QStringLiteral(",ожидалось число (смещение)")
                                                     : QStringLiteral(",ожидалось число"));
        const QString lengthError = prefix + (stored ? QStringLiteral(",ожидалось число(длина параметра)")
                                                     : QStringLiteral(",ожидалось число"));

        TableEntry e;
        e.Visible = flag == QLatin1String("1");

        qint64 v = 0;
        const QString eventText = NextField(line);
        if (!NumericText::toInt(eventText, 0, kMaxEvent, v)) {
            error = eventError;
            break;
        }
        e.EventNo = qint16(v);

        const QString offsetText = NextField(line);
        qint64 offset = 0;
        if (!offsetText.isEmpty()) {
            if (!NumericText::isNumeric(offsetText)) {
                error = offsetError;
                break;
            }
            if (!NumericText::toInt(offsetText, -32768, 32767, offset))
                offset = -1; // numeric but far outside the block: refused below
        }

        e.GroupName = NextField(line).toUpper().left(60);
        e.Caption = NextField(line).left(128);
        e.HelpText = NextField(line);

        e.TypeName = NextField(line).trimmed().toUpper();
        e.Type = ParamTypes::fromName(e.TypeName);
        if (e.Type == ParamType::Unknown) {
            error = QStringLiteral("Ошибочный тип параметра в строке ") + QString::number(n)
                    + QStringLiteral(",тип параметра не определен");
            break;
        }

        const QString lengthText = NextField(line).trimmed().toUpper();
        qint64 length = 0;
        const bool lengthOk = NumericText::toInt(lengthText, -32768, 32767, length);
        if (!lengthOk && (e.Type == ParamType::Bit || e.Type == ParamType::String)) {
            error = lengthError;
            break;
        }
        e.Length = lengthOk ? qint16(length) : qint16(0);

        // Nothing may address bytes outside the first block.
        if (offset < 0 || offset > maxOffset(e.Type)) {
            error = offsetError;
            break;
        }
        e.Offset = qint16(offset);
        // A multi-bit field without mask bits has no value.
        if (e.Type == ParamType::MByte && (e.Length & 0xFF) == 0) {
            error = lengthError;
            break;
        }

        e.ParamCaption = NextField(line).left(128);
        e.MinValue = floatField(NextField(line), -100000.0f);
        e.MaxValue = floatField(NextField(line), 100000.0f);
        e.DefaultValue = floatField(NextField(line), 0.0f);
        e.SpareText = NextField(line).left(20);
        e.Units = NextField(line).left(20);

        if (stored) {
            e.Index = qint16(n);
            TableEntries.append(e);
        } else {
            ApplyHiddenDefault(e);
        }
    }

    if (!error.isEmpty()) {
        errorText += error + QStringLiteral("\r\n");
        return false;
    }
    return true;
}

void ControlTable::ApplyHiddenDefault(const TableEntry &entry)
{
    const double d = entry.DefaultValue;
    if (d == 0.0)
        return;
    const int o = entry.Offset;
    if (o < 0 || o >= SettingsImage::BlockSize)
        return;
    auto &b = HiddenDefaults.Block1;
    const qint64 r = NumericText::roundHalfEven(d);
    switch (entry.Type) {
    case ParamType::Bit:
        if (r == 1)
            b[o] |= quint8(entry.Length & 0xFF);
        break;
    case ParamType::Byte:
        if (d >= 0 && d <= 255)
            b[o] = quint8(r);
        break;
    case ParamType::Word:
        if (d > 0 && d <= 65535 && o + 1 < SettingsImage::BlockSize) {
            b[o] = quint8((r >> 8) & 0xFF);
            b[o + 1] = quint8(r & 0xFF);
        }
        break;
    case ParamType::SInt:
        if (d > -128 && d <= 127)
            b[o] = quint8(qint8(r));
        break;
    case ParamType::Int:
        if (d > -32768 && d <= 32767 && o + 1 < SettingsImage::BlockSize) {
            const quint16 u = quint16(qint16(r));
            b[o] = quint8(u >> 8);
            b[o + 1] = quint8(u & 0xFF);
        }
        break;
    default:
        break; // MBYTE, STRING and X lines carry no default
    }
}

int ControlTable::eventEnd(int first) const
{
    const int count = EntryCount();
    if (first < 0 || first >= count)
        return first;
    const qint16 e = TableEntries[first].EventNo;
    int j = first;
    while (j < count && TableEntries[j].EventNo == e)
        ++j;
    return j;
}
