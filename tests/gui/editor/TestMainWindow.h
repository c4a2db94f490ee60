#pragma once

#include <QObject>

// frmMain driven through its controls.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void controlsHaveTheirNames();
    void gridShowsEventsAndHiddenColumns();
    void serviceModeShowsMarkColumn();
    void panelShowsSummaryExample();
    void panelOrderBitByteBitByteBit();
    void panelGrowsBeyondEightSlots();
    void stringBoxShowsItsOwnEmptyText();
    void journalRule();
    void uncheckingAllFlagsClearsBits();
    void alarmRowFiveRule();
    void event9Bytes();
    void lastEventMasksFitTheFile();
    void fillingThePanelChangesNothing();
    void bitMask03ClearedBySave();
    void saveWithTwoInvalidBoxesGivesOneMessage();
    void leavingBoxValidatesAndStores();
    void invalidBoxKeepsFocusAndRow();
    void exportRunsFocusCheck();
    void filterShowsOneGroup();
    void deviceTypeChangesOnlyCaptions();
    void helpBoxTakesOnlyArrows();
    void saveOfferOnExitOnlyAfterEdits();
    void closeWithInvalidBoxStaysOpen();
    void leavingStaysWhenTheSaveDoesNotHappen();
    void clearWithNoKeepsImage();
    void clearWithYesZeroesImage();
    void printWritesReport();
    void helpDocumentsOpenedByPath();
    void loadMenuLoadsAndRebuilds();
    void tableChangeRefusalsKeepWindow();
    void tableChangeRebuildsFilterAndGrid();
    void modalHooksAreCalled();
    void descriptionReachesImageThroughUpdateData();
    void captionFollowsState();
    void shrinkingKeepsGridVisible();
    void menusReachableFromTheKeyboard();
    void tabOrderFollowsThePanel();
};
