#include "core/loader/BootLoaderTransfer.h"

#include "core/link/LinkExchange.h"
#include "core/loader/BankImages.h"

#include <cmath>

namespace {

// Time-out arguments; an exchange waits three times its argument.
constexpr int kEntryTimeOut = 20000;
constexpr int kBlockTimeOut = 10000;
constexpr int kClosingTimeOut = 20000;

const QString kHeaderRequest = QStringLiteral("Z");
const QString kRepeatLine = QStringLiteral("Ошибка данных повтор Запрос заголовка");
// A terminal that asks for the same block again and again would hold the call for hours.
constexpr int kMaxRepeats = 10;

QString repeatsExhausted(qint32 address)
{
    return QStringLiteral("Блок ") + QString::number(address, 16).toUpper() + QStringLiteral("H не принят после ")
           + QString::number(kMaxRepeats) + QStringLiteral(" повторов");
}

} // namespace

BootLoaderTransfer::BootLoaderTransfer(LinkExchange &link, const BankImages &images, QObject *parent)
    : QObject(parent), m_link(link), m_images(images)
{
}

QString BootLoaderTransfer::progressCaption(double percent)
{
    // The default rounding mode rounds halves to even.
    const double p = std::nearbyint(percent);
    const QString digits = p == 0 ? QString() : QString::number(qint64(p));
    return QStringLiteral("Загружено ") + digits + QStringLiteral(".0") + QStringLiteral("%");
}

Task<void> BootLoaderTransfer::pause(int ms)
{
    if (!cancelled())
        co_await m_link.Delay(ms);
}

Task<bool> BootLoaderTransfer::exchange(QByteArray out, QString expect1, QString expect2, int timeOut, int length)
{
    // Broken off: no further step waits on a line the break has hung up.
    if (cancelled())
        co_return false;
    // Built before the wait: the compiler mishandles brace lists inside an awaited call.
    QStringList expected;
    expected << expect1 << expect2;
    const bool passed = co_await m_link.sendData(out, expected, timeOut, length);
    co_return passed;
}

int BootLoaderTransfer::answerIndex() const
{
    return m_link.lastAnswer().index;
}

QString BootLoaderTransfer::answer() const
{
    return m_link.lastAnswer().data;
}

void BootLoaderTransfer::log(const QString &line)
{
    m_link.display().appendInfo(line + QStringLiteral("\r\n"));
}

bool BootLoaderTransfer::fail(const QString &line)
{
    log(line);
    return false;
}

void BootLoaderTransfer::storePosition(int bank, qint32 address)
{
    m_last = {qint16(bank), address};
    emit lastPositionStored();
}

Task<bool> BootLoaderTransfer::LoadData()
{
    const bool accepted = co_await run(Variant::Banked);
    co_return accepted;
}

Task<bool> BootLoaderTransfer::LoadData1()
{
    co_await run(Variant::Linear);
    co_return false;
}

Task<bool> BootLoaderTransfer::run(Variant variant)
{
    m_closingAccepted = false;
    // Awaited as statements of their own: the compiler mishandles a wait inside || and ?:.
    const bool entered = co_await enterBootLoader(variant);
    if (!entered)
        co_return false;
    const bool headerRequested = co_await awaitFirstHeaderRequest();
    if (!headerRequested)
        co_return false;
    const Position at = startPosition(variant);
    // The closing packet rewrites the first bytes of bank 0: never without the blocks it closes.
    if (at.none)
        co_return fail(QStringLiteral("Нет блоков для передачи с выбранного места"));
    bool blocksSent = false;
    if (variant == Variant::Banked)
        blocksSent = co_await bankedBlocks(at);
    else
        blocksSent = co_await linearBlocks(at);
    if (!blocksSent)
        co_return false;
    m_closingAccepted = co_await closingPacket(variant);
    co_return m_closingAccepted;
}

