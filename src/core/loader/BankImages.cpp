#include "core/loader/BankImages.h"

#include "core/app/UserPrompts.h"
#include "core/common/FileIo.h"


#include <QFileInfo>

#include <algorithm>
#include <cstring>

void BankImages::clear()
{
    for (BankRecord &b : m_banks) {
        b.Length = 0;
        b.Data.fill(0);
    }
}

int BankImages::usableLength(int bank) const
{
    if (bank < 0 || bank >= BankCount)
        return 0;
    return std::max(0, m_banks[size_t(bank)].Length);
}

QByteArray BankImages::bytes(int bank, qint64 pos, int count) const
{
    QByteArray out(count, '\0');
    if (bank < 0 || bank >= BankCount || count <= 0)
        return out;
    const qint64 first = std::max<qint64>(pos, 0);
    const qint64 last = std::min<qint64>(pos + count, BankRecord::Size); // one past
    if (first < last)
        std::memcpy(out.data() + (first - pos), m_banks[size_t(bank)].Data.data() + first, size_t(last - first));
    return out;
}

bool BankImages::readFile(const QString &path, QByteArray &content, QString &why)
{
    return FileIo::readRegular(path, content, why, MaxFileSize + 1);
}

void BankImages::put(int bank, const QByteArray &content, qint64 from, qint64 to)
{
    // Callers keep to - from within the record: a file part is at most 70000 - 0x8000 bytes.
    if (to > from)
        std::memcpy(m_banks[size_t(bank)].Data.data(), content.constData() + from, size_t(to - from));
}

bool BankImages::refuseEmptyBank0(const QString &path, UserPrompts &prompts) const
{
    if (m_banks[0].Length > 0)
        return false;
    prompts.message(readErrorText() + QStringLiteral("Файл ") + path
                    + QStringLiteral(" пуст: в нём нет данных для банка 0"));
    return true;
}

bool BankImages::LoadFileVariables(const QString paths[3], UserPrompts &prompts)
{
    clear();
    QString why;
    QByteArray first;
    if (QFileInfo(paths[0]).size() <= MaxFileSize) { // a missing file fails in the read
        if (!readFile(paths[0], first, why)) {
            prompts.message(readErrorText() + why);
            return false;
        }
        const qint64 size = first.size();
        if (size > BankWindow) {
            put(0, first, 0, BankWindow);
            put(1, first, BankWindow, size);
            m_banks[0].Length = BankWindow;
            m_banks[1].Length = qint32(size - BankWindow);
        } else {
            put(0, first, 0, size);
            m_banks[0].Length = qint32(size);
        }
    }
    // An over-long first file is skipped without a message; the empty bank 0 stops the load below.

    // The second and third files are whole 64 KB memory images; only their banked window is loaded.
    for (int k = 1; k <= 2; ++k) {
        const QFileInfo info(paths[k]);
        if (!info.isFile())
            break; // a missing second file leaves bank 3 empty too
        if (info.size() > MaxFileSize)
            continue;
        QByteArray content;
        if (!readFile(paths[k], content, why)) {
            prompts.message(readErrorText() + why);
            return false;
        }
        const int bank = k + 1;
        put(bank, content, BankWindow, content.size());
        m_banks[size_t(bank)].Length = qint32(content.size() - BankWindow);
    }
    return !refuseEmptyBank0(paths[0], prompts);
}

bool BankImages::LoadFileVariables1(const QString &path, UserPrompts &prompts)
{
    clear();
    const QFileInfo info(path);
    if (info.exists() && info.size() > MaxFileSize) {
        prompts.message(QStringLiteral("Файл превышает размер в 65 кб"), QStringLiteral("ОШИБКА"),
                        UserPrompts::Icon::Critical);
        // Nothing was read: going on would only send a closing packet of zeros.
        return false;
    }
    QByteArray content;
    QString why;
    if (!readFile(path, content, why)) {
        prompts.message(readErrorText() + why);
        return false;
    }
    if (content.size() > BankRecord::Size) {
        prompts.message(readErrorText() + QStringLiteral("Файл ") + path + QStringLiteral(" длиннее ")
                        + QString::number(BankRecord::Size) + QStringLiteral(" байт"));
        return false;
    }
    put(0, content, 0, content.size());
    m_banks[0].Length = qint32(content.size());
    return !refuseEmptyBank0(path, prompts);
}
