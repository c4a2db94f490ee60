#pragma once

#include "SimModem.h"
#include "core/app/SerialSettings.h"
#include "core/link/LinkExchange.h"
#include "core/link/LinkTune.h"
#include "core/link/ModemLine.h"

#include "core/link/SerialDevice.h"
#include <QStringList>

// One kvrsim, one port opened as the link window opens it, one exchange layer, and the
// lines the link logged.
struct SimLink
{
    SimModem sim;
    SerialDevice port;
    QStringList info;    // txtinfo
    QStringList cmdInfo; // txtCmdInfo
    QStringList marks;
    // After what it logs into and the port it talks on: it goes first.
    ModemLine line;
    LinkExchange &link = line.link();

    bool start(const QStringList &options = {})
    {
        if (!sim.start(options))
            return false;
        return open(sim.path());
    }

    // Opens a device of the test's own (a pseudo-terminal) with the same link on top.
    bool open(const QString &device)
    {
        SerialSettings s;
        s.port = device;
        if (!LinkTune(port, s, nullptr))
            return false;
        link.port().setDevice(&port);
        QObject::connect(&link.display(), &LinkDisplay::infoLine, &link, [this](const QString &t) { info.append(t); });
        QObject::connect(&link.display(), &LinkDisplay::cmdInfoLine, &link, [this](const QString &t) { cmdInfo.append(t); });
        QObject::connect(&link.display(), &LinkDisplay::traffic, &link, [this](const QString &t, LinkExchange::Traffic k) {
            if (k == LinkExchange::Traffic::Mark)
                marks.append(t);
        });
        return true;
    }

    Task<bool> dial() { return link.sendCommand(QStringLiteral("ATD5551234"), QStringLiteral("CONNEC"), 2000); }
};
