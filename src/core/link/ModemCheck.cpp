#include "core/link/ModemCheck.h"

#include "core/link/LinkExchange.h"
#include "core/link/mdlStrings.h"

#include <QStringList>

namespace {

// The type lines of an ATI answer: without the command's echo and without unsolicited
// lines ("+CMTI: ...", "RING") that the modem slipped in before them; a product line such
// as "+CGMM: SIM900" stays.
QString modemTypeText(QString remain)
{
    if (remain.startsWith(QLatin1String("ATI")))
        remain.remove(0, 3);
    QStringList kept;
    const QStringList lines = mdlStrings::TrimCrLf(remain).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString bare = mdlStrings::TrimCrLf(line);
        if (mdlStrings::isUnsolicited(bare) || bare == QLatin1String("ATI"))
            continue;
        kept << line;
    }
    return mdlStrings::TrimCrLf(kept.join(QLatin1Char('\n'))).toUpper();
}

} // namespace

Task<ModemCheckResult> runModemCheck(LinkExchange &link)
{
    ModemCheckResult result;
    const bool modemReady = co_await link.TestCmdMode();
    result.modemReady = modemReady;
    if (modemReady)
        link.display().appendInfo(QStringLiteral("Модем в командном режимн") + QStringLiteral("\r\n"));
    else
        link.display().appendInfo(QStringLiteral("Нет отклика модема, проверьте скорости и подключения ") +
                        QStringLiteral("\r\n"));
    if (!modemReady)
        co_return result;

    link.display().appendInfo(QStringLiteral("Проверка типа модема") + QStringLiteral("\r\n"));
    result.typeKnown = co_await link.sendCommand(QStringLiteral("ATI"), QStringLiteral("OK"), 5000);
    if (result.typeKnown) {
        const QString s = modemTypeText(link.lastAnswer().remain);
        result.type = s;
        link.display().appendInfo(QStringLiteral("Модем ") + s + QStringLiteral("\r\n"));
    }
    co_return result;
}
