#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Configuration and control-table files: code page 1251, "\r\n" line ends,
// values read up to a comma or the line end. A value that begins with a double quote runs to the
// next lone double quote; inside it, two double quotes stand for one.
class TextReader
{
public:
    explicit TextReader(const QString &text) : m_text(text) {}
    // False, with why in error, for a missing or unreadable file and for anything but a regular file.
    static bool openFile(const QString &path, QString &text, QString *error = nullptr);

    bool atEnd() const { return m_pos >= m_text.size(); }
    // False at end of text.
    bool readValue(QString &value);

private:
    QString m_text;
    qsizetype m_pos = 0;
};

namespace TextFile {
QString decode1251(const QByteArray &bytes);
QByteArray encode1251(const QString &text);
// True when code page 1251 holds every character of text, so that it reads back as written.
bool canEncode1251(const QString &text);
// Writes the lines, each followed by "\r\n", whole or not at all (FileIo::writeWhole).
bool writeLines(const QString &path, const QStringList &lines, QString &error);
// " 9600 ", "-5 ": the sign position and a separator around the digits.
QString formatNumber(qint64 value);
// A text value as written: quoted (inner quotes doubled) only when it would not read back as it is:
// a comma, a double quote, a line break, or spaces at either end.
QString formatText(const QString &text);
} // namespace TextFile
