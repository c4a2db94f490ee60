#pragma once

#include <QObject>
#include <QString>
#include <QTest>

// Finds a control by objectName. A missing control fails the running test with its name and
// hands back a detached stand-in, so one missing name cannot crash the whole test program.
template <typename T>
T *findControl(QObject *parent, const QString &name, const char *file = __builtin_FILE(),
               int line = __builtin_LINE())
{
    if (T *found = parent->findChild<T *>(name))
        return found;
    QTest::qFail(qPrintable(QStringLiteral("no control named \"%1\"").arg(name)), file, line);
    static QObject standIns;
    T *standIn = new T();
    QObject::connect(&standIns, &QObject::destroyed, standIn, [standIn] { delete standIn; });
    return standIn;
}
