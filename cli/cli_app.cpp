#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/account.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/disk.h"
#include "cli/disk_options.h"
#include "cli/program_settings.h"
#include "cli/remote_path.h"
#include "cli/rights.h"
#include "cli/terminal.h"
#include "cli/transfer_runner.h"
#include "client/rate_limiter.h"
#include "protocol/error_numbers.h"

namespace zavel::cli {

namespace {

struct ConflictFlags {
  bool resume = false, overwrite = false, skip = false;
  ConflictPolicy policy() const {
    return resume      ? ConflictPolicy::kResume
           : overwrite ? ConflictPolicy::kOverwrite
           : skip      ? ConflictPolicy::kSkip
                       : ConflictPolicy::kAsk;
  }
};

void addConflictFlags(CLI::App* command, ConflictFlags* flags) {
  CLI::Option* resume = command->add_flag("--resume", flags->resume,
                                          "an existing smaller target is continued from its size");
  CLI::Option* overwrite =
      command->add_flag("--overwrite", flags->overwrite, "an existing target is replaced");
  CLI::Option* skip = command->add_flag("--skip", flags->skip, "an existing target is left alone");
  resume->excludes(overwrite, skip);
  overwrite->excludes(skip);
}

int usage(const std::string& text) {
  std::cerr << "zavel-cli: " << text << "\n(--help shows the options)\n";
  return kExitUsage;
}

}  // namespace

int runCli(int argc, char** argv) {
  watchInterrupts();

  CLI::App app{
      "zavel-cli: work with zavel network disks from the command line.\n"
      "An account's disks: --account ID@DOMAIN [--disk NAME] (password from ZAVEL_PASSWORD "
      "or asked on the terminal; the portal and club servers from the program's settings).\n"
      "A personal disk: --host HOST --user ID (password as above).\nA club's disk: --club N "
      "--list-server HOST:PORT; its items are also named by club key (<12> a file, <12@> a "
      "folder).\nRemote paths start at the disk's top folder: \"/\" is that folder, \"/a\" and "
      "\"a\" the same item in it.",
      "zavel-cli"};
  app.require_subcommand(1, 1);
  app.fallthrough();
  app.set_version_flag("--version", "zavel-cli " ZAVEL_VERSION, "print the version and stop");

  DiskOptions disk_options(app, "zavel-cli");
  bool quiet = false;
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  int retries = client::RetryPolicy{}.retries;
  double retry_wait = client::RetryPolicy{}.firstWaitMs / 1000.0;
  app.add_option("--retries", retries,
                 "get and put: times a file goes on after a lost connection (0: never)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  app.add_option("--retry-wait", retry_wait,
                 "seconds before the first retry, doubled before each further one (at most 30)")
      ->check(CLI::Range(0.0, client::RetryPolicy{}.maxWaitMs / 1000.0))
      ->capture_default_str();
  int jobs = 4;
  app.add_option("-j,--jobs", jobs,
                 "get, put and cp: items that go at once, each on a session of its own")
      ->check(CLI::Range(1, 32))
      ->capture_default_str();
  std::string limit_rate;
  app.add_option("--limit-rate", limit_rate,
                 "get and put: at most RATE bytes a second over all files at once (2M; k, M "
                 "and G are powers of 1024)")
      ->check(CLI::Validator(
          [](std::string& text) {
            uint64_t rate = 0;
            return client::parseRate(text, &rate)
                       ? std::string()
                       : "'" + text + "' is no rate: bytes a second, as 500k, 2M or 1G";
          },
          "RATE"));
  app.add_flag("-q,--quiet", quiet, "no progress lines, notes or retry messages, only errors");
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::Throw);

  const auto batchOptions = [&] {
    BatchOptions batch;
    batch.retry.retries = retries;
    batch.retry.firstWaitMs = static_cast<int>(std::lround(retry_wait * 1000));
    batch.jobs = jobs;
    if (!limit_rate.empty()) client::parseRate(limit_rate, &batch.rate);
    return batch;
  };
  std::function<int(Disk&, Console&)> command;
  bool cancellable = false;

