#include "core/link/LinkExchange.h"

#include "core/common/HexText.h"
#include "core/link/mdlStrings.h"

#include <QIODevice>
#include <QSerialPort>

LinkExchange::LinkExchange(QObject *parent) : QObject(parent)
{
    m_tmrReply.setHandler([this] { tmrReply_Timer(); });
    m_tmrDelay.setHandler([this] { tmrDelay_Timer(); });
    m_smsList.append(std::array<QString, 2>{});
    m_rxLampTimer.setInterval(150);
    m_rxLampTimer.setHandler([this] { setLamps(m_txLamp, false); });
    newReceiver();
}

LinkExchange::~LinkExchange()
{
    // A conversation still suspended here is abandoned by its owner, never resumed.
    m_shutdown = true;
    m_waiter = {};
}

void LinkExchange::setClock(Clock *clock)
{
    m_clock = clock ? clock : &Clock::system();
    m_tmrReply.setClock(m_clock);
    m_tmrDelay.setClock(m_clock);
    m_rxLampTimer.setClock(m_clock);
}

void LinkExchange::setTimeScale(double scale)
{
    auto own = std::make_unique<SystemClock>(scale);
    setClock(own.get());
    m_ownClock = std::move(own);
}

void LinkExchange::wake()
{
    if (!m_waiter || m_resumePosted)
        return;
    m_resumePosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_resumePosted = false;
            if (const std::coroutine_handle<> waiter = std::exchange(m_waiter, {}))
                waiter.resume();
        },
        Qt::QueuedConnection);
}

void LinkExchange::setDevice(QIODevice *device)
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = device;
    m_portLost = false;
    if (!device)
        return;
    // Queued, so the handler never runs inside the device's own signal
    // emission: a wait started by a received byte then still gets the
    // device's next readyRead.
    connect(device, &QIODevice::readyRead, this, &LinkExchange::MSComm1_OnComm, Qt::QueuedConnection);
    // Without these a vanished port keeps its notifier firing: the wait would spin
    // on empty reads until its time-out.
    connect(device, &QIODevice::readChannelFinished, this,
            [this] { loseDevice(QStringLiteral("конец данных")); });
    if (auto *serial = qobject_cast<QSerialPort *>(device)) {
        connect(serial, &QSerialPort::errorOccurred, this, [this, serial](QSerialPort::SerialPortError error) {
            // An unplugged adapter reports a resource error; a pseudo-terminal whose far end
            // closed fails every read (a read error that repeats without end).
            if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
                loseDevice(serial->errorString());
        });
    }
}

void LinkExchange::loseDevice(const QString &reason)
{
    if (m_portLost || !m_device)
        return;
    m_portLost = true;
    QIODevice *device = m_device;
    disconnect(device, nullptr, this, nullptr);
    device->close();
    appendInfo(QStringLiteral("Порт потерян: ") + reason + QStringLiteral("\r\n"));
    m_tmrReply.stop();
    if (m_replyState == ReplyState::Waiting)
        m_replyState = ReplyState::PortLost;
    emit portLost(reason);
    m_tmrDelay.stop();
    m_delayRunning = false;
    wake();
}

clsReceive *LinkExchange::newReceiver()
{
    auto *receiver = new clsReceive(this);
    receiver->setSmsTable(&m_smsList);
    attachReceiver(receiver);
    return receiver;
}

void LinkExchange::attachReceiver(clsReceive *receiver)
{
    if (m_receiver) {
        disconnect(m_receiver, nullptr, this, nullptr);
        // A byte handler of the old receiver may still be on the stack.
        m_receiver->deleteLater();
    }
    m_receiver = receiver;
    connect(receiver, &clsReceive::DataReady, this, &LinkExchange::receiver_dataready);
    connect(receiver, &clsReceive::ListLine, this, &LinkExchange::receiver_listLine);
}

void LinkExchange::setLamps(bool tx, bool rx)
{
    if (tx == m_txLamp && rx == m_rxLamp)
        return;
    m_txLamp = tx;
    m_rxLamp = rx;
    emit lampsChanged(tx, rx);
}

