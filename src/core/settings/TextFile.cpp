#include "core/settings/TextFile.h"

#include "core/common/FileIo.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

bool TextReader::openFile(const QString &path, QString &text, QString *error)
{
    QByteArray bytes;
    QString why;
    if (!FileIo::readRegular(path, bytes, why)) {
        if (error)
            *error = why;
        return false;
    }
    text = TextFile::decode1251(bytes);
    return true;
}

static bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool TextReader::readValue(QString &value)
{
    value.clear();
    if (atEnd())
        return false;
    const qsizetype n = m_text.size();
    while (m_pos < n && (m_text[m_pos] == QLatin1Char(' ') || m_text[m_pos] == QLatin1Char('\t')))
        ++m_pos;

    auto skipTerminator = [&] {
        if (m_pos >= n)
            return;
        if (m_text[m_pos] == QLatin1Char(',')) {
            ++m_pos;
            return;
        }
        if (m_text[m_pos] == QLatin1Char('\r')) {
            ++m_pos;
            if (m_pos < n && m_text[m_pos] == QLatin1Char('\n'))
                ++m_pos;
            return;
        }
        if (m_text[m_pos] == QLatin1Char('\n'))
            ++m_pos;
    };

    if (m_pos < n && m_text[m_pos] == QLatin1Char('"')) {
        ++m_pos;
        for (;;) {
            const qsizetype close = m_text.indexOf(QLatin1Char('"'), m_pos);
            const qsizetype end = close < 0 ? n : close;
            value += QStringView(m_text).mid(m_pos, end - m_pos);
            m_pos = close < 0 ? n : close + 1;
            if (m_pos >= n || m_text[m_pos] != QLatin1Char('"'))
                break;
            value += QLatin1Char('"'); // a doubled quote
            ++m_pos;
        }
        // Anything between the closing quote and the separator is dropped.
        while (m_pos < n && m_text[m_pos] != QLatin1Char(',') && !isLineEnd(m_text[m_pos]))
            ++m_pos;
        skipTerminator();
        return true;
    }

    const qsizetype start = m_pos;
    while (m_pos < n && m_text[m_pos] != QLatin1Char(',') && !isLineEnd(m_text[m_pos]))
        ++m_pos;
    value = m_text.mid(start, m_pos - start);
    skipTerminator();
    return true;
}

namespace TextFile {

QString decode1251(const QByteArray &bytes)
{
    QStringDecoder dec("windows-1251");
    QString s = dec.decode(bytes);
    return s;
}

QByteArray encode1251(const QString &text)
{
    QStringEncoder enc("windows-1251");
    QByteArray b = enc.encode(text);
    return b;
}

bool canEncode1251(const QString &text)
{
    // The encoder replaces what the code page lacks instead of failing: compare the round trip.
    return decode1251(encode1251(text)) == text;
}

bool writeLines(const QString &path, const QStringList &lines, QString &error)
{
    QByteArray data;
    for (const QString &l : lines) {
        data += encode1251(l);
        data += "\r\n";
    }
    return FileIo::writeWhole(path, data, error);
}

QString formatNumber(qint64 value)
{
    if (value < 0)
        return QString::number(value) + QLatin1Char(' ');
    return QLatin1Char(' ') + QString::number(value) + QLatin1Char(' ');
}

QString formatText(const QString &text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    const bool padded = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
    const bool plain = !padded && std::none_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); });
    if (plain)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace TextFile
