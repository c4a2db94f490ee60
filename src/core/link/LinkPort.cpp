#include "core/link/LinkPort.h"

#include "core/common/HexText.h"
#include "core/link/LinkDisplay.h"
#include "core/link/SmsChannel.h"
#include "core/common/CodePage.h"
#include "core/link/mdlStrings.h"

#include <QIODevice>
#include "core/link/SerialDevice.h"

LinkPort::LinkPort(LinkDisplay &display, SmsChannel &sms, QObject *parent)
    : QObject(parent), m_display(display), m_sms(sms)
{
}

void LinkPort::setDevice(QIODevice *device)
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = device;
    m_portLost = false;
    m_lostReason.clear();
    if (!device)
        return;
    // Queued, so the handler never runs inside the device's own signal emission.
    connect(device, &QIODevice::readyRead, this, &LinkPort::readAvailable, Qt::QueuedConnection);
    // Without these a vanished port keeps its notifier firing: the wait would spin
    // on empty reads until its time-out.
    connect(device, &QIODevice::readChannelFinished, this, [this] { loseDevice(QStringLiteral("конец данных")); });
    if (auto *serial = qobject_cast<SerialDevice *>(device)) {
        // An unplugged adapter, a pseudo-terminal whose far end closed.
        connect(serial, &SerialDevice::errorOccurred, this, [this, serial](SerialDevice::Error error) {
            if (error == SerialDevice::Error::Lost)
                loseDevice(serial->errorString());
        });
    }
}

void LinkPort::loseDevice(const QString &reason)
{
    if (m_portLost || !m_device)
        return;
    m_portLost = true;
    m_lostReason = reason;
    QIODevice *device = m_device;
    disconnect(device, nullptr, this, nullptr);
    device->close();
    m_display.appendInfo(QStringLiteral("Порт потерян: ") + reason + QStringLiteral("\r\n"));
    emit portLost(reason);
}

clsReceive *LinkPort::newReceiver()
{
    if (m_receiver) {
        disconnect(m_receiver, nullptr, this, nullptr);
        // A byte handler of the old receiver may still be on the stack.
        m_receiver->deleteLater();
    }
    auto *receiver = new clsReceive(this);
    receiver->setSmsTable(m_sms.listTable());
    m_receiver = receiver;
    emit receiverChanged(receiver);
    return receiver;
}

void LinkPort::readAvailable()
{
    if (!m_device)
        return;
    m_display.receiving();
    char c = 0;
    // One byte at a time: the order of bytes stays the order of arrival whatever each one starts.
    while (m_device && m_device->bytesAvailable() > 0 && m_device->getChar(&c)) {
        const quint8 b = quint8(c);
        m_recent.append(char(b));
        if (m_recent.size() > 512)
            m_recent.remove(0, 256);
        watchLineStart(b);
        clsReceive *receiver = m_receiver;
        const bool textMode = !receiver || receiver->mode() == clsReceive::Mode::Text;
        if (textMode) {
            m_display.gather(CodePage::ansiChar(b));
            if (m_sms.smsPromptPending() && b == 0x3E) {
                // The prompt only releases the body. The "AT+CMGS=" exchange goes on waiting
                // for the modem's verdict on the message: "+CMGS: n" and "OK", or an error.
                SendStringCR(m_sms.takePromptBody() + QChar(0x1A));
            }
        } else {
            m_display.gather(mdlStrings::ByteToHex(b));
        }
        receiver = m_receiver;
        const bool listing = m_sms.smsListing();
        if (listing && receiver)
            receiver->ByteWHSE(b);
        receiver = m_receiver;
        const Route to = route();
        if (to == Route::Receiver || (to == Route::Scenario && m_answerAwaited)) {
            // In the profile mode an exchange of the link (a module send, the poll) still needs
            // its answer; the scenario engine only talks while no exchange waits. A listing
            // already reaches the receiver through ByteWHSE.
            if (receiver && !(to == Route::Scenario && listing))
                receiver->ByteArrive(b);
        } else if (to == Route::Scenario) {
            emit scenarioByte(b);
        }
    }
    m_display.flushReceived();
}

void LinkPort::watchLineStart(quint8 b)
{
    // Seen in every mode and route: an announcement may come in the middle of any exchange.
    static constexpr QByteArrayView announcement("+CMTI:");
    if (b == 0x0D || b == 0x0A) {
        m_lineStart.clear();
        return;
    }
    if (m_lineStart.size() >= announcement.size())
        return;
    m_lineStart.append(char(b >= 'a' && b <= 'z' ? b - 0x20 : b));
    if (m_lineStart == announcement)
        emit messageAnnounced();
}

void LinkPort::writeBytes(const QByteArray &bytes)
{
    if (!m_device || !m_device->isOpen() || bytes.isEmpty())
        return;
    m_device->write(bytes);
}

bool LinkPort::echoAsText() const
{
    return !m_receiver || m_receiver->mode() == clsReceive::Mode::Text;
}

void LinkPort::SendString(const QString &sOut)
{
    m_display.setLamps(true, false);
    const QByteArray bytes = CodePage::toAnsi(sOut);
    if (m_display.echo())
        m_display.show(echoAsText() ? sOut : HexText::bytes(bytes, QLatin1Char(' ')), LinkDisplay::Traffic::Sent);
    writeBytes(bytes);
    m_display.setLamps(m_display.txLamp(), false);
}

void LinkPort::sendBytes(const QByteArray &bytes)
{
    m_display.setLamps(true, false);
    if (m_display.echo())
        m_display.show(echoAsText() ? CodePage::fromAnsi(bytes) : HexText::bytes(bytes, QLatin1Char(' ')),
                       LinkDisplay::Traffic::Sent);
    writeBytes(bytes);
    m_display.setLamps(m_display.txLamp(), false);
}

void LinkPort::SendStringCR(const QString &sOut)
{
    const QByteArray bytes = CodePage::toAnsi(sOut);
    if (m_display.echo())
        m_display.show((echoAsText() ? sOut : HexText::bytes(bytes, QLatin1Char(' '))) + QLatin1Char('\r'),
                       LinkDisplay::Traffic::Sent);
    writeBytes(bytes + '\r');
}
