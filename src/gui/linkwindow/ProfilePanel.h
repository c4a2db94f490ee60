#pragma once

#include <QByteArray>
#include <QWidget>

#include <functional>
#include <memory>

class AppState;
class ModemLine;
class LogBox;
class ProfileTransfer;
class GatewayTransfer;
class SmsRoute;
class SmsRoutes;
class TaskBook;
class LinkDisplay;
class UserPrompts;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The profile mode of the link window ("Загрузка/считывание профиля"): profile files, read
// requests and GPRS settings sent by SMS, profile scenarios from the image being edited,
// the message poll, and the command log txtCmdInfo. The work is done by ProfileTransfer;
// the panel only reads its boxes and shows what comes back.
class ProfilePanel : public QWidget
{
    Q_OBJECT
public:
    ProfilePanel(AppState &state, UserPrompts &prompts, ModemLine &line, QWidget *parent = nullptr);
    ~ProfilePanel() override;

    // A terminal chosen in the address book while this mode is shown.
    void setProfileNumber(const QString &number);
    ProfileTransfer &transfer() { return *m_transfer; }
    // Where the panel's sends, reads, GPRS settings and polls go: the modem's transfer, or a
    // gateway chosen in "Настройки связи" (nullptr when that gateway could not be opened).
    SmsRoute *route() const { return m_route; }
    // Where the SMS jobs keep their tasks: the gateway's database or Data.db; nullptr when none.
    TaskBook *taskBook() const;
    // Once the modem is checked: completes what was left sent in part, and tells the state log
    // where the profile SMS go, when that is not the modem.
    void announceRoute();
    LogBox *cmdInfoBox() const { return txtCmdInfo; }
    const QByteArray &profileFileData() const { return m_profileFileData; }

    // Asked before the window shows mode index: a queued scenario may be stopped first.
    bool modeChangeGuard(int index);

    // The window's own events that reach the panel.
    void Form_Activate();
    void Form_QueryUnload();
    void Command1_Click();

    void btOpenFile_Click();
    void btSendSMS_Click();
    void btSaveSMSToFile_Click();
    void cmdSendProfile_Click();
    void chkProfileLoadType_Click(int index);
    void Check1_Click();
    // A read ended (or a poll ran): polling started for reads goes back to the operator's choice.
    void readFinished();
    void btSendGPRS_Click();

private:
    void buildPanel();
    QGroupBox *buildGprsFrame();
    void showRefusal(const QString &refusal);
    // The route for a send; nullptr after telling the operator why there is none.
    SmsRoute *usableRoute();

    AppState &m_state;
    UserPrompts &m_prompts;
    std::unique_ptr<SmsRoutes> m_routes;
    ProfileTransfer *m_transfer = nullptr;
    GatewayTransfer *m_gateway = nullptr;
    SmsRoute *m_route = nullptr;
    QString m_gatewayError;
    LinkDisplay *m_display = nullptr;
    QByteArray m_profileFileData;

    QLineEdit *txtProfileNumber = nullptr;
    QLineEdit *txtSMSCNumber = nullptr;
    QCheckBox *chkProfileLoadType[2] = {};
    QPushButton *cmdSendProfile = nullptr;
    QPushButton *cmdReceiveProfile = nullptr;
    QLineEdit *edFilePath = nullptr;
    QPushButton *btOpenFile = nullptr;
    QPushButton *btSendSMS = nullptr;
    QPushButton *btSaveSMSToFile = nullptr;
    QCheckBox *chkSMSMode = nullptr;
    QCheckBox *Check1 = nullptr;
    // Polling runs for a read the operator asked for, not because Check1 is ticked.
    bool m_pollingForReads = false;
    LogBox *txtCmdInfo = nullptr;
    QLineEdit *txtgprsAPN = nullptr;
    QLineEdit *txtgprsNAME = nullptr;
    QLineEdit *txtgprsPASS = nullptr;
    QLineEdit *txtgprsIP = nullptr;
    QLineEdit *txtgprsPORT = nullptr;
    QPushButton *btSendGPRS = nullptr;
};
