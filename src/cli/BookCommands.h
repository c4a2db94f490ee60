#pragma once

struct CliContext;
struct CliOptions;

// book list | add NAME PHONE | edit ID NAME PHONE | delete ID on Data.db of the application
// folder (KVRSETUP_HOME or the program's folder), with the link window's rule for a new Id.
// 0 done, 1 refused or a database error.
int runBook(const CliOptions &o, CliContext &c);
