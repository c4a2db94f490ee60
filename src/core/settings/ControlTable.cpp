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

// Bytes a value of this type occupies in the image; 0 for types that store nothing.
int valueBytes(ParamType type)
{
    switch (type) {
    case ParamType::Word:
    case ParamType::Int:
        return 2;
    case ParamType::String:
    case ParamType::X:
    case ParamType::Unknown:
        return 0;
    default:
        return 1;
    }
}

// A data file holds block positions 1..128: a value outside them would be dropped by every save.
bool offsetFitsFile(ParamType type, qint64 offset)
{
    const int bytes = valueBytes(type);
    if (bytes == 0)
        return offset >= 0 && offset < SettingsImage::BlockSize; // stores nothing, but must not point out
    return offset >= 1 && offset + bytes - 1 <= SettingsImage::LastFilePosition;
}

// Event 64 would keep its output masks at positions 129 and 130, which no data file holds.
constexpr int kMaxEvent = 63;

// Error texts of line n: a stored line names the field that failed.
struct LineErrors
{
    QString event;
    QString offset;
    QString length;
};

LineErrors lineErrors(int n, bool stored)
{
    const QString prefix = QStringLiteral("Ошибочный параметр в строке ") + QString::number(n);
    const QString plain = QStringLiteral(",ожидалось число");
    return {prefix + (stored ? QStringLiteral(",ожидалось число(номер события)") : plain),
            prefix + (stored ? QStringLiteral(",ожидалось число (смещение)") : plain),
            prefix + (stored ? QStringLiteral(",ожидалось число(длина параметра)") : plain)};
}

// The fields after the type and length: caption, limits, default, spare text, units.
void readTail(QString &line, TableEntry &e)
{
    e.ParamCaption = ControlTable::NextField(line).left(128);
    e.MinValue = floatField(ControlTable::NextField(line), -100000.0f);
    e.MaxValue = floatField(ControlTable::NextField(line), 100000.0f);
    e.DefaultValue = floatField(ControlTable::NextField(line), 0.0f);
    e.SpareText = ControlTable::NextField(line).left(20);
    e.Units = ControlTable::NextField(line).left(20);
}

// Reads table line n into e; stored tells whether it becomes an entry or a hidden default.
// Returns the error text, empty for a good line.
QString readEntry(QString line, int n, bool serviceMode, TableEntry &e, bool &stored)
{
    const QString flag = ControlTable::NextField(line);
    e.Visible = flag == QLatin1String("1");
    stored = e.Visible || serviceMode;
    const LineErrors errors = lineErrors(n, stored);

    const QString number = QStringLiteral(" в строке ") + QString::number(n);
    qint64 v = 0;
    const QString eventText = ControlTable::NextField(line);
    if (!NumericText::isNumeric(eventText))
        return errors.event;
    if (!NumericText::toInt(eventText, 0, kMaxEvent, v))
        return QStringLiteral("Ошибочный номер события") + number;
    e.EventNo = qint16(v);

    const QString offsetText = ControlTable::NextField(line);
    qint64 offset = 0;
    if (!offsetText.isEmpty()) {
        if (!NumericText::isNumeric(offsetText))
            return errors.offset;
        if (!NumericText::toInt(offsetText, -32768, 32767, offset))
            offset = -1; // numeric but far outside the file: refused below
    }

    e.GroupName = ControlTable::NextField(line).toUpper().left(60);
    e.Caption = ControlTable::NextField(line).left(128);
    e.HelpText = ControlTable::NextField(line);

    e.TypeName = ControlTable::NextField(line).trimmed().toUpper();
    e.Type = ParamTypes::fromName(e.TypeName);
    if (e.Type == ParamType::Unknown)
        return QStringLiteral("Ошибочный тип параметра в строке ") + QString::number(n)
               + QStringLiteral(",тип параметра не определен");

    qint64 length = 0;
    const bool lengthOk = NumericText::toInt(ControlTable::NextField(line).trimmed().toUpper(), -32768, 32767, length);
    if (!lengthOk && (e.Type == ParamType::Bit || e.Type == ParamType::String))
        return errors.length;
    e.Length = lengthOk ? qint16(length) : qint16(0);

    if (!offsetFitsFile(e.Type, offset))
        return QStringLiteral("Ошибочное смещение") + number;
    e.Offset = qint16(offset);
    // A mask lies within its one byte, and a field without mask bits has no value.
    if ((e.Type == ParamType::MByte || e.Type == ParamType::Bit) && (e.Length < 1 || e.Length > 0xFF))
        return QStringLiteral("Ошибочная маска") + number;

    readTail(line, e);
    return QString();
}

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

QString ControlTable::unreadableError()
{
    return QStringLiteral("Не удалось прочитать файл управляющей таблицы");
}

QString ControlTable::noEntriesError()
{
    return QStringLiteral("В управляющей таблице нет ни одной записи");
}

bool ControlTable::ParseControlTable(const QString &path, bool serviceMode, QString &errorText)
{
    QString text;
    if (!TextReader::openFile(path, text)) {
        TableEntries.clear();
        HiddenDefaults = SettingsImage();
        errorText += unreadableError() + QStringLiteral("\r\n");
        return false;
    }
    if (!ParseControlTableText(text, serviceMode, errorText))
        return false;
    // A table without entries gives an empty grid and nothing to edit.
    if (TableEntries.isEmpty()) {
        errorText += noEntriesError() + QStringLiteral("\r\n");
        return false;
    }
    return true;
}

bool ControlTable::ParseControlTableText(const QString &text, bool serviceMode, QString &errorText)
{
    HiddenDefaults.clearBlocks();
    TableEntries.clear();
    // A quoted value runs to the next quote: a stray quote at the start of a line would swallow the
    // rest of the table into one entry and the table would seem short but sound.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1Char('"')) && line.count(QLatin1Char('"')) % 2 != 0) {
            errorText += QStringLiteral("Незакрытая кавычка в строке ") + QString::number(i + 1) + QStringLiteral("\r\n");
            return false;
        }
    }
    TextReader reader(text);
    QString line;
    while (reader.readValue(line)) {
        const int n = int(TableEntries.size());
        TableEntry e;
        bool stored = false;
        const QString error = readEntry(line, n, serviceMode, e, stored);
        if (!error.isEmpty()) {
            errorText += error + QStringLiteral("\r\n");
            return false;
        }
        if (stored) {
            e.Index = n;
            TableEntries.append(e);
        } else {
            ApplyHiddenDefault(e);
        }
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
