#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// An independent PDU codec for cross-checks: python3-gammu, run as a batch through python3.
// Decoding gives one JSON object per PDU; encoding makes SMS-DELIVER PDUs as a network would.
class GammuPdu
{
public:
    // The first python3 that can import gammu; empty when none can (the test then skips).
    static QString python()
    {
        static const QString found = [] {
            for (const QString &candidate : {QStringLiteral("python3"), QStringLiteral("/usr/bin/python3")}) {
                QProcess p;
                p.start(candidate, {QStringLiteral("-c"), QStringLiteral("import gammu")});
                if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
                    return candidate;
            }
            return QString();
        }();
        return found;
    }

    // Fields per PDU (SMS centre part included): ok, number, smsc, type, coding, class,
    // validity, text (user data as upper-case hex), mr, datetime; or ok false and error.
    static QList<QJsonObject> decode(const QStringList &pdus)
    {
        static const char *script = R"PY(
import sys, json, binascii, gammu
for line in sys.stdin:
    line = line.strip()
    try:
        d = gammu.DecodePDU(binascii.unhexlify(line), True)
        text = d["Text"]
        out = {"ok": True, "number": d["Number"], "smsc": d["SMSC"]["Number"], "type": d["Type"],
               "coding": d["Coding"], "class": d["Class"], "validity": d["SMSC"]["Validity"],
               "text": binascii.hexlify(text).decode().upper() if isinstance(text, bytes) else text,
               "mr": d["MessageReference"],
               "datetime": d["DateTime"].strftime("%Y-%m-%d %H:%M:%S") if d["DateTime"] else ""}
    except Exception as e:
        out = {"ok": False, "error": str(e)}
    print(json.dumps(out))
)PY";
        return run(script, pdus);
    }

    // SMS-DELIVER PDUs, 8-bit data class 2 (coding F6), from lines "sender centre userdatahex"
    // (centre "-" for none). Result objects: ok and pdu.
    static QList<QJsonObject> encodeDeliver(const QStringList &requests)
    {
        // gammu fills a message from a decoded template; only number, centre and text change.
        static const char *script = R"PY(
import sys, json, binascii, gammu
template = "07919761989901F0040B911732547698F000F6425060708090210143"
for line in sys.stdin:
    try:
        number, centre, text = line.split()
        d = gammu.DecodePDU(binascii.unhexlify(template), True)
        d["Number"] = number
        d["SMSC"]["Number"] = "" if centre == "-" else centre
        d["Text"] = binascii.unhexlify(text)
        out = {"ok": True, "pdu": binascii.hexlify(gammu.EncodePDU(d, "Deliver")).decode().upper()}
    except Exception as e:
        out = {"ok": False, "error": str(e)}
    print(json.dumps(out))
)PY";
        return run(script, requests);
    }

private:
    static QList<QJsonObject> run(const char *script, const QStringList &lines)
    {
        QProcess p;
        p.start(python(), {QStringLiteral("-c"), QString::fromUtf8(script)});
        if (!p.waitForStarted(30000))
            return {};
        p.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        p.closeWriteChannel();
        if (!p.waitForFinished(120000))
            return {};
        QList<QJsonObject> out;
        for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
            if (!line.trimmed().isEmpty())
                out << QJsonDocument::fromJson(line).object();
        }
        return out;
    }
};

#define SKIP_WITHOUT_GAMMU()                                                                                     \
    do {                                                                                                         \
        if (GammuPdu::python().isEmpty())                                                                        \
            QSKIP("python3-gammu is not installed (apt-get install python3-gammu): no independent PDU decoder"); \
    } while (0)
