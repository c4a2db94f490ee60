#pragma once

#include "FarEnd.h"
#include "SmsStore.h"

#include <QByteArray>
#include <QList>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

// A GSM modem on the master side of a pseudo-terminal: AT commands with echo,
// verbose result codes framed by CR LF, a data call to a pluggable far end and
// the "+++" escape with guard times.
class ModemSim : public QObject
{
    Q_OBJECT
public:
    enum class DialResult { Connect, NoCarrier, Busy, NoAnswer, NoDialTone };

    struct Options
    {
        bool echo = true;
        QStringList productLines{QStringLiteral("KVRSIM GSM modem, revision 1.0")};
        bool silent = false;
        int answerDelayMs = 0;     // a slow modem: every answer waits this long
        int garbleOneIn = 0;       // corrupt one answer character in N (0 = never)
        quint32 seed = 1;
        DialResult dial = DialResult::Connect;
        QString connectText = QStringLiteral("CONNECT 9600");
        int dialDelayMs = 200;
        int guardMs = 1000;        // escape guard time before and after "+++"
        int baud = 0;              // pace output at this rate, 10 bits a character (0 = unpaced)
        int ringEveryMs = 0;       // unsolicited RING while idle in command mode
        bool trace = false;        // traffic on stdout: "< HEX" received, "> HEX" sent, "# ..." states
        bool numeric = false;      // ATV0: numeric result codes
        // A command beginning with prefix gets report ("+CMS ERROR: 500") as its final answer.
        struct Refusal
        {
            QByteArray prefix;
            QByteArray report;
        };
        QList<Refusal> refusals;
        QByteArray trailer;        // a line sent right after every final answer ("+CMTI: ...")
        int unsolicitedMeanMs = 0; // unsolicited lines at random moments in command mode (0 = never)
    };

    explicit ModemSim(const Options &options, FarEnd *farEnd, QObject *parent = nullptr);
    ~ModemSim() override;

    // The message store answers AT+CMGS, AT+CMGL and AT+CMGD (not owned).
    void setSmsStore(SmsStore *store);

    // Opens the pseudo-terminal; the slave's path, or an empty text with why set.
    QString open(QString &why);

    // Control from the operator (standard input of the program).
    void ring();
    void setSilent(bool silent);
    void say(const QByteArray &text);
    void remoteHangUp();
    // The device vanishes, as an unplugged USB modem: both ends of the pseudo-terminal close.
    void unplug();

private:
    void onReadable();
    // With a baud rate, a received byte is taken only once its line time has passed.
    void receivePaced(const QByteArray &bytes);
    void takeDueBytes();
    void onWritable();
    void pump();
    void handleBytes(const QByteArray &bytes);
    void handleCommandByte(char c);
    enum class Step { Next, Error, Answered };
    void runCommandLine(const QByteArray &line);
    Step runBasicCommand(const QByteArray &rest, int &i, QByteArray &info);
    bool runExtendedCommand(const QByteArray &cmd, QByteArray &info);
    void sendUnsolicited();
    // "+CMTI" for a message the store received, when AT+CNMI asked for it: at once in command
    // mode, otherwise held until the command, body or call under way is over.
    void announce(int index);
    void releaseHeld();
    void finalAnswer(const QByteArray &text);
    void answer(const QByteArray &text);
    void sendNow(const QByteArray &bytes);
    void finishDial();
    void enterData();
    void leaveData(const QByteArray &finalWord);
    void escapeGuardExpired();
    void trace(const char *prefix, const QByteArray &bytes);
    void traceEvent(const char *line);
    QByteArray result(const char *word) const;
    QByteArray connectLine() const;

    Options m_options;
    FarEnd *m_farEnd;
    SmsStore *m_sms = nullptr;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_pace;
    QTimer m_ringTimer;
    QTimer m_escapeTimer;
    QTimer m_dialTimer;
    QTimer m_unsolicitedTimer;
    QElapsedTimer m_clock;
    QElapsedTimer m_sinceLastByte;
    qint64 m_paceStartMs = 0;
    qint64 m_pacedSent = 0;
    QByteArray m_out;
    struct InChunk
    {
        QByteArray bytes;
        qint64 startNs = 0; // the line starts carrying the first byte
        int taken = 0;
    };
    QList<InChunk> m_in;
    qint64 m_inLineFreeNs = 0;
    QTimer m_inPace;
    QByteArray m_line;
    bool m_dataMode = false;
    bool m_callUp = false;
    int m_plusCount = 0;
    bool m_announce = false; // AT+CNMI: stored messages are announced
    QByteArray m_held;       // announcements waiting for the line to be free
    QRandomGenerator m_random;
};
