// Runs a planned get or put one item at a time: makes the folders, decides about every
// existing target, moves each file with a progress line, signing on again after a lost
// connection as often as the retry policy allows, and stops at the first failure or at
// Ctrl-C (the partial file stays, ready to be resumed).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "cli/conflict.h"
#include "cli/console.h"
#include "cli/disk.h"
#include "cli/progress_line.h"
#include "cli/transfer_plan.h"
#include "client/retry.h"

namespace zavel::cli {

// What a retry tells: "connection lost at 48.0 MiB, retrying in 2 s (attempt 2 of 5)".
std::string retryNote(uint64_t position, int wait_ms, int retry, int of);

class TransferRunner {
 public:
  TransferRunner(Disk& disk, Console& console, ConflictResolver& resolver, std::string command,
                 client::RetryPolicy retry);

  // Downloads give each file, and at the end each folder, the remote item's time (on by
  // default, as curl -R and rsync -t do).
  void keepTimes(bool keep) { keep_times_ = keep; }

  // An exit status: kExitOk, kExitFailed or kExitInterrupted.
  int download(const Plan& plan);
  // Items go below the remote folder `base` (a path or a club folder key).
  int upload(const Plan& plan, const std::string& base);

 private:
  struct RemoteItem {
    std::string address;
    bool folder = false;
    uint64_t size = 0;
  };
  // What a remote folder holds, by name; listed once and then kept up to date.
  using Contents = std::map<std::string, RemoteItem>;

  int downloadFile(const PlanItem& item, size_t number, size_t count);
  // Gives a downloaded item the remote item's time; a warning when it cannot.
  void keepTime(const PlanItem& item);
  int uploadFolder(const PlanItem& item);
  int uploadFile(const PlanItem& item, size_t number, size_t count);
  // The remote folder an upload item goes into, from its relative name.
  std::optional<std::string> parentFolder(const std::string& relative);
  // Null when the folder cannot be listed or is not a folder (contents_error_ says why).
  Contents* contents(const std::string& folder);
  // Decides about an existing target; kExitOk with *skip or *start set, or a failure.
  int decide(const PlanItem& item, uint64_t source_size, std::optional<uint64_t> target_size,
             uint64_t* start, bool* skip);
  // Moves one file; its direction, both ends and range are filled in.
  int transfer(client::FileTransfer* file, const PlanItem& item, size_t number, size_t count);

  static void reportProgress(const TransferProgress* progress);
  int fail(const std::string& what, const std::string& why);
  int interrupted(const std::string& what);
  void note(const std::string& text);
  // Shown off a terminal too: the line is taken off the terminal first.
  void warn(const std::string& text);

  Disk& disk_;
  Console& console_;
  ConflictResolver& resolver_;
  std::string command_;
  client::RetryPolicy retry_;
  ProgressMeter meter_;
  bool keep_times_ = true;
  bool rerun_ = false;  // the file goes on in a new run from its next report
  std::string base_;
  std::map<std::string, std::string> folders_;  // upload: relative name -> remote address
  std::map<std::string, Contents> contents_;    // upload: remote folder -> what it holds
  std::string contents_error_;                  // why the last folder could not be listed
};

}  // namespace zavel::cli
