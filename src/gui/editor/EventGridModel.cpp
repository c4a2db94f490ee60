#include "gui/editor/EventGridModel.h"

EventGridModel::EventGridModel(QObject *parent) : QAbstractTableModel(parent) {}

void EventGridModel::setRows(const QVector<EventGrid::Row> &rows)
{
    beginResetModel();
    m_lines.clear();
    m_lines.reserve(rows.size());
    for (const EventGrid::Row &row : rows)
        m_lines.append(Line{row});
    endResetModel();
}

void EventGridModel::setFlags(int row, const std::array<bool, 4> &flags)
{
    if (row < 0 || row >= m_lines.size())
        return;
    m_lines[row].row.masks = flags;
    emit dataChanged(index(row, ColFirstFlag), index(row, ColFirstFlag + 3));
}

void EventGridModel::setMark(const QIcon &icon, bool show)
{
    m_mark = icon;
    m_showMark = show;
    if (!m_lines.isEmpty())
        emit dataChanged(index(0, ColMark), index(int(m_lines.size()) - 1, ColMark));
}

int EventGridModel::eventNo(int row) const
{
    return row >= 0 && row < m_lines.size() ? m_lines[row].row.eventNo : -1;
}

int EventGridModel::entry(int row) const
{
    return row >= 0 && row < m_lines.size() ? m_lines[row].row.entry : -1;
}

int EventGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

int EventGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventGridModel::displayText(const Line &line, int column) const
{
    if (column == ColEvent)
        return line.row.text;
    if (column >= ColFirstFlag && column < ColFirstFlag + 4)
        return EventGrid::flagText(line.row.masks[column - ColFirstFlag]);
    if (column == ColEntry)
        return QString::number(line.row.entry);
    if (column == ColEventNo)
        return QString::number(line.row.eventNo);
    return QVariant();
}

QVariant EventGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return QVariant();
    const Line &line = m_lines[index.row()];
    const int column = index.column();
    switch (role) {
    case EventNoRole:
        return line.row.eventNo;
    case EntryRole:
        return line.row.entry;
    case Qt::DisplayRole:
        return displayText(line, column);
    case Qt::DecorationRole:
        if (column == ColMark && m_showMark && line.row.visible)
            return m_mark;
        return QVariant();
    case Qt::TextAlignmentRole:
        if (column >= ColFirstFlag && column < ColFirstFlag + 4)
            return int(Qt::AlignCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant EventGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const headers[ColumnCount] = {"F", "Событие", "Журн.", "Авт.", "Трев.", "Инфо", "", ""};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(headers[section]) : QString();
}
