#include "core/common/Workstation.h"

#include <QSysInfo>

namespace Workstation {

QString name()
{
    // Several operators on one machine (a terminal server) name their places themselves.
    const QString named = qEnvironmentVariable("KVRSETUP_WORKSTATION").trimmed();
    return QStringLiteral("kvrsetup@") + (named.isEmpty() ? QSysInfo::machineHostName() : named.left(64));
}

QString userName()
{
    for (const char *variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

} // namespace Workstation
