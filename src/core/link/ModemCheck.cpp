#include "core/link/ModemCheck.h"

#include "core/link/LinkExchange.h"
#include "core/link/mdlStrings.h"

bool runModemCheck(LinkExchange &link)
{
    const bool modemReady = link.TestCmdMode();
    if (modemReady)
        link.appendInfo(QStringLiteral("Модем в командном режимн") + QStringLiteral("\r\n"));
    else
        link.appendInfo(QStringLiteral("Нет отклика модема, проверьте скорости и подключения ") +
                        QStringLiteral("\r\n"));
    if (!modemReady)
        return false;

    link.appendInfo(QStringLiteral("Проверка типа модема") + QStringLiteral("\r\n"));
    if (link.sendCommand(QStringLiteral("ATI"), QStringLiteral("OK"), 5000)) {
        QString s = link.lastAnswer().remain;
        if (s.startsWith(QLatin1String("ATI")))
            s.remove(0, 3);
        s = mdlStrings::TrimCrLf(s).toUpper();
        link.appendInfo(QStringLiteral("Модем ") + s + QStringLiteral("\r\n"));
    }
    return true;
}
