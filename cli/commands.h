// The sub-commands of zavel-cli over an open disk. Each returns an exit status and writes
// its errors as "zavel-cli: COMMAND: WHAT: WHY". Remote paths are read as resolveRemote()
// reads them, rooted at the disk's top folder; what can be checked is checked before
// anything is sent.
#pragma once

#include <string>
#include <vector>

#include "cli/conflict.h"
#include "cli/console.h"
#include "cli/disk.h"
#include "cli/transfer_runner.h"

namespace zavel::cli {

struct LsOptions {
  std::vector<std::string> paths;  // none: the disk's top folder
  bool recursive = false;
  bool human = false;       // sizes in KiB, MiB, ... instead of bytes
  bool names_only = false;  // one bare name a line, for scripts
};

int runLs(Disk& disk, Console& console, const LsOptions& options);
// args: sources, then the local destination when there are two or more ("." otherwise).
// keep_times: each downloaded item takes the remote item's time.
int runGet(Disk& disk, Console& console, const std::vector<std::string>& args,
           ConflictPolicy policy, const BatchOptions& batch, bool keep_times);
// args: local sources, then the remote destination when there are two or more (the top
// folder otherwise).
int runPut(Disk& disk, Console& console, const std::vector<std::string>& args,
           ConflictPolicy policy, const BatchOptions& batch);
// parents: folders on the way are made too, and a folder that exists is no error.
int runMkdir(Disk& disk, Console& console, const std::vector<std::string>& paths, bool parents);
int runRm(Disk& disk, Console& console, const std::vector<std::string>& paths, bool recursive);
// args: sources, then the destination (a folder, or a new name for one source). All or
// nothing: an existing target is refused before anything is sent, and when a later step
// fails the earlier ones are undone.
int runMv(Disk& disk, Console& console, const std::vector<std::string>& args);
// jobs: copies into a folder at once, each on a session of its own.
int runCp(Disk& disk, Console& console, const std::vector<std::string>& args, int jobs = 1);
int runDf(Disk& disk, Console& console);
int runStat(Disk& disk, Console& console, const std::vector<std::string>& paths);
int runCat(Disk& disk, Console& console, const std::vector<std::string>& paths);

}  // namespace zavel::cli