  bool disks_json = false;
  CLI::App* disks_cmd = app.add_subcommand("disks", "list the account's disks and your rights");
  disks_cmd->add_flag("--json", disks_json, "one JSON array of objects instead of lines");

  LsOptions ls;
  CLI::App* ls_cmd = app.add_subcommand("ls", "list folders: size, date and name of each item");
  ls_cmd->add_option("paths", ls.paths, "folders or files (default: the disk's top folder)");
  ls_cmd->add_flag("-R,--recursive", ls.recursive, "list the folders inside as well");
  ls_cmd->add_flag("--human", ls.human, "sizes in KiB, MiB, GiB");
  CLI::Option* names_only =
      ls_cmd->add_flag("-1", ls.names_only, "only the names, one a line (for scripts)");
  bool long_listing = true;
  ls_cmd->add_flag("-l", long_listing, "size, date and name of each item (the default)")
      ->excludes(names_only);
  ls_cmd->callback([&] {
    cancellable = true;
    command = [&](Disk& d, Console& con) { return runLs(d, con, ls); };
  });

  std::vector<std::string> get_args;
  ConflictFlags get_flags;
  bool no_times = false;
  CLI::App* get_cmd = app.add_subcommand(
      "get", "download files and folders: get REMOTE... [LOCAL] (LOCAL defaults to .)");
  get_cmd->add_option("paths", get_args, "remote sources, then the local destination")->required();
  addConflictFlags(get_cmd, &get_flags);
  get_cmd->add_flag("--no-times", no_times,
                    "local copies take the time they are written, not the remote items' own");
  get_cmd->callback([&] {
    cancellable = true;
    command = [&](Disk& d, Console& con) {
      return runGet(d, con, get_args, get_flags.policy(), batchOptions(), !no_times);
    };
  });

  std::vector<std::string> put_args;
  ConflictFlags put_flags;
  CLI::App* put_cmd = app.add_subcommand(
      "put", "upload files and folders: put LOCAL... [REMOTE] (REMOTE defaults to the top folder)");
  put_cmd->add_option("paths", put_args, "local sources, then the remote destination")->required();
  addConflictFlags(put_cmd, &put_flags);
  put_cmd->callback([&] {
    cancellable = true;
    command = [&](Disk& d, Console& con) {
      return runPut(d, con, put_args, put_flags.policy(), batchOptions());
    };
  });

  std::vector<std::string> mkdir_args;
  bool mkdir_parents = false;
  CLI::App* mkdir_cmd = app.add_subcommand("mkdir", "make folders");
  mkdir_cmd->add_option("paths", mkdir_args, "folders to make")->required();
  mkdir_cmd->add_flag("-p,--parents", mkdir_parents,
                      "make the folders on the way as well; a folder that exists is no error");
  mkdir_cmd->callback([&] {
    command = [&](Disk& d, Console& con) { return runMkdir(d, con, mkdir_args, mkdir_parents); };
  });

  std::vector<std::string> rm_args;
  bool rm_recursive = false;
  CLI::App* rm_cmd = app.add_subcommand("rm", "remove files (and with -r folders)");
  rm_cmd->add_option("paths", rm_args, "items to remove")->required();
  rm_cmd->add_flag("-r,--recursive", rm_recursive, "remove folders with everything in them");
  rm_cmd->callback([&] {
    command = [&](Disk& d, Console& con) { return runRm(d, con, rm_args, rm_recursive); };
  });

  std::vector<std::string> mv_args;
  CLI::App* mv_cmd =
      app.add_subcommand("mv", "move or rename: mv SOURCE... FOLDER, or mv SOURCE NEW-PATH");
  mv_cmd->add_option("paths", mv_args, "sources, then the destination")->required();
  mv_cmd->callback(
      [&] { command = [&](Disk& d, Console& con) { return runMv(d, con, mv_args); }; });

