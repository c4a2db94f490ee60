#pragma once

#include "core/link/clsReceive.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class LinkDisplay;
class SmsChannel;

// The port of a link and where its bytes go: the receive handler that shows and routes every
// byte (to the receiver that cuts answers, to the scenario engine, to a message listing), the
// send primitives, and the loss of the port.
class LinkPort : public QObject
{
    Q_OBJECT
public:
    // Where received bytes go besides the log: the selected mode of the link window.
    enum class Route { Nobody = -1, Receiver = 0, Scenario = 1, AddressBook = 2 };
    Q_ENUM(Route)

    LinkPort(LinkDisplay &display, SmsChannel &sms, QObject *parent = nullptr);

    // The port (not owned). Received bytes are handled from the event loop. A serial port
    // that reports a resource error (unplugged) or a device that reaches its end is closed
    // and counts as lost.
    void setDevice(QIODevice *device);
    QIODevice *device() const { return m_device; }
    bool isPortLost() const { return m_portLost; }
    // Why the port went, in the words it was said in.
    QString lostReason() const { return m_lostReason; }

    clsReceive *receiver() const { return m_receiver; }
    // Replaces the receiver by a fresh one (each activation of the window).
    clsReceive *newReceiver();

    // The window's mode (OptIndex).
    void setRoute(Route route) { m_route = route; }
    Route windowRoute() const { return m_route; }
    // Where bytes go now: the running operation's route while one holds it, else the window's mode.
    Route route() const { return m_operationRoutes.isEmpty() ? m_route : m_operationRoutes.last(); }
    void holdRoute(Route route) { m_operationRoutes.append(route); }
    void releaseRoute() { m_operationRoutes.removeLast(); }
    // An exchange waits for its answer: in the profile mode its answer still goes to the receiver.
    void setAnswerAwaited(bool on) { m_answerAwaited = on; }

    void SendString(const QString &sOut);
    void SendStringCR(const QString &sOut);
    // Binary data (boot-loader packets): every byte reaches the port unchanged.
    void sendBytes(const QByteArray &bytes);

    // The last bytes received (a few hundred at most), to tell afterwards what a failed wait missed.
    const QByteArray &recentlyReceived() const { return m_recent; }
    void clearRecentlyReceived() { m_recent.clear(); }

    // The port's receive handler: drains the device byte by byte.
    void readAvailable();

signals:
    // The port went away (reason as the system tells it); it has been closed.
    void portLost(const QString &reason);
    // A received byte while the profile transfer mode is selected and no exchange waits.
    void scenarioByte(quint8 b);
    // The receiver was replaced.
    void receiverChanged(clsReceive *receiver);
    // The modem said it stored a message ("+CMTI: ..."), whoever the bytes went to.
    void messageAnnounced();

private:
    void loseDevice(const QString &reason);
    void writeBytes(const QByteArray &bytes);
    bool echoAsText() const;
    // Watches the start of each received line for an arrival announcement.
    void watchLineStart(quint8 b);

    LinkDisplay &m_display;
    SmsChannel &m_sms;
    QPointer<QIODevice> m_device;
    bool m_portLost = false;
    QString m_lostReason;
    QPointer<clsReceive> m_receiver;
    Route m_route = Route::Receiver;
    QList<Route> m_operationRoutes;
    bool m_answerAwaited = false;
    QByteArray m_recent;
    QByteArray m_lineStart; // the first bytes of the line being received, upper-cased
};
