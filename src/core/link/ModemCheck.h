#pragma once

class LinkExchange;

// The modem probe run when the link window comes up: "AT", then "ATI" for the
// modem's type. Writes its lines through the link's info log; returns ModemReady.
bool runModemCheck(LinkExchange &link);
