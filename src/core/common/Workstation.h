#pragma once

#include <QString>

// Who does something on a shared gateway or database: rows of several workstations meet there,
// and each says where and by whom it was made.
namespace Workstation {

// "kvrsetup@" and this machine's host name, or the place KVRSETUP_WORKSTATION names.
QString name();
// The login name from the environment (USER, LOGNAME or USERNAME); empty when none is set.
QString userName();

} // namespace Workstation
