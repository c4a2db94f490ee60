#include "cli/CliOutput.h"

#include "core/common/HexText.h"

QString escapedControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            shown += QStringLiteral("\\x") + HexText::byte(quint8(c.unicode()));
        else
            shown += c;
    }
    return shown;
}

void writeText(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

void printLine(FILE *stream, const QString &line)
{
    writeText(stream, escapedControls(line) + QLatin1Char('\n'));
}

void printMessage(const QString &text)
{
    // A message of several lines (a parser's error under its file) stays as it is written.
    writeText(stderr, QStringLiteral("kvrsetup-cli: ") + text + QLatin1Char('\n'));
}

int failWith(const QString &text)
{
    printMessage(text);
    return 1;
}
