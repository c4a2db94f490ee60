#include "core/editor/EventGrid.h"

#include "core/settings/EventMasks.h"

namespace EventGrid {

QString allItem() { return QStringLiteral("Все"); }

bool notinlist(const QStringList &items, const QString &text)
{
    for (const QString &item : items) {
        if (item == text)
            return false;
    }
    return true;
}

QStringList filterItems(const ControlTable &table)
{
    QStringList items{allItem()};
    for (const TableEntry &e : table.TableEntries) {
        const QString group = e.GroupName.trimmed();
        if (!group.isEmpty() && notinlist(items, group))
            items.append(group);
    }
    return items;
}

QVector<Row> buildRows(const ControlTable &table, const SettingsImage &image, bool filterActive,
                       const QString &filterText)
{
    QVector<Row> rows;
    for (int i = 0; i < table.EntryCount(); ++i) {
        const TableEntry &e = table.TableEntries[i];
        if (filterActive && filterText != e.GroupName.trimmed())
            continue;
        // The lines after an event's first line are its parameters, not new rows.
        if (!rows.isEmpty() && rows.constLast().eventNo == e.EventNo)
            continue;
        Row r;
        r.entry = e.Index;
        r.eventNo = e.EventNo;
        r.text = QStringLiteral("№") + QString::number(e.EventNo) + QLatin1Char(' ') + e.Caption;
        r.visible = e.Visible;
        for (int k = 0; k < 4; ++k)
            r.masks[k] = EventMasks::maskBit(image, k, e.EventNo);
        rows.append(r);
    }
    return rows;
}

QString flagText(bool set)
{
    return set ? QStringLiteral("ДА") : QStringLiteral("-");
}

} // namespace EventGrid
