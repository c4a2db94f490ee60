#pragma once

struct CliContext;
struct CliOptions;

// decode-pdu PDU: the fields of one PDU as the modem shows it, the packet it carries and
// what the program does with it when it arrives in a message listing. 0 decoded, 1 not a
// PDU that can be decoded.
int runDecodePdu(const CliOptions &o, CliContext &c);
// diff [--service] --table TABLE A.bin B.bin: every flag, output mask and parameter whose
// value differs, then bytes that differ where no table line reads them. 0 equal, 1
// different or bad input.
int runDiff(const CliOptions &o, CliContext &c);
