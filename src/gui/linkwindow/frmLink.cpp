#include "gui/linkwindow/frmLink.h"
#include "gui/linkwindow/PortLost.h"
#include "gui/common/ScreenFit.h"
#include "gui/linkwindow/Named.h"

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"
#include "core/link/LinkExchange.h"
#include "core/link/ModemLine.h"
#include "core/link/LinkTune.h"
#include "core/link/ModemCheck.h"
#include "core/route/ProfileTransfer.h"
#include "gui/linkwindow/AddressBookPanel.h"
#include "gui/linkwindow/FirmwarePanel.h"
#include "gui/linkwindow/LinkWindowClose.h"
#include "gui/linkwindow/PhoneBookGrid.h"
#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/ProfilePanel.h"

#include <memory>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor kReceived(255, 0, 0);
const QColor kSent(0, 0, 255);
const QColor kMark(0, 0, 0);
const QColor kLampOn(0, 255, 0);

// The modem check's outcome kept for the window, which reads it when the operation has ended.
Task<void> storeModemCheck(LinkExchange &link, std::shared_ptr<ModemCheckResult> result)
{
    const ModemCheckResult checked = co_await runModemCheck(link);
    *result = checked;
}

} // namespace

frmLink::frmLink(AppState &state, UserPrompts &prompts, QWidget *parent)
    : QDialog(parent), m_state(state), m_prompts(prompts)
{
    setObjectName(QStringLiteral("frmLink"));
    setWindowTitle(QStringLiteral("Удаленная загрузка ПО"));
    MSComm1.setObjectName(QStringLiteral("MSComm1"));
    m_lineOwner = std::make_unique<ModemLine>();
    m_line = m_lineOwner.get();
    m_link = &m_line->link();
    m_link->port().setDevice(&MSComm1);
    buildWindow();
    m_close = new LinkWindowClose(*m_line, m_prompts, *m_firmware, *m_profile, this);
    connect(m_close, &LinkWindowClose::mayClose, this, &frmLink::closeNow);

    connect(&m_link->display(), &LinkDisplay::traffic, this, [this](const QString &text, LinkExchange::Traffic kind) {
        const QColor color = kind == LinkExchange::Traffic::Received ? kReceived
                             : kind == LinkExchange::Traffic::Sent   ? kSent
                                                                     : kMark;
        txtInOut->appendText(text, color);
    });
    connect(&m_link->display(), &LinkDisplay::infoLine, this, [this](const QString &text) { txtinfo->appendText(text); });
    connect(&m_link->display(), &LinkDisplay::cmdInfoLine, this, [this](const QString &text) { txtCmdInfo->appendText(text); });
    connect(&m_link->port(), &LinkPort::portLost, this, [this](const QString &reason) {
        lblInfo->setText(LinkTuning::infoText(m_state.serial) + QStringLiteral(": порт потерян (") + reason +
                         QLatin1Char(')'));
    });
    connect(&m_link->display(), &LinkDisplay::lampsChanged, this, [this](bool tx, bool rx) {
        setLamp(lblTx, tx);
        setLamp(lblRX, rx);
    });
    resize(ScreenFit::initialSize(this, QSize(1100, 700)));
}

frmLink::~frmLink() = default;

