#include "core/common/Workstation.h"

#include <QSysInfo>

namespace Workstation {

QString name()
{
    static const QString name = QStringLiteral("kvrsetup@") + QSysInfo::machineHostName();
    return name;
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
