#pragma once

#include <QObject>

// Grid rows, panel plan, serial settings lists and the table change, without windows.
class TestEditorCore : public QObject
{
    Q_OBJECT

private slots:
    void filterItemsAreDistinctGroupsInOrder();
    void filterItemsOnlyAllWhenNoGroups();
    void rowsMergeOnlyConsecutiveLines();
    void rowsFollowFilterAndMasks();
    void rowsOfLongTablesKeepTheirEntries();
    void planSummaryMatchesExample();
    void planOrderBitByteBitByteBit();
    void planXEventShowsOnlyNumber();
    void planWordIntSint();
    void planMoreThanEightSlots();
    void commListsAndFindIndex();
    void commStoreKeepsDevicePath();
    void tableChangeRefusesReservedNames();
    void tableChangeIgnoresFileOutsideFolder();
    void tableChangeKeepsTableWhenNotParsing();
    void tableChangeTakesGoodTable();
    void tableChangeRefusalsKeepConstIni();
    void tableChangeNamesReadBack();
};
