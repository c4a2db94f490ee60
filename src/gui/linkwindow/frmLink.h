#pragma once

#include "core/link/SerialDevice.h"
#include "gui/linkwindow/ModeSwitch.h"

#include <QDialog>

#include <memory>

class AppState;
class AddressBookPanel;
class FirmwarePanel;
class LinkExchange;
class LinkStateView;
class LinkWindowClose;
class ModemCheckCover;
class ModemLine;
class PhoneBookGrid;
class PortTestBox;
class ProfilePanel;
class QGridLayout;
class QLabel;
class UserPrompts;

// The link window "Удаленная загрузка ПО": serial port, traffic log, test area,
// working modes and the modem check when it comes up. The protocol work lives in
// LinkExchange; this window puts the panels that show it together, wires them to the
// link and runs the modem check each time it is shown.
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

    QGroupBox *modeFrame(int index) const { return m_modes->page(index); }
    ProfilePanel &profilePanel() { return *m_profile; }
    int selectedMode() const { return m_modes->selectedMode(); }

    void LinkTune();
    void Form_Activate();
    void OptIndex_Click(int index);

    void done(int result) override;

signals:
    void modemCheckFinished(bool modemReady);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    void buildDataArea();
    void buildModePages();
    void wirePanels();
    void keepHalves();
    void sendTestLine(const QString &text);
    void Form_QueryUnload();
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
    PortTestBox *m_test = nullptr;
    ModeSwitch *m_modes = nullptr;
    QGridLayout *m_grid = nullptr;
    LinkStateView *m_stateView = nullptr;
    FirmwarePanel *m_firmware = nullptr;
    ProfilePanel *m_profile = nullptr;
    PhoneBookGrid *m_phoneBook = nullptr;
    AddressBookPanel *m_book = nullptr;
    QLabel *lblInfo = nullptr;
    ModemCheckCover *m_cover = nullptr;
    // The window's own operations (the modem check).
    QObject m_operations;
    // Declared last, so it goes first: whatever still runs on the line is run to its end while
    // the port, the panels and the logs it uses are all still there.
    std::unique_ptr<ModemLine> m_lineOwner;
};
