#pragma once

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QString>
#include <QVector>

// How one event's parameters are laid onto the panel's value and check slots.
struct PanelPlan
{
    struct Item
    {
        enum class Kind { Text, Check };
        Kind kind = Kind::Text;
        int slot = 0;        // index in its own control array
        int entry = 0;       // position in TableEntries
        bool hasValue = false; // numeric box: value holds its text; a "STRING" box shows an empty text
        QString value;
        QString note;          // the box's tooltip: why a "STRING" value goes nowhere
        bool checked = false;
    };

    QVector<Item> items;    // in table order, top to bottom
    QVector<int> textMap;   // value slot -> entry
    QVector<int> checkMap;  // check slot -> entry
    QString summary;        // the txtInfo line

    // The entries of the event that starts at first (while EventNo == event).
    static PanelPlan build(const ControlTable &table, int first, int event, const SettingsImage &image);
};
