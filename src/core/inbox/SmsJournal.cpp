#include "core/inbox/SmsJournal.h"

#include "core/common/FileIo.h"
#include "core/pdu/PduDecoder.h"

#include <QDir>

namespace SmsJournal {

Entry describe(const QString &pdu)
{
    Entry e;
    e.pdu = pdu.trimmed();
    const DecodedPdu d = PduDecoder::decodePdu(e.pdu);
    if (!d.ok) {
        e.kind = QStringLiteral("не разобрано");
        e.sender = QStringLiteral("?");
        return e;
    }
    e.sender = d.address.number;
    switch (d.kind) {
    case PduKind::Deliver:
        e.kind = QStringLiteral("входящее");
        e.timeStamp = PduDecoder::timeStampText(d.timeStamp);
        e.text = PduDecoder::messageText(d);
        break;
    case PduKind::Submit:
        e.kind = QStringLiteral("исходящее");
        e.text = PduDecoder::messageText(d);
        break;
    case PduKind::StatusReport:
        e.kind = QStringLiteral("отчет о доставке");
        e.timeStamp = PduDecoder::timeStampText(d.timeStamp);
        e.text = QStringLiteral("сообщение %1: %2, %3")
                     .arg(d.messageReference)
                     .arg(PduDecoder::statusText(d.status), PduDecoder::timeStampText(d.dischargeTime));
        break;
    case PduKind::Reserved:
        e.kind = QStringLiteral("не разобрано");
        break;
    }
    return e;
}

QByteArray format(const Entry &entry)
{
    QString text = entry.text;
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QStringLiteral("\n      ")); // continuation lines stay inside the entry
    const QString out = QStringLiteral("Время: ") + entry.timeStamp + QLatin1Char('\n') + QStringLiteral("От: ")
                        + entry.sender + QLatin1Char('\n') + QStringLiteral("Тип: ") + entry.kind + QLatin1Char('\n')
                        + QStringLiteral("Текст: ") + text + QLatin1Char('\n')
                        + (entry.listing.isEmpty() ? QString() : QStringLiteral("В модеме: ") + entry.listing + QLatin1Char('\n'))
                        + QStringLiteral("PDU: ") + entry.pdu + QStringLiteral("\n\n");
    return out.toUtf8();
}

QString path(const QString &appFolder, const QDate &day)
{
    return QDir(appFolder).filePath(QStringLiteral("SMS/") + day.toString(QStringLiteral("yyyy-MM-dd"))
                                    + QStringLiteral(".txt"));
}

QString deletedLine(const Entry &entry)
{
    QString text = entry.text.left(60);
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("Удалено постороннее сообщение от ") + entry.sender + QStringLiteral(": ") + text
           + QStringLiteral("\r\n");
}

bool append(const QString &appFolder, const QDate &day, const Entry &entry, QString &error)
{
    const QString file = path(appFolder, day);
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("Ошибка записи в файл ") + file + QStringLiteral(": не удалось создать папку ") + folder;
        return false;
    }
    return FileIo::appendWhole(file, format(entry), error);
}

} // namespace SmsJournal
