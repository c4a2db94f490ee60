#pragma once

#include "SimTerminal.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <memory>

// The modem's message store in PDU mode and the network behind it. "AT+CMGS=n" gives the
// "> " prompt, the hex text up to Ctrl-Z (Esc cancels) is checked (n must be the TPDU's
// octets) and handed to the simulated terminal of that number, whose answers arrive in the
// store as SMS-DELIVER PDUs after a delay. "AT+CMGL=stat" lists, "AT+CMGD=i" deletes.
class SmsStore : public QObject
{
    Q_OBJECT
public:
    enum class Foreign { Text, Alphanumeric, Truncated, AlphanumericText, Ucs2Text, StatusReport, SavedSubmit };
    static constexpr int Capacity = 30;

    struct Options
    {
        int deliveryDelayMs = 2000;
        int networkDelayMs = 0; // the network's time to take a sent message: "+CMGS: n" comes this late
        int refuseSends = 0; // the first N "AT+CMGS=" commands are refused (-1: all of them)
        QByteArray refusal = "+CMS ERROR: 500";
        // The first N messages (-1: all of them) go out to the network, but the final answer to
        // their "AT+CMGS=" never comes.
        int loseAnswers = 0;
        bool textMode = false;     // starts in text mode, as other software may have left it (AT+CMGF=1)
        bool headerSpace = true;   // "+CMGL: 1,..." rather than "+CMGL:1,..."
        bool presentPlus7 = false; // the network shows a terminal "8XXXXXXXXXX" as "+7XXXXXXXXXX"
    };

    // A command line for the store: not one of its commands, a final answer (info lines
    // before the final word), or the prompt for a message body.
    enum class Reply { NotMine, Final, Prompt };

    explicit SmsStore(const Options &options, QObject *parent = nullptr);
    ~SmsStore() override;

    void addTerminal(const QString &number, const QByteArray &image);
    const SimTerminal *terminal(const QString &number) const;
    void addForeign(Foreign kind);
    // Puts a PDU (hex text) into the store as an unread message; false when the store is full.
    // announced: the length the listing header gives (-1: the PDU's own).
    bool store(const QByteArray &pdu, int stat = 0, int announced = -1);
    int count() const { return int(m_messages.size()); }

    Reply command(const QByteArray &line, QByteArray &info, QByteArray &final);
    bool inBody() const { return m_inBody; }
    int networkDelayMs() const { return m_options.networkDelayMs; }
    // One byte of a message body. True when the body has ended: final holds the answer
    // (empty after Esc, which cancels quietly).
    bool bodyByte(char c, QByteArray &info, QByteArray &final);

signals:
    // What happened, for the trace ("sms stored 1", "terminal +7... record 43").
    void event(const QByteArray &text);
    // A received message was put at index (the modem may announce it).
    void received(int index);

private:
    struct Message
    {
        QByteArray pdu;
        int stat = 0; // 0 received unread, 1 received read, 2 stored unsent, 3 stored sent
        int length = 0;
    };
    Reply startSubmit(const QByteArray &args, QByteArray &final);
    void finishSubmit(QByteArray &info, QByteArray &final);
    Reply list(const QByteArray &args, QByteArray &info, QByteArray &final);
    Reply remove(const QByteArray &args, QByteArray &final);

    Options m_options;
    std::vector<std::unique_ptr<SimTerminal>> m_terminals;
    QMap<int, Message> m_messages;
    bool m_inBody = false;
    int m_announced = 0;
    QByteArray m_body;
    int m_reference = 0;
    bool m_textMode = false;
    QByteArray m_textDestination; // text mode: the number AT+CMGS named
};
