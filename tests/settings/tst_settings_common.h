#pragma once

#include "settings/TextFile.h"

#include <QFile>
#include <QString>
#include <QStringList>

// Builds control-table text from lines in "\r\n" form.
inline QString tableText(const QStringList &lines)
{
    QString t;
    for (const QString &l : lines)
        t += l + QStringLiteral("\r\n");
    return t;
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
