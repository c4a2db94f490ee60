#pragma once
#include <QObject>

// The link window's address book and phone-book grid (offscreen).
class TestLinkWindowBook : public QObject
{
    Q_OBJECT
private slots:
    void addEditDeleteThroughButtons();
    void clickFillsNumbersAndClearsLastBlock();
    void editAfterDeleteTouchesTheShownTerminal();
    void databaseErrorLosesNothing();
    void phoneBookEditorKeys();
    void historyOfTheSelectedTerminal();
};
