#pragma once

#include "core/link/LinkExchange.h"

#include <QList>
#include <QPair>

// The timers a link armed, in order, with their nominal intervals: tests assert which
// waits ran and how long they were meant to be, not how long the machine took.
struct LinkTimerLog
{
    using Entry = QPair<LinkExchange::Timer, int>;
    QList<Entry> entries;

    explicit LinkTimerLog(LinkExchange &link)
    {
        QObject::connect(&link, &LinkExchange::timerArmed, &link,
                         [this](LinkExchange::Timer t, int ms) { entries.append({t, ms}); });
    }
    static Entry reply(int ms) { return {LinkExchange::Timer::Reply, ms}; }
    static Entry delay(int ms) { return {LinkExchange::Timer::Delay, ms}; }
};