  std::vector<std::string> cp_args;
  CLI::App* cp_cmd = app.add_subcommand(
      "cp", "copy on the server: cp SOURCE... FOLDER, or cp SOURCE NEW-PATH in another folder");
  cp_cmd->add_option("paths", cp_args, "sources, then the destination")->required();
  cp_cmd->callback(
      [&] { command = [&](Disk& d, Console& con) { return runCp(d, con, cp_args, jobs); }; });

  CLI::App* df_cmd = app.add_subcommand("df", "the disk's size, used and free space");
  df_cmd->callback([&] { command = [](Disk& d, Console& con) { return runDf(d, con); }; });

  std::vector<std::string> stat_args;
  CLI::App* stat_cmd = app.add_subcommand("stat", "everything the listing says about items");
  stat_cmd->add_option("paths", stat_args, "items")->required();
  stat_cmd->callback(
      [&] { command = [&](Disk& d, Console& con) { return runStat(d, con, stat_args); }; });

  std::vector<std::string> cat_args;
  CLI::App* cat_cmd = app.add_subcommand("cat", "write files to standard output");
  cat_cmd->add_option("paths", cat_args, "files")->required();
  cat_cmd->callback([&] {
    cancellable = true;
    command = [&](Disk& d, Console& con) { return runCat(d, con, cat_args); };
  });

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // A word that is no command is left over, and then the missing command is all CLI11 says.
    if (app.get_subcommands().empty() && !app.remaining().empty() && e.get_exit_code() != 0) {
      std::string commands;
      for (const CLI::App* sub : app.get_subcommands({}))
        commands += (commands.empty() ? "" : ", ") + sub->get_name();
      return usage("'" + printable(app.remaining().front()) +
                   "' is not a command; the commands: " + commands);
    }
    const int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  if (const std::string problem = disk_options.finish(); !problem.empty()) return usage(problem);
  for (const auto* two : {&mv_args, &cp_args})
    if (!two->empty() && two->size() < 2) return usage("a source and a destination are needed");
  const std::string command_name = app.get_subcommands().front()->get_name();
  int status = kExitOk;
  if (command_name == "disks") {
    if (disk_options.values().account.empty()) return usage("disks needs --account ID@DOMAIN");
    std::unique_ptr<AccountSession> account = disk_options.signIn(&status);
    if (!account) return status;
    const std::vector<DiskRights> disks = account->disks();
    std::cout << (disks_json ? disksJson(disks) : disksTable(disks)) << std::flush;
    for (const DiskRights& d : disks)
      if (!d.mode) {
        std::cerr << "zavel-cli: disks: " << printable(d.disk.diskname)
                  << ": the club server did not tell your rights there\n";
        status = kExitFailed;
      }
    return status;
  }
  if (!command) return usage("no command");

  std::unique_ptr<Disk> disk = disk_options.open(&status);
  if (!disk) return status;
  if (const std::string refusal = rightsRefusal(command_name, disk->mode()); !refusal.empty()) {
    std::cerr << "zavel-cli: " << command_name << ": " << refusal << "\n";
    return kExitFailed;
  }

  TerminalAsker asker;
  const bool on_terminal = isTerminal(2);
  Console console{std::cout, std::cerr};
  console.progress = on_terminal && !quiet;
  console.notes = on_terminal && !quiet;
  console.warnings = !quiet;
  console.asker = isTerminal(0) && on_terminal ? &asker : nullptr;
  console.cancel = cancelFlag();
  console.width = [] { return terminalWidth(2); };

  setCancellable(cancellable);
  status = command(*disk, console);
  setCancellable(false);
  // Whatever the command made of it, an interrupted command has not succeeded.
  if (console.cancelled() && status == kExitOk) status = kExitInterrupted;
  return status;
}

}  // namespace zavel::cli