void frmLink::buildWindow()
{
    buildDataArea();
    buildTestArea();
    buildModeArea();
    buildFirmwareMode();
    buildProfileMode();
    buildBookMode();
    lblInfo = named(new QLabel(this), QStringLiteral("lblInfo"));

    // Address book and terminal area each half the width and half the height;
    // the mode area fills the right half.
    auto *grid = m_grid = new QGridLayout(this);
    grid->addWidget(fraData, 0, 0);
    grid->addWidget(FraTest, 1, 0);
    grid->addWidget(fraLink, 0, 1, 2, 1);
    grid->addWidget(lblInfo, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    // Even margins: the window's smallest width fits a 1024-pixel screen with its frame.
    grid->setContentsMargins(6, 4, 6, 8);

    buildWaitCover();
    keepHalves();
}

void frmLink::keepHalves()
{
    // Stretch alone gives each column half only above both columns' minimums; the same
    // minimum on both keeps the halves at every size the window can take.
    const QSize book = fraData->minimumSizeHint();
    const QSize test = FraTest->minimumSizeHint();
    const QSize link = fraLink->minimumSizeHint();
    const int width = std::max({book.width(), test.width(), link.width()});
    m_grid->setColumnMinimumWidth(0, width);
    m_grid->setColumnMinimumWidth(1, width);
    const int height = std::max({book.height(), test.height(), (link.height() - m_grid->verticalSpacing() + 1) / 2});
    m_grid->setRowMinimumHeight(0, height);
    m_grid->setRowMinimumHeight(1, height);
}

void frmLink::buildDataArea()
{
    fraData = named(new QGroupBox(this), QStringLiteral("fraData"));
    m_book = new AddressBookPanel(m_state.database, m_prompts, fraData);
    auto *layout = new QVBoxLayout(fraData);
    layout->addWidget(m_book);
    connect(m_book, &AddressBookPanel::rowColChanged, this, [this] { m_firmware->clearContinueFromLast(); });
    connect(m_book, &AddressBookPanel::terminalNumberChanged, this,
            [this](const QString &number) { m_state.terminalNumber = number; });
    // One chosen terminal: the profile's number follows the book in every mode.
    connect(m_book, &AddressBookPanel::recordClicked, this,
            [this](const QString &, const QString &number) { m_profile->setProfileNumber(number); });
}

void frmLink::buildTestArea()
{
    FraTest = named(new QGroupBox(QStringLiteral("Com порт"), this), QStringLiteral("FraTest"));
    txtInOut = named(new LogBox(FraTest), QStringLiteral("txtInOut"));
    txtsend = named(new QLineEdit(FraTest), QStringLiteral("txtsend"));
    cmdSend = named(new QPushButton(QStringLiteral("Послать"), FraTest), QStringLiteral("cmdSend"));
    chkEcho = named(new QCheckBox(QStringLiteral("Эхо"), FraTest), QStringLiteral("chkEcho"));
    cmdClear = named(new QPushButton(QStringLiteral("Clear"), FraTest), QStringLiteral("cmdClear"));
    Command1 = named(new QPushButton(QStringLiteral("Прервать сценарий"), FraTest), QStringLiteral("Command1"));
    cmdSend->setAutoDefault(false);
    cmdClear->setAutoDefault(false);
    Command1->setAutoDefault(false);
    auto *sendCaption = new QLabel(QStringLiteral("Передаваемые данные"), FraTest);
    sendCaption->setBuddy(txtsend);
    auto *testLayout = new QGridLayout(FraTest);
    testLayout->addWidget(txtInOut, 0, 0, 1, 4);
    testLayout->addWidget(sendCaption, 1, 0, 1, 4);
    testLayout->addWidget(txtsend, 2, 0, 1, 3);
    testLayout->addWidget(cmdSend, 2, 3);
    testLayout->addWidget(chkEcho, 3, 0);
    testLayout->addWidget(cmdClear, 3, 2);
    testLayout->addWidget(Command1, 3, 3);
    testLayout->setColumnStretch(1, 1);
    testLayout->setRowStretch(0, 1);


    connect(cmdSend, &QPushButton::clicked, this, &frmLink::cmdSend_Click);
    connect(txtsend, &QLineEdit::returnPressed, this, &frmLink::cmdSend_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmLink::cmdClear_Click);
    connect(Command1, &QPushButton::clicked, this, &frmLink::Command1_Click);
    connect(chkEcho, &QCheckBox::toggled, this, [this](bool on) { m_link->display().setEcho(on); });
}

void frmLink::buildModeArea()
{
    fraLink = named(new QGroupBox(this), QStringLiteral("fraLink"));
    auto *linkLayout = new QVBoxLayout(fraLink);
    auto *optionRow = new QHBoxLayout;
    const QString captions[3] = {QStringLiteral("Загрузка ПО"), QStringLiteral("Загрузка/считывание профиля"),
                                 QStringLiteral("Адресеная книга")};
    m_modes = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        OptIndex[i] = named(new QRadioButton(captions[i], fraLink), QStringLiteral("OptIndex_%1").arg(i));
        m_modes->addButton(OptIndex[i], i);
        optionRow->addWidget(OptIndex[i]);
    }
    optionRow->addStretch(1);
    linkLayout->addLayout(optionRow);
    // Pages, so the mode area is sized for the widest of the three modes, not the one shown.
    m_modePages = new QStackedLayout;
    for (int i = 0; i < 3; ++i) {
        FraIndex[i] = named(new QGroupBox(fraLink), QStringLiteral("FraIndex_%1").arg(i));
        m_modePages->addWidget(FraIndex[i]);
    }
    linkLayout->addLayout(m_modePages, 1);
    FraIndex[2]->setTitle(QStringLiteral("Адресная книга"));
    // Any click on an option, the user's or the program's, runs the mode handler.
    connect(m_modes, &QButtonGroup::idClicked, this, &frmLink::OptIndex_Click);
    connect(m_modes, &QButtonGroup::idToggled, this, [this](int, bool) { m_link->port().setRoute(LinkExchange::Route(selectedMode())); });

}

