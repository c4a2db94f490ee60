#pragma once
#include <QObject>

class TestSettingsFiles : public QObject
{
    Q_OBJECT
private slots:
    void fileBlockSum();
    void threeBlockRoundTrip();
    void exportWritesTwoBlocksWithHiddenDefaults();
    void formByLength();
    void twoBlockShortFile();
    void recordForm();
    void recordFormRefusesTruncatedFiles();
    void unreadableFileMessages();
    void saveDialogExtensionRules();
    void existingFileQuestion();
    void changeRule();
    void saveOfferOnlyWhenChanged();
    void loadFromUser();
    void newDataFile();
};