void LinkExchange::flushReceived()
{
    if (m_pendingReceived.isEmpty())
        return;
    const QString text = m_pendingReceived;
    m_pendingReceived.clear();
    emit traffic(text, Traffic::Received);
}

void LinkExchange::emitTraffic(const QString &text, Traffic kind)
{
    // Received text is gathered per drain; anything else written in between
    // must come after the bytes already received.
    flushReceived();
    if (!text.isEmpty())
        emit traffic(text, kind);
}

void LinkExchange::logMark(const QString &text)
{
    emitTraffic(text, Traffic::Mark);
}

void LinkExchange::MSComm1_OnComm()
{
    if (!m_device)
        return;
    setLamps(false, true);
    m_rxLampTimer.start();
    char c = 0;
    // One byte at a time: an exchange started by a byte handler may drain the
    // rest itself, and the order of bytes stays the order of arrival.
    while (m_device && m_device->bytesAvailable() > 0 && m_device->getChar(&c)) {
        const quint8 b = quint8(c);
        m_recent.append(char(b));
        if (m_recent.size() > 512)
            m_recent.remove(0, 256);
        clsReceive *receiver = m_receiver;
        const bool textMode = !receiver || receiver->mode() == clsReceive::Mode::Text;
        if (textMode) {
            m_pendingReceived.append(mdlStrings::ansiChar(b));
            if (m_smsPromptPending && b == 0x3E) {
                // The prompt only releases the body. The "AT+CMGS=" exchange goes on waiting
                // for the modem's verdict on the message: "+CMGS: n" and "OK", or an error.
                m_smsPromptPending = false;
                SendStringCR(m_vSMS + QChar(0x1A));
            }
        } else {
            m_pendingReceived.append(mdlStrings::ByteToHex(b));
        }
        receiver = m_receiver;
        if (m_smsListing && receiver)
            receiver->ByteWHSE(b);
        receiver = m_receiver;
        const Route to = route();
        if (to == Route::Receiver || (to == Route::Scenario && m_commandWaits > 0)) {
            // In the profile mode an exchange of the link (a module send, the poll) still needs
            // its answer; the scenario engine only talks while no exchange waits. A listing
            // already reaches the receiver through ByteWHSE.
            if (receiver && !(to == Route::Scenario && m_smsListing))
                receiver->ByteArrive(b);
        } else if (to == Route::Scenario) {
            emit scenarioByte(b);
        }
    }
    flushReceived();
}

void LinkExchange::writeBytes(const QByteArray &bytes)
{
    if (!m_device || !m_device->isOpen() || bytes.isEmpty())
        return;
    m_device->write(bytes);
}

bool LinkExchange::echoAsText() const
{
    return !m_receiver || m_receiver->mode() == clsReceive::Mode::Text;
}

void LinkExchange::SendString(const QString &sOut)
{
    setLamps(true, false);
    const QByteArray bytes = mdlStrings::toAnsi(sOut);
    if (m_echo)
        emitTraffic(echoAsText() ? sOut : HexText::bytes(bytes, QLatin1Char(' ')), Traffic::Sent);
    writeBytes(bytes);
    setLamps(m_txLamp, false);
}

void LinkExchange::sendBytes(const QByteArray &bytes)
{
    setLamps(true, false);
    if (m_echo)
        emitTraffic(echoAsText() ? mdlStrings::fromAnsi(bytes) : HexText::bytes(bytes, QLatin1Char(' ')), Traffic::Sent);
    writeBytes(bytes);
    setLamps(m_txLamp, false);
}

void LinkExchange::SendStringCR(const QString &sOut)
{
    const QByteArray bytes = mdlStrings::toAnsi(sOut);
    if (m_echo)
        emitTraffic((echoAsText() ? sOut : HexText::bytes(bytes, QLatin1Char(' '))) + QLatin1Char('\r'), Traffic::Sent);
    writeBytes(bytes + '\r');
}