void frmLink::buildFirmwareMode()
{
    auto *loadLayout = new QGridLayout(FraIndex[0]);
    auto *stateCaption = new QLabel(QStringLiteral("Состояние"), FraIndex[0]);
    txtinfo = named(new LogBox(FraIndex[0]), QStringLiteral("txtinfo"));
    lblTx = named(new QLineEdit(QStringLiteral("Tx"), FraIndex[0]), QStringLiteral("lblTx"));
    lblRX = named(new QLineEdit(QStringLiteral("Rx"), FraIndex[0]), QStringLiteral("lblRX"));
    for (QLineEdit *lamp : {lblTx, lblRX}) {
        lamp->setReadOnly(true);
        lamp->setFocusPolicy(Qt::NoFocus);
        lamp->setAlignment(Qt::AlignCenter);
        lamp->setFixedWidth(lamp->fontMetrics().horizontalAdvance(QStringLiteral("Rx")) * 2 + 16);
        lamp->setAutoFillBackground(true);
        setLamp(lamp, false);
    }
    loadLayout->addWidget(stateCaption, 0, 0);
    loadLayout->addWidget(lblTx, 0, 2);
    loadLayout->addWidget(lblRX, 0, 3);
    loadLayout->addWidget(txtinfo, 1, 0, 1, 4);
    loadLayout->setColumnStretch(1, 1);
    loadLayout->setRowStretch(1, 1);
    m_firmware = new FirmwarePanel(m_state, m_prompts, *m_line, FraIndex[0]);
    loadLayout->addWidget(m_firmware, 2, 0, 1, 4);
    connect(m_firmware, &FirmwarePanel::logsCleared, this, [this] {
        txtInOut->clearLog();
        txtinfo->clearLog();
    });

    connect(m_book, &AddressBookPanel::terminalChanged, m_firmware, &FirmwarePanel::setTerminal);
}

void frmLink::buildProfileMode()
{
    auto *profileLayout = new QVBoxLayout(FraIndex[1]);
    m_profile = new ProfilePanel(m_state, m_prompts, *m_line, FraIndex[1]);
    profileLayout->addWidget(m_profile);
    m_book->setTaskBook(m_profile->taskBook());
    txtCmdInfo = m_profile->cmdInfoBox();
}

void frmLink::buildBookMode()
{
    m_phoneBook = new PhoneBookGrid(FraIndex[2]);
    auto *layout = new QVBoxLayout(FraIndex[2]);
    layout->addWidget(m_phoneBook);
}

void frmLink::buildWaitCover()
{
    // Covers the window while the modem is checked.
    Frawait = named(new QFrame(this), QStringLiteral("Frawait"));
    Frawait->setAutoFillBackground(true);
    Frawait->setFrameShape(QFrame::Box);
    auto *waitLabel = new QLabel(QStringLiteral("Ждите. Проверка модема."), Frawait);
    QFont big = waitLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    waitLabel->setFont(big);
    auto *waitLayout = new QVBoxLayout(Frawait);
    waitLayout->addWidget(waitLabel, 0, Qt::AlignCenter);
    Frawait->raise();

}

