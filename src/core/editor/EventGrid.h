#pragma once

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <array>

// Which table entries make rows of the event grid, and the group filter list.
namespace EventGrid {
struct Row
{
    int entry = 0;   // position of the event's first entry in TableEntries
    int eventNo = 0;
    QString text;    // "№" + event number + " " + caption
    bool visible = false;
    std::array<bool, 4> masks{}; // journal, auto, alarm, info
};

// Text of the item that shows all events.
QString allItem();
// True when no item equals text exactly (case-sensitive).
bool notinlist(const QStringList &items, const QString &text);
// "Все" followed by the distinct, non-empty group names in order of first appearance.
QStringList filterItems(const ControlTable &table);
// Rows for the filter: filterActive when an item other than "Все" is chosen.
// Consecutive entries of one event give one row.
QVector<Row> buildRows(const ControlTable &table, const SettingsImage &image, bool filterActive,
                       const QString &filterText);
// Flag cell texts: "ДА" when set, "-" when clear, however the flag got there.
QString flagText(bool set);
} // namespace EventGrid
