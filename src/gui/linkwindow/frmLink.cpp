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
#include "gui/linkwindow/AddressBookPanel.h"
#include "gui/linkwindow/FirmwarePanel.h"
#include "gui/linkwindow/LinkStateView.h"
#include "gui/linkwindow/LinkWindowClose.h"
#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/ModemCheckCover.h"
#include "gui/linkwindow/ModeSwitch.h"
#include "gui/linkwindow/PhoneBookGrid.h"
#include "gui/linkwindow/PortTestBox.h"
#include "gui/linkwindow/ProfilePanel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

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
    wirePanels();
    resize(ScreenFit::initialSize(this, QSize(1100, 700)));
}

frmLink::~frmLink() = default;

void frmLink::buildWindow()
{
    buildDataArea();
    m_test = new PortTestBox(this);
    m_modes = new ModeSwitch(this);
    buildModePages();
    lblInfo = named(new QLabel(this), QStringLiteral("lblInfo"));

    // Address book and terminal area each half the width and half the height;
    // the mode area fills the right half.
    auto *grid = m_grid = new QGridLayout(this);
    grid->addWidget(fraData, 0, 0);
    grid->addWidget(m_test, 1, 0);
    grid->addWidget(m_modes, 0, 1, 2, 1);
    grid->addWidget(lblInfo, 2, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    grid->setRowStretch(1, 1);
    // Even margins: the window's smallest width fits a 1024-pixel screen with its frame.
    grid->setContentsMargins(6, 4, 6, 8);

    m_cover = new ModemCheckCover(this);
    keepHalves();
}

void frmLink::keepHalves()
{
    // Stretch alone gives each column half only above both columns' minimums; the same
    // minimum on both keeps the halves at every size the window can take.
    const QSize book = fraData->minimumSizeHint();
    const QSize test = m_test->minimumSizeHint();
    const QSize link = m_modes->minimumSizeHint();
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
}

void frmLink::buildModePages()
{
    // Firmware: the link's state over the firmware panel, which gets what height is left.
    auto *firmwareLayout = new QGridLayout(m_modes->page(0));
    m_stateView = new LinkStateView(m_modes->page(0));
    firmwareLayout->addWidget(m_stateView, 0, 0);
    firmwareLayout->setRowStretch(0, 1);
    m_firmware = new FirmwarePanel(m_state, m_prompts, *m_line, m_modes->page(0));
    firmwareLayout->addWidget(m_firmware, 1, 0);

    auto *profileLayout = new QVBoxLayout(m_modes->page(1));
    m_profile = new ProfilePanel(m_state, m_prompts, *m_line, m_modes->page(1));
    profileLayout->addWidget(m_profile);
    m_book->setTaskBook(m_profile->taskBook());

    m_phoneBook = new PhoneBookGrid(m_modes->page(2));
    auto *bookLayout = new QVBoxLayout(m_modes->page(2));
    bookLayout->addWidget(m_phoneBook);
}

void frmLink::wirePanels()
{
    connect(m_book, &AddressBookPanel::rowColChanged, m_firmware, &FirmwarePanel::clearContinueFromLast);
    connect(m_book, &AddressBookPanel::terminalNumberChanged, this,
            [this](const QString &number) { m_state.terminalNumber = number; });
    // One chosen terminal: the profile's number follows the book in every mode.
    connect(m_book, &AddressBookPanel::recordClicked, m_profile,
            [this](const QString &, const QString &number) { m_profile->setProfileNumber(number); });
    connect(m_book, &AddressBookPanel::terminalChanged, m_firmware, &FirmwarePanel::setTerminal);

    connect(m_test, &PortTestBox::sendRequested, this, &frmLink::sendTestLine);
    // cmdClear: the test box has emptied the traffic log, the other two go with it.
    connect(m_test, &PortTestBox::logsCleared, this, [this] {
        m_stateView->clearLog();
        m_profile->cmdInfoBox()->clearLog();
    });
    connect(m_test, &PortTestBox::stopScenarioRequested, m_profile, &ProfilePanel::Command1_Click);
    connect(m_test, &PortTestBox::echoToggled, this, [this](bool on) { m_link->display().setEcho(on); });
    connect(m_firmware, &FirmwarePanel::logsCleared, this, [this] {
        m_test->clearLog();
        m_stateView->clearLog();
    });

    // Any click on an option, the user's or the program's, runs the mode handler.
    connect(m_modes, &ModeSwitch::modeClicked, this, &frmLink::OptIndex_Click);
    // Received bytes follow the option, whether or not its page could be shown.
    connect(m_modes, &ModeSwitch::selectedModeChanged, this,
            [this](int mode) { m_link->port().setRoute(LinkExchange::Route(mode)); });

    LinkDisplay &display = m_link->display();
    connect(&display, &LinkDisplay::traffic, m_test, &PortTestBox::showTraffic);
    connect(&display, &LinkDisplay::infoLine, m_stateView, &LinkStateView::appendInfo);
    connect(&display, &LinkDisplay::cmdInfoLine, this,
            [this](const QString &text) { m_profile->cmdInfoBox()->appendText(text); });
    connect(&display, &LinkDisplay::lampsChanged, m_stateView, &LinkStateView::setLamps);
    connect(&m_link->port(), &LinkPort::portLost, this, [this](const QString &reason) {
        lblInfo->setText(LinkTuning::infoText(m_state.serial) + QStringLiteral(": порт потерян (") + reason +
                         QLatin1Char(')'));
    });
}

void frmLink::OptIndex_Click(int index)
{
    // The profile panel may offer stopping a running scenario; false keeps the frames.
    if (!m_profile->modeChangeGuard(index))
        return;
    m_modes->showPage(index);
}

void frmLink::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Each time the window is put on screen it checks the modem again; it runs
    // after the window has painted so the operator sees the waiting notice.
    if (!event->spontaneous() && !m_checkRunning) {
        keepHalves();
        m_cover->cover();
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
    m_modes->choose(0);
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

    m_cover->hide();
    m_checkRunning = false;
    m_profile->announceRoute();
    emit modemCheckFinished(m_modemReady);
}

void frmLink::sendTestLine(const QString &text)
{
    if (portLostSaid(*m_line, m_prompts))
        return;
    m_link->port().SendStringCR(text);
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
