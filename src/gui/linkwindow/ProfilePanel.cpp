#include "gui/linkwindow/ProfilePanel.h"
#include "gui/linkwindow/PortLost.h"

#include "core/link/LinkDisplay.h"
#include "core/gateway/GatewayTransfer.h"
#include "gui/linkwindow/Named.h"

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"
#include "core/pdu/GprsRecord.h"
#include "core/route/ProfileTransfer.h"
#include "core/service/SmsRoutes.h"
#include "core/pdu/TransferRecord.h"
#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/WrappingCheckBox.h"

#include <QCheckBox>
#include "core/pdu/ProfileFile.h"

#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    return b;
}

QLabel *caption(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

ProfilePanel::ProfilePanel(AppState &state, UserPrompts &prompts, ModemLine &line, QWidget *parent)
    : QWidget(parent), m_state(state), m_prompts(prompts), m_routes(std::make_unique<SmsRoutes>(state, this))
{
    setObjectName(QStringLiteral("ProfilePanel"));
    m_display = &line.link().display();
    QString error;
    const bool opened = m_routes->open(state.serial.smsGateway, {{&line, line.portName()}}, error);
    m_transfer = m_routes->modem();
    m_gateway = m_routes->gateway();
    // Never silently through the modem instead: the operator chose the gateway.
    m_route = opened ? m_routes->route() : nullptr;
    if (!opened)
        m_gatewayError = QStringLiteral("Шлюз gammu-smsd недоступен, SMS профилей не отправляются: ") + error;
    if (m_gateway)
        connect(m_gateway, &GatewayTransfer::cmdInfoLine, m_display, &LinkDisplay::appendCmdInfo);
    buildPanel();
    m_transfer->start();
    if (m_route) {
        connect(m_route, &SmsRoute::readFinished, this, &ProfilePanel::readFinished);
        connect(m_route, &SmsRoute::pollFinished, this, &ProfilePanel::readFinished);
    }
}

TaskBook *ProfilePanel::taskBook() const
{
    return m_routes->tasks();
}

void ProfilePanel::announceRoute()
{
    // The modem is checked and the log shows what the route says: a profile left sent in part
    // goes before anything the operator asks.
    if (m_route)
        m_routes->completeHalfSent();
    if (!m_gateway)
        return; // the modem: nothing to say
    m_display->appendInfo((m_route ? QStringLiteral("SMS профилей идут через шлюз gammu-smsd: ") + m_state.serial.smsGateway
                                   : m_gatewayError)
                          + QStringLiteral("\r\n"));
}

SmsRoute *ProfilePanel::usableRoute()
{
    if (m_route == m_transfer && portLostSaid(m_transfer->line(), m_prompts))
        return nullptr;
    if (!m_route)
        m_prompts.message(m_gatewayError, QStringLiteral("Ошибка"), UserPrompts::Icon::Warning);
    return m_route;
}

ProfilePanel::~ProfilePanel() = default;

void ProfilePanel::buildPanel()
{
    txtProfileNumber = named(new QLineEdit(this), QStringLiteral("txtProfileNumber"));
    txtSMSCNumber = named(new QLineEdit(this), QStringLiteral("txtSMSCNumber"));
    const QString loadTypes[2] = {QStringLiteral("СМС"), QStringLiteral("Дата ")};
    for (int i = 0; i < 2; ++i) {
        chkProfileLoadType[i] = named(new QCheckBox(loadTypes[i], this), QStringLiteral("chkProfileLoadType_%1").arg(i));
        connect(chkProfileLoadType[i], &QCheckBox::toggled, this, [this, i] { chkProfileLoadType_Click(i); });
    }
    cmdSendProfile = button(QStringLiteral("Загрузить профиль в терминал"), QStringLiteral("cmdSendProfile"), this);
    cmdSendProfile->setToolTip(QStringLiteral("Отправить настройки, открытые в редакторе"));
    cmdReceiveProfile = button(QStringLiteral("Считать профиль с терминал"), QStringLiteral("cmdReceiveProfile"), this);
    cmdReceiveProfile->setEnabled(false);
    cmdReceiveProfile->setToolTip(QStringLiteral("Не используется: профиль считывает кнопка «Считать профиль с терминала»"));
    edFilePath = named(new QLineEdit(this), QStringLiteral("edFilePath"));
    edFilePath->setReadOnly(true);
    btOpenFile = button(QStringLiteral("..."), QStringLiteral("btOpenFile"), this);
    btSendSMS = button(QStringLiteral("Загрузить профиль в терминал"), QStringLiteral("btSendSMS"), this);
    btSendSMS->setToolTip(QStringLiteral("Отправить выбранный профильный файл"));
    btSaveSMSToFile = button(QStringLiteral("Считать профиль с терминала"), QStringLiteral("btSaveSMSToFile"), this);
    // The two long captions wrap, so the panel fits half the window.
    chkSMSMode = named(new WrappingCheckBox(QStringLiteral("При поступлении СМС информировать оборудование"), this),
                       QStringLiteral("chkSMSMode"));
    Check1 = named(new WrappingCheckBox(QStringLiteral("Постоянно опрашивать модем для считывания профиля и получения "
                                                       "подтверждения настроек GPRS"),
                                        this),
                   QStringLiteral("Check1"));
    txtCmdInfo = named(new LogBox(this), QStringLiteral("txtCmdInfo"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(caption(QStringLiteral("№ тел-на "), txtProfileNumber, this), 0, 0);
    grid->addWidget(txtProfileNumber, 0, 1);
    grid->addWidget(chkProfileLoadType[0], 0, 2);
    grid->addWidget(chkProfileLoadType[1], 0, 3);
    auto *smscCaption = caption(QStringLiteral("№ SMS центра, если используется"), txtSMSCNumber, this);
    smscCaption->setWordWrap(true);
    grid->addWidget(smscCaption, 1, 0);
    grid->addWidget(txtSMSCNumber, 1, 1);
    grid->addWidget(cmdSendProfile, 2, 0, 1, 2);
    grid->addWidget(cmdReceiveProfile, 2, 2, 1, 2);
    grid->addWidget(caption(QStringLiteral("Выбор профильного файла для отправки:"), edFilePath, this), 3, 0, 1, 4);
    grid->addWidget(edFilePath, 4, 0, 1, 3);
    grid->addWidget(btOpenFile, 4, 3);
    grid->addWidget(btSendSMS, 5, 0, 1, 2);
    grid->addWidget(btSaveSMSToFile, 5, 2, 1, 2);
    grid->addWidget(chkSMSMode, 6, 0, 1, 4);
    grid->addWidget(Check1, 7, 0, 1, 4);
    grid->addWidget(buildGprsFrame(), 8, 0, 1, 4);
    grid->addWidget(txtCmdInfo, 9, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(9, 1);
    grid->setContentsMargins(0, 0, 0, 0);

    connect(btOpenFile, &QPushButton::clicked, this, &ProfilePanel::btOpenFile_Click);
    connect(btSendSMS, &QPushButton::clicked, this, &ProfilePanel::btSendSMS_Click);
    connect(btSaveSMSToFile, &QPushButton::clicked, this, &ProfilePanel::btSaveSMSToFile_Click);
    connect(cmdSendProfile, &QPushButton::clicked, this, &ProfilePanel::cmdSendProfile_Click);
    connect(Check1, &QCheckBox::toggled, this, &ProfilePanel::Check1_Click);
    connect(btSendGPRS, &QPushButton::clicked, this, &ProfilePanel::btSendGPRS_Click);
}

QGroupBox *ProfilePanel::buildGprsFrame()
{
    auto *frame = named(new QGroupBox(QStringLiteral("Параметры GPRS"), this), QStringLiteral("fraGPRS"));
    // Empty, with what belongs there greyed as a hint: a carrier's values in the boxes would go to
    // a terminal of another carrier unnoticed.
    txtgprsAPN = named(new QLineEdit(frame), QStringLiteral("txtgprsAPN"));
    txtgprsNAME = named(new QLineEdit(frame), QStringLiteral("txtgprsNAME"));
    txtgprsPASS = named(new QLineEdit(frame), QStringLiteral("txtgprsPASS"));
    txtgprsIP = named(new QLineEdit(frame), QStringLiteral("txtgprsIP"));
    txtgprsPORT = named(new QLineEdit(frame), QStringLiteral("txtgprsPORT"));
    txtgprsAPN->setPlaceholderText(QStringLiteral("точка доступа оператора"));
    txtgprsNAME->setPlaceholderText(QStringLiteral("если нужно"));
    txtgprsPASS->setPlaceholderText(QStringLiteral("если нужен"));
    txtgprsIP->setPlaceholderText(QStringLiteral("IP адрес"));
    txtgprsPORT->setPlaceholderText(QStringLiteral("порт"));
    txtgprsPASS->setEchoMode(QLineEdit::Password);
    txtgprsAPN->setMaxLength(GprsRecord::ApnLimit);
    txtgprsNAME->setMaxLength(GprsRecord::UserNameLimit);
    txtgprsPASS->setMaxLength(GprsRecord::PasswordLimit);
    btSendGPRS = button(QStringLiteral("Загрузить настройки GPRS в терминал"), QStringLiteral("btSendGPRS"), frame);

    auto *grid = new QGridLayout(frame);
    grid->addWidget(caption(QStringLiteral("Адрес сервера"), txtgprsIP, frame), 0, 0);
    grid->addWidget(txtgprsIP, 0, 1);
    grid->addWidget(caption(QStringLiteral("Порт"), txtgprsPORT, frame), 0, 2);
    grid->addWidget(txtgprsPORT, 0, 3);
    grid->addWidget(caption(QStringLiteral("Точка доступа (APN)"), txtgprsAPN, frame), 1, 0);
    grid->addWidget(txtgprsAPN, 1, 1, 1, 3);
    grid->addWidget(caption(QStringLiteral("Имя пользователя"), txtgprsNAME, frame), 2, 0);
    grid->addWidget(txtgprsNAME, 2, 1);
    grid->addWidget(caption(QStringLiteral("Пароль"), txtgprsPASS, frame), 2, 2);
    grid->addWidget(txtgprsPASS, 2, 3);
    grid->addWidget(btSendGPRS, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    return frame;
}

void ProfilePanel::showRefusal(const QString &refusal)
{
    if (!refusal.isEmpty())
        m_prompts.message(refusal);
}

bool ProfilePanel::modeChangeGuard(int index)
{
    // Before the profile mode is shown: a queued scenario is stopped only when the operator
    // agrees. The poll's own switch asks nothing.
    if (index != 1 || m_transfer->runningScenario().isEmpty())
        return true;
    if (m_prompts.message(QStringLiteral("Выполняется сценарий для телефона ") + m_transfer->runningScenario()
                              + QStringLiteral(", прекратить?"),
                          QStringLiteral("ПРЕДУПРЕЖДЕНИЕ"), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
        != UserPrompts::Answer::Yes)
        return false;
    m_transfer->stopRunningScenario();
    return true;
}

void ProfilePanel::Form_Activate()
{
    m_transfer->forgetIncompleteAnswers();
    chkProfileLoadType[0]->setChecked(true);
    chkProfileLoadType[1]->setChecked(false);
}

void ProfilePanel::Form_QueryUnload()
{
    m_transfer->stop();
}

void ProfilePanel::Command1_Click()
{
    m_transfer->breakIn();
}

void ProfilePanel::btOpenFile_Click()
{
    const QString path = m_prompts.openFile(QString(), m_state.appPath(QStringLiteral("data")),
                                            {{QStringLiteral("Профильный файл"), QStringLiteral("*.bin")},
                                             {QStringLiteral("Все файлы"), QStringLiteral("*.*")}},
                                            true);
    if (path.isEmpty())
        return;
    // Only a settings data file is a profile; the earlier choice stays otherwise.
    QByteArray profile;
    QString refusal;
    if (!ProfileFile::read(path, profile, refusal)) {
        m_prompts.message(refusal, QString(), UserPrompts::Icon::Warning);
        return;
    }
    edFilePath->setText(path);
    m_profileFileData = profile;
}

void ProfilePanel::btSendSMS_Click()
{
    if (edFilePath->text().isEmpty()) {
        m_prompts.message(QStringLiteral("Не выбран профильный файл"), QString(), UserPrompts::Icon::Warning);
        return;
    }
    if (SmsRoute *route = usableRoute())
        showRefusal(route->submitProfileFile(txtProfileNumber->text(), txtSMSCNumber->text(), m_profileFileData));
}

void ProfilePanel::btSaveSMSToFile_Click()
{
    SmsRoute *route = usableRoute();
    if (!route)
        return;
    const QString refusal = route->submitProfileRequest(txtProfileNumber->text(), txtSMSCNumber->text());
    showRefusal(refusal);
    // A read finishes by itself: the store is polled until the profile is saved or its wait is
    // over, whether or not the operator keeps polling on.
    if (refusal.isEmpty() && !Check1->isChecked() && !m_pollingForReads) {
        m_pollingForReads = true;
        route->setPolling(true);
    }
}

void ProfilePanel::readFinished()
{
    // Done once nothing is awaited and no request is still on its way.
    if (!m_pollingForReads || !m_route || !m_route->awaitedReads().isEmpty() || !m_route->sendsIdle())
        return;
    m_pollingForReads = false;
    // Polling as the operator left it.
    m_route->setPolling(Check1->isChecked());
}

void ProfilePanel::cmdSendProfile_Click()
{
    const QString phone = txtProfileNumber->text();
    const QString smsc = txtSMSCNumber->text();
    QString error = ProfileTransfer::scenarioTargetProblem(phone, smsc);
    // A running scenario is stopped only when the operator agrees.
    for (QString running = m_transfer->runningScenario(); error.isEmpty() && !running.isEmpty();
         running = m_transfer->runningScenario()) {
        if (m_prompts.message(QStringLiteral("Идет диалог с номером ") + running + QStringLiteral(", прекратить"),
                              QStringLiteral("Внимание"), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
            != UserPrompts::Answer::Yes)
            return;
        m_transfer->stopRunningScenario();
    }
    if (error.isEmpty())
        error = m_transfer->startProfileScenario(phone, smsc);
    if (!error.isEmpty())
        m_prompts.message(error, QStringLiteral("Ошибка"), UserPrompts::Icon::Warning);
}

void ProfilePanel::chkProfileLoadType_Click(int index)
{
    // A pair: the other box always shows the opposite state.
    const bool checked = chkProfileLoadType[index]->isChecked();
    for (int i = 0; i < 2; ++i) {
        if (i != index)
            chkProfileLoadType[i]->setChecked(!checked);
    }
}

void ProfilePanel::Check1_Click()
{
    m_pollingForReads = false;
    if (m_route)
        m_route->setPolling(Check1->isChecked());
    else if (Check1->isChecked())
        usableRoute();
}

void ProfilePanel::btSendGPRS_Click()
{
    const GprsSettings settings{txtgprsAPN->text(), txtgprsNAME->text(), txtgprsPASS->text(), txtgprsIP->text(),
                                txtgprsPORT->text()};
    if (SmsRoute *route = usableRoute())
        showRefusal(route->submitGprs(txtProfileNumber->text(), txtSMSCNumber->text(), settings));
}

void ProfilePanel::setProfileNumber(const QString &number)
{
    txtProfileNumber->setText(number);
}
