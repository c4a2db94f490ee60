#pragma once

#include "ScriptedPrompts.h"
#include "SimModem.h"
#include "TestFiles.h"
#include "core/app/AppState.h"
#include "core/link/LinkExchange.h"
#include "core/link/ModemLine.h"
#include "core/link/LinkTune.h"
#include "core/link/mdlStrings.h"

#include "core/link/SerialDevice.h"
#include <QTemporaryDir>

// kvrsim with the boot-loader far end, a port opened as the link window opens it,
// the exchange layer, and what the loader reports: state-log lines (without their
// CR LF), traffic-log marks and progress captions.
struct LoaderRig
{
    QTemporaryDir dir;
    SimModem sim;
    SerialDevice port;
    AppState state{dir.path()};
    ScriptedPrompts prompts;
    QStringList info;
    QStringList marks;
    QStringList progress;
    // After what it logs into: it goes first, and whatever still runs on it ends while those are there.
    ModemLine line;
    LinkExchange &link = line.link();

    QString dumpPath() const { return dir.filePath(QStringLiteral("terminal.img")); }
    QByteArray dump() const { return readBytes(dumpPath()); }

    bool start(const QStringList &simOptions = {})
    {
        if (!sim.start(QStringList{QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--guard"), QStringLiteral("50"), QStringLiteral("--dump"),
                                   dumpPath()}
                       + simOptions))
            return false;
        SerialSettings s;
        s.port = sim.path();
        if (!LinkTune(port, s, nullptr))
            return false;
        link.port().setDevice(&port);
        // The link's pauses and time-outs at a tenth; kvrsim's escape guard (50 ms) fits in them.
        link.setTimeScale(0.1);
        QObject::connect(&link.display(), &LinkDisplay::infoLine,
                         [this](const QString &t) { info.append(mdlStrings::TrimCrLf(t)); });
        QObject::connect(&link.display(), &LinkDisplay::traffic, [this](const QString &t, LinkExchange::Traffic k) {
            if (k == LinkExchange::Traffic::Mark)
                marks.append(t);
        });
        return true;
    }

    Task<bool> dial() { return link.sendCommand(QStringLiteral("ATD5551234"), QStringLiteral("CONNEC"), 2000); }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        return writeBytes(path, bytes) ? path : QString();
    }

    // Bytes the terminal got after the data call came up.
    QByteArray receivedInCall()
    {
        const QByteArray all = sim.received();
        const qsizetype at = all.indexOf("ATD5551234\r");
        return at < 0 ? QByteArray() : all.mid(at + 11);
    }
};

// The header packet of a block, worked out from its fields.
inline QByteArray headerOf(int address, int length, int bank, const QByteArray &data)
{
    quint8 dataXor = 0;
    for (char c : data)
        dataXor ^= quint8(c);
    QByteArray h;
    h.append(char((address >> 8) & 0xFF)).append(char(address & 0xFF));
    h.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
    h.append(char(bank)).append('\0').append(char(dataXor));
    quint8 x = 0;
    for (char c : h)
        x ^= quint8(c);
    return h.append(char(x));
}
