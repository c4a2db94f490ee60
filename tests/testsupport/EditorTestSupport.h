#pragma once

#include "ControlLookup.h"
#include "EditorFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>

template <typename T>
T *child(QObject *parent, const QString &name, const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    return findControl<T>(parent, name, file, line);
}

inline int rowOfEvent(QTableWidget *grid, int event)
{
    for (int r = 0; r < grid->rowCount(); ++r) {
        if (grid->item(r, 7) && grid->item(r, 7)->text().toInt() == event)
            return r;
    }
    return -1;
}

inline QString cell(QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}
