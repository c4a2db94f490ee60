#include "core/scenario/clsScenarioAt.h"

#include "core/link/LinkExchange.h"
#include "core/common/CodePage.h"
#include "core/link/mdlStrings.h"


clsScenarioAt::clsScenarioAt(LinkExchange &link, QObject *parent) : QObject(parent), m_link(link)
{
    m_breakTimer.setHandler([this] { breakTimer_Timer(); });
}

void clsScenarioAt::breakTimer_Timer()
{
    if (!m_plusSent) {
        m_link.port().SendString(QStringLiteral("+++"));
        m_plusSent = true;
        m_breakTimer.start(BreakPauseMs);
        return;
    }
    m_breakPausing = false;
    // Only what answers this "AT" may end the break-in, not a final word still in the buffer.
    m_receiveBuffer.clear();
    m_link.port().SendStringCR(QStringLiteral("AT"));
    m_breakActive = true;
    setScATStatus(Status::BreakIn);
}

void clsScenarioAt::setScATStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(status);
}

void clsScenarioAt::RaiseAtCommandTimeout(int ticks)
{
    m_countdown = ticks;
}

QString clsScenarioAt::crunchString(const QString &sIn)
{
    return mdlStrings::TrimCrLf(sIn);
}

QString clsScenarioAt::LastArg(const QString &sIn)
{
    QString s = sIn.mid(sIn.lastIndexOf(QLatin1Char('\r')) + 1);
    return s.mid(s.lastIndexOf(QLatin1Char('\n')) + 1);
}

int clsScenarioAt::FindAnswer(const QString &sIn, const QString &s1)
{
    const QString line = LastArg(crunchString(sIn)).toUpper();
    if (line == s1)
        return 1;
    // A modem with numbered error reports refuses with these instead of a bare "ERROR".
    if (s1 == QLatin1String("ERROR")
        && (line.startsWith(QLatin1String("+CMS ERROR:")) || line.startsWith(QLatin1String("+CME ERROR:"))))
        return 1;
    return 0;
}

void clsScenarioAt::setExpect(const QStringList &texts)
{
    m_expectCount = int(qMin<qsizetype>(texts.size(), ExpectSlots));
    for (int i = 0; i < m_expectCount; ++i)
        m_expect[i] = texts.at(i);
}

QStringList clsScenarioAt::expected() const
{
    QStringList out;
    for (int i = 0; i < m_expectCount; ++i)
        out << m_expect[i];
    return out;
}

void clsScenarioAt::giveUp()
{
    m_recoveryCount = 0;
    setScATStatus(Status::Halted);
    emit ErrorInSerialCommunicate();
}

void clsScenarioAt::ByteArrive(quint8 byte)
{
    if (m_status == Status::Halted)
        return;
    m_receiveBuffer += CodePage::ansiChar(byte);
    if (m_receiveBuffer.size() > BufferLimit) {
        m_receiveBuffer.clear();
        if (m_recoveryCount > 1) {
            giveUp();
        } else {
            setScATStatus(Status::Halted);
            ++m_recoveryCount;
            Break4Phone(QString());
        }
        return;
    }
    for (int i = 0; i < m_expectCount; ++i) {
        if (FindAnswer(m_receiveBuffer, m_expect[i]) == 0)
            continue;
        if (m_status == Status::BreakIn)
            Break4Phone(m_receiveBuffer);
        else if (m_status == Status::SmsSend)
            SMSSendSMGS(QString(), m_receiveBuffer);
        return;
    }
}

void clsScenarioAt::Tick()
{
    if (m_status == Status::Idle || m_status == Status::Halted)
        return;
    --m_countdown;
    if (m_countdown > 0)
        return;
    if (m_recoveryCount >= 1) {
        giveUp();
        return;
    }
    setScATStatus(Status::Halted);
    ++m_recoveryCount;
    Break4Phone(QString());
}

void clsScenarioAt::Break4Phone(const QString &sInput)
{
    if (sInput.isEmpty()) {
        setScATStatus(Status::Halted);
        emit EventBreak4Phone(QString());
        setExpect({QStringLiteral("OK"), QStringLiteral("ERROR")});
        // The guard times around "+++" run on the link's clock; the engine stays busy meanwhile.
        m_breakPausing = true;
        m_breakTimer.setClock(&m_link.clock());
        m_plusSent = false;
        m_breakTimer.start(BreakPauseMs);
        return;
    }
    // "OK", "ERROR" or anything else: the modem talks again, the break-in is over.
    m_breakTimer.stop();
    m_breakPausing = false;
    m_breakActive = false;
    setScATStatus(Status::Idle);
}

void clsScenarioAt::SMSSendSMGS(const QString &pdu, const QString &answer, int cmgsLength)
{
    setScATStatus(Status::SmsSend);
    if (!pdu.isEmpty()) {
        m_pendingPdu = pdu;
        m_cmgsLength = cmgsLength;
        // A modem left in text mode would take the length for a phone number and send the hex as text.
        m_smsStep = SmsStep::WaitPduMode;
        setExpect({QStringLiteral("OK"), QStringLiteral("ERROR")});
        // The answer of an earlier command must not be taken for this one's.
        m_receiveBuffer.clear();
        m_link.port().SendStringCR(QStringLiteral("AT+CMGF=0"));
        return;
    }
    switch (m_smsStep) {
    case SmsStep::None:
        return;
    case SmsStep::WaitPduMode:
        if (FindAnswer(answer, QStringLiteral("OK")) == 0) {
            m_smsStep = SmsStep::None;
            setScATStatus(Status::Idle);
            emit ErrorInCommand(QStringLiteral("CMGF"));
            return;
        }
        m_smsStep = SmsStep::WaitPrompt;
        setExpect({QStringLiteral(">"), QStringLiteral("ERROR")});
        m_receiveBuffer.clear();
        m_link.port().SendStringCR(QStringLiteral("AT+CMGS=") + QString::number(m_cmgsLength));
        return;
    case SmsStep::WaitPrompt:
        if (FindAnswer(answer, QStringLiteral(">")) != 0) {
            setExpect({QStringLiteral("OK"), QStringLiteral("ERROR")});
            m_link.port().SendString(m_pendingPdu + QChar(0x1A));
            m_smsStep = SmsStep::WaitOk;
            return;
        }
        m_smsStep = SmsStep::None;
        setScATStatus(Status::Idle);
        emit ErrorInCommand(QStringLiteral("CMGS"));
        return;
    case SmsStep::WaitOk:
        m_smsStep = SmsStep::None;
        setScATStatus(Status::Idle);
        if (FindAnswer(answer, QStringLiteral("OK")) != 0)
            emit DataSend(QString());
        else
            emit ErrorInCommand(QStringLiteral("SMGS"));
        return;
    }
}
