#include "cli/CliOutput.h"

#include "core/common/HexText.h"

#include <QStringList>

namespace {

// Characters that act on the terminal or on the text around them instead of being seen.
bool isFormatControl(char16_t c)
{
    return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029
           || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString shown(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            out += QStringLiteral("\\x") + HexText::byte(quint8(c.unicode()));
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c.isSurrogate() || isFormatControl(c.unicode())) {
            out += QStringLiteral("\\u{") + HexText::byte(quint8(c.unicode() >> 8))
                   + HexText::byte(quint8(c.unicode() & 0xFF)) + QLatin1Char('}');
        } else {
            out += c;
        }
    }
    return out;
}

void writeText(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void printLine(FILE *stream, const QString &line)
{
    writeText(stream, shown(line) + QLatin1Char('\n'));
}

void printMessage(const QString &text)
{
    // A message of several lines (a parser's error under its file) keeps its lines; a CR before
    // a line's end is part of that end.
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        line = shown(line);
    }
    writeText(stderr, QStringLiteral("kvrsetup-cli: ") + lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

int failWith(const QString &text)
{
    printMessage(text);
    return 1;
}