Task<bool> BootLoaderTransfer::enterBootLoader(Variant variant)
{
    const bool probed = co_await exchange(QByteArrayLiteral("v\r"), QString(), QString(), kEntryTimeOut, 5);
    Q_UNUSED(probed) // a running boot loader answers ":BOOT" plus its memory type; the answer decides
    co_await pause(500);
    bool running = answer().startsWith(QLatin1String(":BOOT"));
    // Only a boot loader that was started here is asked for its memory type.
    bool checkMemoryType = false;
    if (!running) {
        log(QStringLiteral(" команда перейти в BOOT"));
        const bool bootAccepted = co_await exchange(QByteArrayLiteral("b\r"), QStringLiteral("<1234\r"), QString(), kEntryTimeOut, 0);
        if (bootAccepted) {
            log(QStringLiteral(" команда перейти в BOOT принята"));
            co_await pause(50);
            for (int n = 1; n <= 3; ++n) {
                co_await pause(1000);
                // Broken off: no more tries, and none logged.
                if (m_link.breakRequested())
                    break;
                log(QStringLiteral("Ожидание ответа BOOT попытка ") + QString::number(n));
                const bool bootAnswered = co_await exchange(QByteArrayLiteral("v\r"), QStringLiteral(":BOOT"), QString(), kEntryTimeOut, 0);
                if (bootAnswered) {
                    if (answer().startsWith(QLatin1String(":BOOT"))) {
                        running = true;
                        checkMemoryType = variant == Variant::Linear;
                        break;
                    }
                } else {
                    co_await pause(1);
                }
            }
        }
    }
    // The pause also lets the memory-type byte that follows ":BOOT" arrive.
    co_await pause(300);
    if (checkMemoryType) {
        const QString collected = m_link.port().receiver() ? m_link.port().receiver()->dataIn() : QString();
        if (collected.size() < 6 || collected.at(5) != QChar(0))
            co_return fail(QStringLiteral("Устройство не является устройством с линейной памятью - ts=0"));
    }
    if (!running)
        co_return fail(QStringLiteral("Терминал не перешел в режим загрузки"));
    co_return true;
}

Task<bool> BootLoaderTransfer::awaitFirstHeaderRequest()
{
    log(QStringLiteral("Терминал перешел в режим , ждем запрос заголовка"));
    bool requested = false;
    for (int attempt = 0; attempt < 4 && !requested; ++attempt) {
        requested = co_await exchange(QByteArrayLiteral("r\r"), kHeaderRequest, QString(), kEntryTimeOut, 0);
        if (requested)
            log(QStringLiteral("Получен запрос заголовка"));
    }
    if (!requested)
        co_return fail(QStringLiteral("НЕ получен запрос заголовка"));
    log(QStringLiteral("Получен запрос заголовка"));
    co_return true;
}

BootLoaderTransfer::Position BootLoaderTransfer::startPosition(Variant variant)
{
    Position at;
    if (m_start.continueFromLast) {
        at.address = m_last.address;
        at.bank = variant == Variant::Linear ? 0 : m_last.bank;
    } else {
        bool ok = false;
        at.address = qint32(m_start.pageText.trimmed().toUInt(&ok, 16));
        at.bank = m_start.bankText.trimmed().toInt();
        storePosition(at.bank, at.address);
    }
    // A position set from outside (an edited book) may be out of range: never read before a record.
    at.address = std::max(at.address, 0);
    at.bank = std::max(at.bank, 0);
    if (at.bank >= BankImages::BankCount) {
        at.none = true;
        return at;
    }
    if (m_images.usableLength(at.bank) < at.address) {
        if (at.bank == BankImages::BankCount - 1)
            at.none = true;
        else {
            ++at.bank;
            at.address = 0;
        }
    }
    return at;
}

Task<bool> BootLoaderTransfer::acknowledgeAndAwaitHeaderRequest(int bank, qint32 address, double percent)
{
    m_link.port().SendString(QStringLiteral("OK\r"));
    storePosition(bank, address);
    emit progressChanged(progressCaption(percent), int(std::nearbyint(percent)));
    const bool requested = co_await exchange(QByteArray(), kHeaderRequest, QString(), kBlockTimeOut, 1);
    if (!requested)
        co_return fail(QStringLiteral("Не получен запрос заголовка"));
    log(QStringLiteral("Получен запрос заголовка"));
    co_return true;
}

