#pragma once

#include "core/link/SerialDevice.h"

#include <QDialog>

#include <memory>

class AppState;
class AddressBookPanel;
class FirmwarePanel;
class PhoneBookGrid;
class UserPrompts;
class LinkExchange;
class ModemLine;
class LinkWindowClose;
class LogBox;
class ProfilePanel;
class QButtonGroup;
class QCheckBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedLayout;

// The link window "Удаленная загрузка ПО": serial port, traffic log, test area,
// working modes and the modem check when it comes up. The protocol work lives in
// LinkExchange; this window only shows it and forwards the operator's actions.
class frmLink : public QDialog
{
    Q_OBJECT
public:
    frmLink(AppState &state, UserPrompts &prompts, QWidget *parent = nullptr);
    ~frmLink() override;

    LinkExchange &link() { return *m_link; }
    ModemLine &line() { return *m_line; }
    SerialDevice &port() { return MSComm1; }

    // True when the modem answered "AT" during the last check.
    bool modemReady() const { return m_modemReady; }
    bool modemCheckRunning() const { return m_checkRunning; }

    QGroupBox *modeFrame(int index) const { return FraIndex[index]; }
    ProfilePanel &profilePanel() { return *m_profile; }
    int selectedMode() const;

    void LinkTune();
    void Form_Activate();
    void OptIndex_Click(int index);

    void done(int result) override;

signals:
    void modemCheckFinished(bool modemReady);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    void buildDataArea();
    void buildTestArea();
    void buildModeArea();
    void buildFirmwareMode();
    void buildProfileMode();
    void buildBookMode();
    void buildWaitCover();
    void keepHalves();
    void cmdSend_Click();
    void cmdClear_Click();
    void Command1_Click();
    void Form_QueryUnload();
    void setLamp(QLineEdit *lamp, bool on);
    void modemCheckEnded(bool modemReady);
    void closeNow(int result);

    AppState &m_state;
    UserPrompts &m_prompts;
    SerialDevice MSComm1;
    ModemLine *m_line = nullptr; // m_lineOwner's
    LinkExchange *m_link = nullptr;
    bool m_modemReady = false;
    bool m_checkRunning = false;
    LinkWindowClose *m_close = nullptr;

    QGroupBox *fraData = nullptr;
    QGroupBox *FraTest = nullptr;
    QGroupBox *fraLink = nullptr;
    QGroupBox *FraIndex[3] = {};
    QRadioButton *OptIndex[3] = {};
    QButtonGroup *m_modes = nullptr;
    QStackedLayout *m_modePages = nullptr;
    QGridLayout *m_grid = nullptr;
    LogBox *txtInOut = nullptr;
    LogBox *txtinfo = nullptr;
    LogBox *txtCmdInfo = nullptr;
    QLineEdit *txtsend = nullptr;
    QPushButton *cmdSend = nullptr;
    QCheckBox *chkEcho = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *Command1 = nullptr;
    ProfilePanel *m_profile = nullptr;
    QLineEdit *lblTx = nullptr;
    QLineEdit *lblRX = nullptr;
    QLabel *lblInfo = nullptr;
    QFrame *Frawait = nullptr;
    FirmwarePanel *m_firmware = nullptr;
    AddressBookPanel *m_book = nullptr;
    PhoneBookGrid *m_phoneBook = nullptr;
    // The window's own operations (the modem check).
    QObject m_operations;
    // Declared last, so it goes first: whatever still runs on the line is run to its end while
    // the port, the panels and the logs it uses are all still there.
    std::unique_ptr<ModemLine> m_lineOwner;
};
