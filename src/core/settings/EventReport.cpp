#include "core/settings/EventReport.h"

#include "core/settings/EventMasks.h"
#include "core/common/FileIo.h"
#include "core/settings/TextFile.h"
#include "core/settings/ValueTypes.h"

namespace EventReport {

namespace {

// Table texts may hold markup characters; the report must stay well-formed. XML has no way at all to
// carry the control characters other than tab, not even as references: they are left out. So are
// the C1 controls, where code page 1251 has its one hole (0x98, which no reader can decode), and a
// character that did not decode.
QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == QLatin1Char('\t'))
            out += QStringLiteral("&#9;");
        else if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F) || c.unicode() == 0xFFFD
                 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            continue;
        else if (c == QLatin1Char('&'))
            out += QStringLiteral("&amp;");
        else if (c == QLatin1Char('<'))
            out += QStringLiteral("&lt;");
        else if (c == QLatin1Char('>'))
            out += QStringLiteral("&gt;");
        else
            out += c;
    }
    return out;
}

QString flagLine(const char *tag, bool on)
{
    const QString t = QLatin1String(tag);
    return QStringLiteral("     <") + t + QLatin1Char('>') + (on ? QStringLiteral("ДА") : QStringLiteral("--"))
           + QStringLiteral("</") + t + QLatin1Char('>');
}

} // namespace

QString parameterText(const ControlTable &table, int first, const SettingsImage &image)
{
    QString text;
    const int end = table.eventEnd(first);
    for (int j = first; j < end; ++j) {
        const TableEntry &e = table.TableEntries[j];
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        if (ParamTypes::isNumeric(e.Type))
            text += QString::number(ValueTypes::displayValue(e, image));
        if (e.Type != ParamType::Bit && e.Type != ParamType::X)
            text += escaped(e.Units.trimmed());
    }
    return text;
}

QByteArray build(const ControlTable &table, const SettingsImage &image)
{
    QString out;
    const QString crlf = QStringLiteral("\r\n");
    out += QStringLiteral("<?xml version=\"1.0\" encoding=\"WINDOWS-1251\"?> \r\n"
                          "<?xml-stylesheet type='text/xsl' href='Rep03-1.xsl'?>\r\n<tutorial>")
           + crlf;
    int previous = -1;
    for (int i = 0; i < table.EntryCount(); ++i) {
        const TableEntry &e = table.TableEntries[i];
        if (e.EventNo == previous)
            continue;
        previous = e.EventNo;
        out += QStringLiteral("<MEVENT>") + crlf;
        out += QStringLiteral("     <EVENTGROUP>") + escaped(e.GroupName.trimmed()) + QStringLiteral("</EVENTGROUP>")
               + crlf;
        out += QStringLiteral("     <EVENTNAME>") + escaped(e.Caption.trimmed()) + QStringLiteral("</EVENTNAME>") + crlf;
        out += flagLine("JOURNAL", EventMasks::maskBit(image, EventMasks::Journal, e.EventNo)) + crlf;
        out += flagLine("AVT", EventMasks::maskBit(image, EventMasks::Auto, e.EventNo)) + crlf;
        out += flagLine("ALARM", EventMasks::maskBit(image, EventMasks::Alarm, e.EventNo)) + crlf;
        out += flagLine("INFO", EventMasks::maskBit(image, EventMasks::Info, e.EventNo)) + crlf;
        out += QStringLiteral("     <SDESCR> ") + parameterText(table, i, image) + QStringLiteral("  </SDESCR>") + crlf;
        out += QStringLiteral("</MEVENT>") + crlf;
    }
    out += QStringLiteral("</tutorial>\r\n") + crlf;
    return TextFile::encode1251(out);
}

bool write(const QString &path, const ControlTable &table, const SettingsImage &image, QString &error)
{
    return FileIo::writeWhole(path, build(table, image), error);
}

} // namespace EventReport
