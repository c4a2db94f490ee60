#include "core/link/LinkExchange.h"

#include "core/common/HexText.h"
#include "core/common/CodePage.h"


LinkExchange::LinkExchange(QObject *parent) : QObject(parent), m_port(m_display, m_sms)
{
    m_tmrReply.setHandler([this] { replyTimedOut(); });
    m_tmrDelay.setHandler([this] { tmrDelay_Timer(); });
    connect(&m_port, &LinkPort::receiverChanged, this, &LinkExchange::attachReceiver);
    connect(&m_port, &LinkPort::portLost, this, &LinkExchange::portWentAway);
    m_port.newReceiver();
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
    m_display.setClock(m_clock);
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

void LinkExchange::portWentAway()
{
    // The port told the operator; every wait ends now, later ones fail without waiting.
    m_tmrReply.stop();
    if (m_replyState == ReplyState::Waiting)
        m_replyState = ReplyState::PortLost;
    m_tmrDelay.stop();
    m_delayRunning = false;
    wake();
}

void LinkExchange::attachReceiver(clsReceive *receiver)
{
    connect(receiver, &clsReceive::DataReady, this, &LinkExchange::receiver_dataready);
    connect(receiver, &clsReceive::ListLine, this, &LinkExchange::receiver_listLine);
}

void LinkExchange::armTimer(ClockTimer &timer, Timer which, int ms)
{
    // The timers take a 16-bit interval.
    const int nominal = qBound(0, ms, 32767);
    timer.start(nominal);
    emit timerArmed(which, nominal);
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

Task<void> LinkExchange::waitForReply()
{
    ++m_commandWaits;
    m_port.setAnswerAwaited(true);
    while (m_replyState == ReplyState::Waiting) {
        if (breakBinds() || m_shutdown) {
            m_tmrReply.stop();
            m_replyPeriodsLeft = 0;
            if (clsReceive *receiver = m_port.receiver())
                receiver->stopLineScan(true);
            m_replyState = ReplyState::Broken;
            break;
        }
        co_await WakeAwaiter{*this, {}};
    }
    --m_commandWaits;
    m_port.setAnswerAwaited(m_commandWaits > 0);
}

bool LinkExchange::finishExchange(bool passed, const QString &rejectedLine)
{
    switch (m_replyState) {
    case ReplyState::Answered:
        if (passed)
            return true;
        m_display.appendInfo(rejectedLine + QStringLiteral("\r\n"));
        return false;
    case ReplyState::TimedOut:
        m_display.appendInfo(QStringLiteral("Таймаут на ответ ") + QStringLiteral("\r\n"));
        return false;
    case ReplyState::Broken:
        // Said once per break: the steps after it fail without a line each.
        // An owner that goes is no operator's break: nothing to say.
        if (!m_breakLogged && !m_unwinding)
            m_display.appendInfo(QStringLiteral("Прервано пользователем ") + QStringLiteral("\r\n"));
        m_breakLogged = m_breakRequested || m_unwinding;
        return false;
    case ReplyState::PortLost: // said once, when the port went
        return false;
    default:
        return false;
    }
}

bool LinkExchange::beginExchange(QStringList &expected, int timeoutMs, int periods)
{
    for (QString &r : expected)
        r = r.toUpper();
    if (m_shutdown)
        return false;
    if (m_port.isPortLost()) {
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
    armTimer(m_tmrReply, Timer::Reply, timeoutMs);
    return true;
}

Task<bool> LinkExchange::sendCommand(QString command, QStringList expected, int timeoutMs)
{
    if (!beginExchange(expected, timeoutMs, 5))
        co_return false;
    m_port.SendStringCR(command);
    if (clsReceive *receiver = m_port.receiver()) {
        receiver->stopLineScan(false);
        bool ring = false;
        for (const QString &r : std::as_const(expected))
            ring = ring || r.startsWith(QLatin1String("RING"));
        receiver->setRingIsAnswer(ring);
    }

    co_await waitForReply();

    const QString answer = m_answer.word;
    co_return finishExchange(m_replyState == ReplyState::Answered && answerPasses(answer, expected),
                             QStringLiteral("Ответ ") + answer + QStringLiteral(" не позволяет продолжение сценария"));
}

Task<bool> LinkExchange::sendData(QByteArray command, QStringList expected, int timeoutMs, int expectedLength)
{
    if (!beginExchange(expected, timeoutMs, 2))
        co_return false;

    if (clsReceive *receiver = m_port.receiver()) {
        while (expected.size() < 3)
            expected.append(QString());
        receiver->expectData(expected, expectedLength);
    }
    if (!command.isEmpty())
        m_port.sendBytes(command);

    co_await waitForReply();

    const QString answer = m_answer.data;
    const QString codes = HexText::bytesUnpadded(CodePage::toAnsi(answer));
    co_return finishExchange(m_replyState == ReplyState::Answered && answerPasses(answer, expected),
                             QStringLiteral("Ответ ") + codes
                                 + QStringLiteral(" не ожидался в данный момент выполнение прервано"));
}

void LinkExchange::replyTimedOut()
{
    if (m_replyPeriodsLeft <= 0) {
        m_tmrReply.stop();
        m_display.logMark(QStringLiteral("TIMEOUT"));
        if (clsReceive *receiver = m_port.receiver())
            receiver->setTextMode();
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
    clsReceive *receiver = m_port.receiver();
    if (m_replyState != ReplyState::Waiting || !receiver)
        return;
    m_tmrReply.stop();
    m_replyPeriodsLeft = 0;
    m_answer = {receiver->sAnswer(), receiver->sRemain(), receiver->dataIn(), receiver->answerIndex()};
    m_replyState = ReplyState::Answered;
    wake();
}

void LinkExchange::receiver_listLine()
{
    // A long listing on a slow line is still coming: its time-out counts from its last line.
    if (m_replyState != ReplyState::Waiting || !m_sms.smsListing() || !m_tmrReply.isActive())
        return;
    m_replyPeriodsLeft = m_replyPeriods;
    m_tmrReply.start();
}

Task<void> LinkExchange::Delay(int iDelay)
{
    // A lost port ends every pause at once: nothing is left to wait for. A break does too,
    // except for the steps that leave a data call.
    if (m_shutdown || m_port.isPortLost() || breakBinds())
        co_return;
    m_delayRunning = true;
    armTimer(m_tmrDelay, Timer::Delay, iDelay);
    while (m_delayRunning && !m_shutdown && !m_port.isPortLost() && !breakBinds())
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
    while (!condition() && !m_shutdown && !m_port.isPortLost() && !breakBinds())
        co_await WakeAwaiter{*this, {}};
}

Task<void> LinkExchange::Send3Plus()
{
    if (breakBinds())
        co_return;
    co_await Delay(1600);
    m_port.SendString(QStringLiteral("+++"));
    co_await Delay(1600);
    m_port.SendStringCR(QStringLiteral("AT"));
}

Task<bool> LinkExchange::TestCmdMode()
{
    m_display.appendInfo(QStringLiteral("Проверка отклика модема") + QStringLiteral("\r\n"));
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
    m_port.setAnswerAwaited(false);
    m_sms.setSmsListing(false);
    m_sms.clearSmsPrompt();
    endBreak();
}

void LinkExchange::beginUnwind()
{
    m_unwinding = true;
    m_tmrReply.stop();
    m_tmrDelay.stop();
    m_delayRunning = false;
}

void LinkExchange::endUnwind()
{
    m_unwinding = false;
}

bool LinkExchange::resumeWaiterNow()
{
    const std::coroutine_handle<> waiter = std::exchange(m_waiter, {});
    if (!waiter)
        return false;
    waiter.resume();
    return true;
}

void LinkExchange::shutdown()
{
    m_shutdown = true;
    m_tmrReply.stop();
    m_tmrDelay.stop();
    m_delayRunning = false;
    wake();
}