void LinkExchange::armTimer(ClockTimer &timer, Timer which, int ms)
{
    // The timers take a 16-bit interval.
    const int nominal = qBound(0, ms, 32767);
    timer.start(nominal);
    emit timerArmed(which, nominal);
}

void LinkExchange::armSmsPrompt(const QString &body)
{
    m_vSMS = body;
    m_smsPromptPending = true;
}

bool LinkExchange::answerPasses(const QString &answer, const QStringList &expected)
{
    bool any = false;
    for (const QString &r : expected) {
        if (r.isEmpty())
            continue;
        any = true;
        if (answer.startsWith(r))
            return true;
    }
    return !any;
}

void LinkExchange::clearSmsPrompt()
{
    m_smsPromptPending = false;
    m_vSMS.clear();
}

void LinkExchange::clearSmsList()
{
    m_smsList.clear();
    m_smsList.append(std::array<QString, 2>{});
}

Task<void> LinkExchange::waitForReply()
{
    ++m_commandWaits;
    while (m_replyState == ReplyState::Waiting) {
        if (breakBinds() || m_shutdown) {
            m_tmrReply.stop();
            m_replyPeriodsLeft = 0;
            if (m_receiver)
                m_receiver->stopLineScan(true);
            m_replyState = ReplyState::Broken;
            break;
        }
        co_await WakeAwaiter{*this, {}};
    }
    --m_commandWaits;
}

bool LinkExchange::finishExchange(bool passed, const QString &rejectedLine)
{
    switch (m_replyState) {
    case ReplyState::Answered:
        if (passed)
            return true;
        appendInfo(rejectedLine + QStringLiteral("\r\n"));
        return false;
    case ReplyState::TimedOut:
        appendInfo(QStringLiteral("Таймаут на ответ ") + QStringLiteral("\r\n"));
        return false;
    case ReplyState::Broken:
        // Said once per break: the steps after it fail without a line each.
        if (!m_breakLogged)
            appendInfo(QStringLiteral("Прервано пользователем ") + QStringLiteral("\r\n"));
        m_breakLogged = m_breakRequested;
        return false;
    case ReplyState::PortLost: // said once, when the port went
        return false;
    default:
        return false;
    }
}

bool LinkExchange::beginExchange(QStringList &expected, int iTimeOut, int periods)
{
    for (QString &r : expected)
        r = r.toUpper();
    if (m_shutdown)
        return false;
    if (m_portLost) {
        m_replyState = ReplyState::PortLost;
        return false;
    }
    if (breakBinds()) {
        // Broken off before this step: it neither writes nor waits.
        m_replyState = ReplyState::Broken;
        finishExchange(false, QString());
        return false;
    }
    m_replyPeriods = qint16(periods);
    m_replyPeriodsLeft = qint16(periods);
    m_replyState = ReplyState::Waiting;
    m_answer = Answer();
    armTimer(m_tmrReply, Timer::Reply, iTimeOut);
    return true;
}

Task<bool> LinkExchange::sendCommand(QString sCMD, QStringList expected, int iTimeOut)
{
    if (!beginExchange(expected, iTimeOut, 5))
        co_return false;
    SendStringCR(sCMD);
    if (m_receiver) {
        m_receiver->stopLineScan(false);
        bool ring = false;
        for (const QString &r : std::as_const(expected))
            ring = ring || r.startsWith(QLatin1String("RING"));
        m_receiver->setRingIsAnswer(ring);
    }

    co_await waitForReply();

    const QString answer = m_answer.word;
    co_return finishExchange(m_replyState == ReplyState::Answered && answerPasses(answer, expected),
                             QStringLiteral("Ответ ") + answer + QStringLiteral(" не позволяет продолжение сценария"));
}

