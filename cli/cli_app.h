// zavel-cli's command line: connection options, sub-commands, and the run of one command.
#pragma once

namespace zavel::cli {

// Parses the command line, opens the disk, runs the sub-command; the exit status.
int runCli(int argc, char** argv);

}  // namespace zavel::cli
