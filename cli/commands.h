// The sub-commands of zavel-cli over an open disk. Each returns an exit status and writes
// its errors as "zavel-cli: COMMAND: WHAT: WHY".
#pragma once

#include <string>
#include <vector>

#include "cli/conflict.h"
#include "cli/console.h"
#include "cli/disk.h"
#include "client/retry.h"

namespace zavel::cli {

struct LsOptions {
  std::vector<std::string> paths;  // none: the disk's home folder
  bool recursive = false;
  bool human = false;  // sizes in KiB, MiB, ... instead of bytes
};

int runLs(Disk& disk, Console& console, const LsOptions& options);
// args: sources, then the local destination when there are two or more ("." otherwise).
int runGet(Disk& disk, Console& console, const std::vector<std::string>& args,
           ConflictPolicy policy, const client::RetryPolicy& retry);
// args: local sources, then the remote destination when there are two or more (the home
// folder otherwise).
int runPut(Disk& disk, Console& console, const std::vector<std::string>& args,
           ConflictPolicy policy, const client::RetryPolicy& retry);
int runMkdir(Disk& disk, Console& console, const std::vector<std::string>& paths);
int runRm(Disk& disk, Console& console, const std::vector<std::string>& paths, bool recursive);
// args: sources, then the destination (a folder, or a new name for one source).
int runMv(Disk& disk, Console& console, const std::vector<std::string>& args);
int runCp(Disk& disk, Console& console, const std::vector<std::string>& args);
int runDf(Disk& disk, Console& console);
int runStat(Disk& disk, Console& console, const std::vector<std::string>& paths);
int runCat(Disk& disk, Console& console, const std::vector<std::string>& paths);

}  // namespace zavel::cli
