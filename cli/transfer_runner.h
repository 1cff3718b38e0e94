// Runs a planned get or put: makes the folders, decides about every existing target and
// moves each file, signing on again after a lost connection as often as the retry policy
// allows. With one job the items go one at a time in the plan's order under a progress line
// per file. With several the folders are made first, in order, and then the files go
// several at once, each on a session of its own, under a progress display for the batch.
// The first failure or Ctrl-C starts no further file; the files in flight end as they
// would, or at Ctrl-C keep their partial files, ready to be resumed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/conflict.h"
#include "cli/console.h"
#include "cli/disk.h"
#include "cli/progress_line.h"
#include "cli/transfer_plan.h"
#include "client/rate_limiter.h"
#include "client/retry.h"

namespace zavel::cli {

// What a retry tells: "connection lost at 48.0 MiB, retrying in 2 s (attempt 2 of 5)".
std::string retryNote(uint64_t position, int wait_ms, int retry, int of);

// How the items of a get, put or cp go.
struct BatchOptions {
  client::RetryPolicy retry;  // for each file
  int jobs = 1;               // files at once, each on a session of its own
  uint64_t rate = 0;          // bytes a second over all of them; 0: no limit
};

class TransferRunner {
 public:
  TransferRunner(Disk& disk, Console& console, ConflictResolver& resolver, std::string command,
                 const BatchOptions& options);

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

  // One file of the batch on its way.
  struct Job {
    TransferRunner* runner = nullptr;
    const PlanItem* item = nullptr;
    size_t index = 0;  // among the batch's files, in the plan's order
    int worker = 0;    // the session's number in the pool: the file's slot on the display
    ZavelSession* session = nullptr;
    uint64_t counted = 0;  // bytes of this run handed to the rate limiter
    bool rerun = false;    // the file goes on in a new run from its next report
  };
  using FolderStep = int (TransferRunner::*)(const PlanItem&);
  using FileStep = int (TransferRunner::*)(Job&);

  static std::vector<const PlanItem*> filesOf(const Plan& plan);
  // Whether the files go several at once.
  bool together(const std::vector<const PlanItem*>& files) const;
  // Every item in the plan's order on the disk's own session.
  int inOrder(const Plan& plan, FolderStep folder, FileStep file);
  // The folders in the plan's order.
  int folders(const Plan& plan, FolderStep folder);
  // The files several at once on a pool of sessions.
  int atOnce(const std::vector<const PlanItem*>& files, FileStep file);

  int makeLocalFolder(const PlanItem& item);
  int downloadFile(Job& job);
  // Gives a downloaded item the remote item's time; a warning when it cannot.
  void keepTime(const PlanItem& item);
  int uploadFolder(const PlanItem& item);
  int uploadFile(Job& job);
  // The remote folder an upload item goes into, from its relative name.
  std::optional<std::string> parentFolder(const std::string& relative);
  // Null when the folder cannot be listed or is not a folder (contents_error_ says why).
  // Called with contents_mutex_ held. Lists on the disk's own session: with several jobs
  // every folder a file goes into is listed before the files start.
  Contents* contents(const std::string& folder);
  // Decides about an existing target; kExitOk with *skip or *start set, or a failure.
  int decide(const PlanItem& item, uint64_t source_size, std::optional<uint64_t> target_size,
             uint64_t* start, bool* skip);
  // Moves one file; its direction, both ends and range are filled in.
  int transfer(client::FileTransfer* file, Job& job);

  static void reportProgress(const TransferProgress* progress);
  void progressed(Job& job, const TransferProgress& progress);
  int fail(const std::string& what, const std::string& why);
  // others: files also cut short besides `what`.
  int interrupted(const std::string& what, size_t others = 0);
  void note(const std::string& text);
  // Shown off a terminal too.
  void warn(const std::string& text);
  // Writes whole lines on the error stream from any job, the progress taken off the
  // terminal first; held back while a question is on the terminal.
  void say(const std::string& lines);
  // While a question is asked, nothing else is written.
  void hold(bool asking);

  Disk& disk_;
  Console& console_;
  ConflictResolver& resolver_;
  std::string command_;
  BatchOptions options_;
  std::unique_ptr<client::RateLimiter> limiter_;  // none without a limit
  bool keep_times_ = true;
  bool several_ = false;  // files go several at once
  size_t files_ = 0;

  std::mutex out_mutex_;  // the error stream, the progress display and what follows
  ProgressMeter meter_;
  BatchMeter batch_;
  bool asking_ = false;
  std::string held_;               // messages that came while a question was asked
  std::vector<size_t> cut_short_;  // files in flight at Ctrl-C

  std::mutex ask_mutex_;  // one question at a time

  std::string base_;
  std::map<std::string, std::string> folders_;  // upload: relative name -> remote address
  std::mutex contents_mutex_;
  std::map<std::string, Contents> contents_;  // upload: remote folder -> what it holds
  std::string contents_error_;                // why the last folder could not be listed
};

}  // namespace zavel::cli
