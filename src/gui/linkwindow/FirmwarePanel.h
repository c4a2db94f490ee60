#pragma once

#include "core/loader/FirmwareDataCall.h"

#include <QWidget>

#include <functional>

class AppState;
class ModemLine;
class UserPrompts;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The firmware panel of the link window's mode "Загрузка ПО": the image files,
// banked or linear mode, the start bank and page, the progress and the load and
// break buttons. The load itself is FirmwareDataCall's.
class FirmwarePanel : public QWidget
{
    Q_OBJECT
public:
    FirmwarePanel(AppState &state, UserPrompts &prompts, ModemLine &line, QWidget *parent = nullptr);

    // The terminal a load dials: its name in the address book (for the question before a load;
    // empty for none) and its number. Until the book names one, the number kept in the
    // program state.
    void setTerminal(const QString &name, const QString &number);

    // On each activation of the window: progress caption empty, bank and page lists
    // refilled, the file paths from the program state.
    void activate();
    // On closing the window: the file paths back into the program state.
    void storeFilePaths();

    FirmwareDataCall &dataCall() { return m_call; }

    // Another terminal was chosen: its last block says nothing about this one.
    void clearContinueFromLast();

    void cmdSelFiles_Click(int index);
    void chkWOBank_Click();
    void cmdLoad_Click();
    void cmdEscapeTransmit_Click();

signals:
    // A load starts: the window empties its traffic and state logs.
    void logsCleared();

private:
    void buildPanel();
    void fillPages(bool linear);
    // Where the load will start, as the question says it: from the beginning or from a block.
    static QString startText(const FirmwareDataCall::Request &request, const ResumePoints::Point &resumeAt);

    AppState &m_state;
    bool m_terminalSet = false;
    QString m_terminalName;
    QString m_terminalNumber;
    UserPrompts &m_prompts;
    ModemLine &m_line;
    FirmwareDataCall m_call;

    QLineEdit *txtFileUpload[3] = {};
    QPushButton *cmdSelFiles[3] = {};
    QCheckBox *chkWOBank = nullptr;
    QComboBox *cmbBank = nullptr;
    QComboBox *cmbPageAdr = nullptr;
    QCheckBox *chkLastAdr = nullptr;
    QLabel *lblPercent = nullptr;
    QProgressBar *prgLoad = nullptr;
    QPushButton *cmdLoad = nullptr;
    QPushButton *cmdEscapeTransmit = nullptr;
};
