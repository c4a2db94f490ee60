#pragma once

struct CliContext;
struct CliOptions;

// tasks [--open | --failed] [--terminal NAME] [--json] [--smsd FILE], tasks cancel ID...,
// tasks get ID --out FILE: the tasks of Data.db of the application folder, or with --smsd those
// of the gateway's database, which its workstations share. 0 done, 1 when the tasks cannot be
// read or a task cannot be cancelled or written, 2 on bad usage.
int runTasks(const CliOptions &o, CliContext &c);
