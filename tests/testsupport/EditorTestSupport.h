#pragma once

#include "ControlLookup.h"
#include "EditorFixture.h"
#include "gui/editor/EventGridModel.h"

#include <QCheckBox>
#include <QIcon>
#include <QLineEdit>
#include <QTableView>

template <typename T>
T *child(QObject *parent, const QString &name, const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    return findControl<T>(parent, name, file, line);
}

// The grid row that shows event, found by the row's identity; -1 when none.
inline int rowOfEvent(QTableView *grid, int event)
{
    const QAbstractItemModel *model = grid->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        if (model->index(r, 0).data(EventGridModel::EventNoRole).toInt() == event)
            return r;
    }
    return -1;
}

inline QString cell(QTableView *grid, int row, int column)
{
    return grid->model()->index(row, column).data().toString();
}

inline QIcon cellIcon(QTableView *grid, int row, int column)
{
    return grid->model()->index(row, column).data(Qt::DecorationRole).value<QIcon>();
}

inline QString headerText(QTableView *grid, int column)
{
    return grid->model()->headerData(column, Qt::Horizontal).toString();
}

inline int rowCount(QTableView *grid) { return grid->model()->rowCount(); }

inline int columnCount(QTableView *grid) { return grid->model()->columnCount(); }

inline int currentRow(QTableView *grid) { return grid->currentIndex().row(); }

// Makes the cell current as a click would: its row becomes the selected row.
inline void selectCell(QTableView *grid, int row, int column)
{
    grid->setCurrentIndex(grid->model()->index(row, column));
}
