// zavel-cli: a command-line client for zavel network disks, over the zavelsdk library.
#include "cli/cli_app.h"

int main(int argc, char** argv) {
  return zavel::cli::runCli(argc, argv);
}
