#include "core/pdu/GprsRecord.h"

#include "core/common/CodePage.h"
#include "core/settings/NumericText.h"

#include <algorithm>

namespace GprsRecord {

namespace {

void copyText(TransferRecord &rec, int offset, int limit, const QString &text)
{
    const QByteArray bytes = CodePage::toAnsi(text.left(limit));
    for (int i = 0; i < bytes.size(); ++i)
        rec.RecordBlock[offset + i] = quint8(bytes.at(i));
}

} // namespace

QString addressExpected(const QString &text)
{
    // The record has four bytes for the server: a name would have to be resolved where the
    // terminal is, and it cannot do that.
    const bool named = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetter(); });
    return named ? QStringLiteral(": терминал принимает только IP адрес (четыре числа 0..255 через точку), не имя сервера")
                 : QStringLiteral(": нужны четыре числа 0..255 через точку, например 10.0.0.1");
}

bool parseServerAddress(const QString &text, std::array<quint8, 4> &parts)
{
    std::array<quint8, 4> out{};
    int count = 0;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool last = i == text.size() - 1;
        const QChar c = text.at(i);
        if (c != QLatin1Char('.') || last)
            part += c; // the last character belongs to the last part, even a dot
        if (c != QLatin1Char('.') && !last)
            continue;
        qint64 value = 0;
        if (count == 4 || !NumericText::toInt(part, 0, 255, value))
            return false;
        out[count++] = quint8(value);
        part.clear();
    }
    if (count != 4)
        return false;
    parts = out;
    return true;
}

bool parsePort(const QString &text, quint16 &port)
{
    qint64 value = 0;
    if (!NumericText::toInt(text, 1, 65535, value))
        return false;
    port = quint16(value);
    return true;
}

bool buildGprsRecord(const GprsSettings &settings, TransferRecord &rec, QString &errorText)
{
    std::array<quint8, 4> address{};
    if (!parseServerAddress(settings.serverAddress, address)) {
        errorText = QStringLiteral("Неверно задан IP адрес") + addressExpected(settings.serverAddress);
        return false;
    }
    quint16 port = 0;
    if (!parsePort(settings.port, port)) {
        errorText = QStringLiteral("Неверно задан порт");
        return false;
    }
    TransferRecord out;
    out.RecordType = quint8(PacketType::GprsSettings);
    copyText(out, ApnOffset, ApnLimit, settings.apn);
    copyText(out, UserNameOffset, UserNameLimit, settings.userName);
    copyText(out, PasswordOffset, PasswordLimit, settings.password);
    for (int i = 0; i < 4; ++i)
        out.RecordBlock[AddressOffset + i] = address[i];
    out.RecordBlock[PortOffset] = quint8(port >> 8);
    out.RecordBlock[PortOffset + 1] = quint8(port & 0xFF);
    out.updateSum();
    rec = out;
    return true;
}

} // namespace GprsRecord