void frmLink::setLamp(QLineEdit *lamp, bool on)
{
    QPalette p = lamp->palette();
    p.setColor(QPalette::Base, on ? kLampOn : QColor(Qt::white));
    lamp->setPalette(p);
}

int frmLink::selectedMode() const
{
    for (int i = 0; i < 3; ++i) {
        if (OptIndex[i]->isChecked())
            return i;
    }
    return -1;
}

void frmLink::OptIndex_Click(int index)
{
    // The profile panel may offer stopping a running scenario; false keeps the frames.
    if (!m_profile->modeChangeGuard(index))
        return;
    m_modePages->setCurrentIndex(index);
}

void frmLink::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    Frawait->setGeometry(rect());
    Frawait->raise();
}

void frmLink::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Each time the window is put on screen it checks the modem again; it runs
    // after the window has painted so the operator sees the waiting notice.
    if (!event->spontaneous() && !m_checkRunning) {
        keepHalves();
        Frawait->setGeometry(rect());
        Frawait->show();
        Frawait->raise();
        QTimer::singleShot(0, this, &frmLink::Form_Activate);
    }
}

void frmLink::LinkTune()
{
    QString info;
    ::LinkTune(MSComm1, m_state.serial, &m_prompts, &info);
    // A port lost earlier is watched again once reopened.
    m_link->port().setDevice(&MSComm1);
    lblInfo->setText(info);
}

void frmLink::Form_Activate()
{
    if (m_checkRunning || m_close->closing())
        return;
    m_checkRunning = true;

    m_profile->Form_Activate();
    OptIndex[0]->click();
    m_firmware->activate();

    m_link->port().newReceiver();
    m_book->refresh();
    m_book->setTerminalNumber(m_state.terminalNumber);
    LinkTune();
    // The check runs on the line; the window goes on painting and learns the outcome when it ends.
    auto result = std::make_shared<ModemCheckResult>();
    const quint64 ticket = m_line->submit(&m_operations, ModemLine::Operation::ModemCheck,
                                          [this, result]() -> Task<void> { return storeModemCheck(*m_link, result); });
    // The check's ticket ends once, however it ends (dropped by a close included): the wait cover
    // goes and a later activation checks again.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(m_line, &ModemLine::finished, this, [this, ticket, result, connection](quint64 ended) {
        if (ended != ticket)
            return;
        disconnect(*connection);
        modemCheckEnded(result->modemReady);
    });
}

void frmLink::modemCheckEnded(bool modemReady)
{
    m_modemReady = modemReady;
    m_book->selectFirstRow();
    m_phoneBook->prepare();

    Frawait->hide();
    m_checkRunning = false;
    m_profile->announceRoute();
    emit modemCheckFinished(m_modemReady);
}

void frmLink::cmdSend_Click()
{
    if (portLostSaid(*m_line, m_prompts))
        return;
    m_link->port().SendStringCR(txtsend->text());
}

void frmLink::cmdClear_Click()
{
    txtinfo->clearLog();
    txtInOut->clearLog();
    txtCmdInfo->clearLog();
}

void frmLink::Command1_Click()
{
    m_profile->Command1_Click();
}

void frmLink::Form_QueryUnload()
{
    m_firmware->storeFilePaths();
    m_profile->Form_QueryUnload();
    // The receiver goes with the link; the port closes with the window.
    MSComm1.close();
}

void frmLink::keyPressEvent(QKeyEvent *event)
{
    // Esc would close the window in the middle of an upload: the window closes only on purpose.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmLink::done(int result)
{
    m_close->request(result);
}

void frmLink::closeNow(int result)
{
    // Whatever else waits (a poll, a check) is abandoned where it stands.
    m_line->abandonAll();
    Form_QueryUnload();
    QDialog::done(result);
}