Task<bool> LinkExchange::sendData(QByteArray sCMD, QStringList expected, int iTimeOut, int LengthIn)
{
    if (!beginExchange(expected, iTimeOut, 2))
        co_return false;

    if (m_receiver) {
        while (expected.size() < 3)
            expected.append(QString());
        m_receiver->expectData(expected, LengthIn);
    }
    if (!sCMD.isEmpty())
        sendBytes(sCMD);

    co_await waitForReply();

    const QString answer = m_answer.data;
    const QString codes = HexText::bytesUnpadded(mdlStrings::toAnsi(answer));
    co_return finishExchange(m_replyState == ReplyState::Answered && answerPasses(answer, expected),
                             QStringLiteral("Ответ ") + codes
                                 + QStringLiteral(" не ожидался в данный момент выполнение прервано"));
}

void LinkExchange::tmrReply_Timer()
{
    if (m_replyPeriodsLeft <= 0) {
        m_tmrReply.stop();
        logMark(QStringLiteral("TIMEOUT"));
        if (m_receiver)
            m_receiver->setTextMode();
        m_replyState = ReplyState::TimedOut;
        wake();
        return;
    }
    --m_replyPeriodsLeft;
    m_tmrReply.start();
}

void LinkExchange::receiver_dataready()
{
    // Only the first completion counts: later bytes must not change an answer that matched.
    if (m_replyState != ReplyState::Waiting || !m_receiver)
        return;
    m_tmrReply.stop();
    m_replyPeriodsLeft = 0;
    m_answer = {m_receiver->sAnswer(), m_receiver->sRemain(), m_receiver->dataIn(), m_receiver->answerIndex()};
    m_replyState = ReplyState::Answered;
    wake();
}

void LinkExchange::receiver_listLine()
{
    // A long listing on a slow line is still coming: its time-out counts from its last line.
    if (m_replyState != ReplyState::Waiting || !m_smsListing || !m_tmrReply.isActive())
        return;
    m_replyPeriodsLeft = m_replyPeriods;
    m_tmrReply.start();
}

Task<void> LinkExchange::Delay(int iDelay)
{
    // A lost port ends every pause at once: nothing is left to wait for. A break does too,
    // except for the steps that leave a data call.
    if (m_shutdown || m_portLost || breakBinds())
        co_return;
    m_delayRunning = true;
    armTimer(m_tmrDelay, Timer::Delay, iDelay);
    while (m_delayRunning && !m_shutdown && !m_portLost && !breakBinds())
        co_await WakeAwaiter{*this, {}};
    m_tmrDelay.stop();
    m_delayRunning = false;
}

void LinkExchange::tmrDelay_Timer()
{
    m_tmrDelay.stop();
    m_delayRunning = false;
    wake();
}

Task<void> LinkExchange::waitFor(std::function<bool()> condition)
{
    while (!condition() && !m_shutdown && !m_portLost && !breakBinds())
        co_await WakeAwaiter{*this, {}};
}

Task<void> LinkExchange::Send3Plus()
{
    if (breakBinds())
        co_return;
    co_await Delay(1600);
    SendString(QStringLiteral("+++"));
    co_await Delay(1600);
    SendStringCR(QStringLiteral("AT"));
}

Task<bool> LinkExchange::TestCmdMode()
{
    appendInfo(QStringLiteral("Проверка отклика модема") + QStringLiteral("\r\n"));
    return sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 50);
}

void LinkExchange::requestBreak()
{
    m_breakRequested = true;
    wake();
}

void LinkExchange::endBreak()
{
    m_breakRequested = false;
    m_breakLogged = false;
}

void LinkExchange::abandonWaits()
{
    m_waiter = {};
    m_tmrReply.stop();
    m_tmrDelay.stop();
    m_delayRunning = false;
    m_commandWaits = 0;
    if (m_replyState == ReplyState::Waiting)
        m_replyState = ReplyState::Broken;
    m_smsListing = false;
    clearSmsPrompt();
    endBreak();
}

void LinkExchange::shutdown()
{
    m_shutdown = true;
    m_tmrReply.stop();
    m_tmrDelay.stop();
    m_delayRunning = false;
    wake();
}