Task<bool> BootLoaderTransfer::bankedBlocks(Position at)
{
    int bank = at.bank;
    qint32 address = at.address;
    for (;;) {
        m_packet.PreparePacket(m_images, address, quint8(bank), 0);
        m_link.display().logMark(QStringLiteral("HEADER"));
        const bool headerTaken = co_await exchange(m_packet.HeaderPacket, QStringLiteral("["), QString(), kBlockTimeOut, 1);
        if (!headerTaken)
            co_return fail(QStringLiteral("Не получено подтверждение заголовка"));
        log(QStringLiteral("Запрос заголовка"));
        m_link.display().logMark(QStringLiteral("DATA"));
        const bool dataTaken = co_await exchange(m_packet.DataPacket, QStringLiteral("\\"), QString(), kBlockTimeOut, 1);
        if (!dataTaken)
            co_return fail(QStringLiteral("Не получено подтверждение данных 5С"));
        log(QStringLiteral("Доставлен пакет банк = ") + QString::number(bank) + QStringLiteral(" адр = ")
            + QString::number(address));
        const double percent = double(bank * 32768 + address) / 131072.0 * 100.0;
        const bool acknowledged = co_await acknowledgeAndAwaitHeaderRequest(bank, address, percent);
        if (!acknowledged)
            co_return false;

        address += m_packet.PacketLength;
        if (address < m_images.usableLength(bank))
            continue;
        // The next bank gets at least one block, with or without image bytes.
        if (bank == BankImages::BankCount - 1)
            co_return true;
        ++bank;
        address = 0;
    }
}

Task<bool> BootLoaderTransfer::linearBlocks(Position at)
{
    // The bank only names the blocks in the log; they are all cut from bank 0.
    const int bank = at.bank;
    qint32 address = at.address;
    const int length = m_images.usableLength(0);
    int repeats = 0;
    for (;;) {
        m_packet.PreparePacket1(m_images, address, quint8(bank), 0);
        m_link.display().logMark(QStringLiteral("HEADER"));
        const bool headerTaken = co_await exchange(m_packet.HeaderPacket, QStringLiteral("["), kHeaderRequest, kBlockTimeOut, 1);
        if (!headerTaken)
            co_return fail(QStringLiteral("Не получено подтверждение заголовка"));
        bool delivered = false;
        if (answerIndex() == 1) {
            log(QStringLiteral("Запрос заголовка"));
            m_link.display().logMark(QStringLiteral("DATA"));
            const bool dataTaken = co_await exchange(m_packet.DataPacket, QStringLiteral("\\"), kHeaderRequest, kBlockTimeOut, 1);
            if (!dataTaken)
                co_return fail(QStringLiteral("Не получено подтверждение данных 5С"));
            delivered = answerIndex() == 1;
        }
        if (!delivered) {
            // The terminal asks for the same block again.
            log(kRepeatLine);
            if (++repeats > kMaxRepeats)
                co_return fail(repeatsExhausted(address));
            continue;
        }
        repeats = 0;
        log(QStringLiteral("Доставлен пакет банк = ") + QString::number(bank) + QStringLiteral(" адр = ")
            + QString::number(address, 16).toUpper() + QStringLiteral("H"));
        const double percent = length > 0 ? double(address) / double(length) * 100.0 : 0.0;
        const bool acknowledged = co_await acknowledgeAndAwaitHeaderRequest(bank, address, percent);
        if (!acknowledged)
            co_return false;
        address += m_packet.PacketLength;
        if (address >= length)
            co_return true;
    }
}

Task<bool> BootLoaderTransfer::closingPacket(Variant variant)
{
    const QString repeat = variant == Variant::Linear ? kHeaderRequest : QString();
    int repeats = 0;
    for (;;) {
        if (repeats > kMaxRepeats)
            co_return fail(repeatsExhausted(0));
        m_packet.PreparePacket(m_images, 0, 0, FirmwarePacket::ClosingBlock);
        m_link.display().logMark(QStringLiteral("HEADER"));
        const bool headerTaken = co_await exchange(m_packet.HeaderPacket, QStringLiteral("["), repeat, kClosingTimeOut, 1);
        if (!headerTaken)
            co_return fail(QStringLiteral("Не получено подтверждение заголовка"));
        if (answerIndex() == 2) {
            log(kRepeatLine);
            ++repeats;
            continue;
        }
        log(QStringLiteral("Получено подтверждение заголовка посылаем пакет адр =")
            + QString::number(m_packet.PacketAddress) + QStringLiteral(" Длина=")
            + QString::number(m_packet.PacketLength));
        const bool dataTaken = co_await exchange(m_packet.DataPacket, QStringLiteral("^"), repeat, kClosingTimeOut, 1);
        if (!dataTaken)
            co_return fail(QStringLiteral("Не получено подтверждение данных 5E"));
        if (answerIndex() == 2) {
            log(kRepeatLine);
            ++repeats;
            continue;
        }
        log(QStringLiteral(" Передача завершена успешно. Спасибо! "));
        emit progressChanged(QStringLiteral("Загружено 100%"), 100);
        m_link.port().SendStringCR(QStringLiteral("OK\r"));
        co_return true;
    }
}
