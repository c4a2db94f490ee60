#pragma once

#include "core/scenario/clsQueueForTrans.h"

#include <QList>
#include <QObject>
#include <QString>

class clsScenarioAt;

// The PDUs queued by profile scenarios, sent one at a time, oldest first, by the SMS send
// of the scenario engine. Every try is guarded by the engine's watchdog, armed with the
// item's TimeOut4Try ticks. A refused try (no prompt, no "OK" after the PDU, or a watchdog
// that ran out) is repeated DelayBetweenTries ticks later until NumTries tries were made;
// then the item is dropped. Each outcome gives one line for txtCmdInfo.
class TransmitQueue : public QObject
{
    Q_OBJECT
public:
    static QString packetText(PacketType packet);
    explicit TransmitQueue(clsScenarioAt &engine, QObject *parent = nullptr);

    int size() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const clsQueueForTrans &at(int i) const { return m_entries.at(i).item; }
    // Tries made so far for item i.
    int triesMade(int i) const { return m_entries.at(i).tries; }
    bool inFlight() const { return m_inFlight; }

    void add(const clsQueueForTrans &item);
    // Removes every item (the window closes). An item on its way is forgotten: its outcome
    // is no longer reported.
    void clear();
    // Removes the waiting items of one terminal (its scenario was stopped); an item on its
    // way finishes its try without a further one.
    void dropFor(const QString &phone);

    // One tick of tmrSecond. canSend: the engine may talk to the modem now (the profile mode
    // is selected, no exchange of the link waits, the poll is not held off).
    void tick(bool canSend);
    // The first entry may be sent now (nothing in flight, its pause between tries over).
    bool due() const { return !m_inFlight && !m_entries.isEmpty() && m_entries.first().waitTicks == 0; }

signals:
    void cmdInfoLine(const QString &line);
    // An item left the queue: sent, or dropped after its last try.
    void finished(const clsQueueForTrans &item, bool sent);

private:
    struct Entry
    {
        clsQueueForTrans item;
        int tries = 0;
        int waitTicks = 0;
        bool lastTry = false;
    };
    void onSent();
    void onFailed(const QString &reason);

    clsScenarioAt &m_engine;
    QList<Entry> m_entries;
    bool m_inFlight = false;
};
