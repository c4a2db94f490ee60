#pragma once
#include <QObject>

// Saving and loading data files through the dialogs and questions, over the program-wide state.
class TestDataFileFlows : public QObject
{
    Q_OBJECT
private slots:
    void threeBlockRoundTrip();
    void exportWritesTwoBlocksWithHiddenDefaults();
    void twoBlockShortFile();
    void recordForm();
    void recordFormRefusesTruncatedFiles();
    void unreadableFileMessages();
    void saveDialogExtensionRules();
    void existingFileQuestion();
    void fullDiskKeepsEarlierFileAndEdits();
    void saveOfferOnlyWhenChanged();
    void loadFromUser();
    void twoBlockSaveKeepsThirdBlockUnsaved();
    void pathsOutsideCodePageRefused();
    void newDataFile();
};
