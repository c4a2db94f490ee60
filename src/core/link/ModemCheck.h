#pragma once

#include "core/common/Task.h"

#include <QString>

class LinkExchange;

struct ModemCheckResult
{
    bool modemReady = false; // "AT" answered: the window's ModemReady
    bool typeKnown = false;  // "ATI" answered as well
    QString type;            // the modem's type lines, upper-cased
};

// The modem probe run when the link window comes up: "AT", then "ATI" for the
// modem's type. Writes its lines through the link's info log.
Task<ModemCheckResult> runModemCheck(LinkExchange &link);
