#pragma once

#include "TestFiles.h"
#include "core/settings/TextFile.h"

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


