#include "cli/transfer_runner.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>

#include "cli/human_units.h"
#include "cli/remote_path.h"
#include "client/session_pool.h"

namespace zavel::cli {

namespace fs = std::filesystem;

namespace {

std::string lastName(const std::string& relative) {
  const size_t slash = relative.rfind('/');
  return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

}  // namespace

std::string retryNote(uint64_t position, int wait_ms, int retry, int of) {
  return "connection lost at " + humanBytes(position) + ", retrying in " +
         secondsText(wait_ms > 0 ? static_cast<uint64_t>(wait_ms) : 0) + " (attempt " +
         std::to_string(retry) + " of " + std::to_string(of) + ")";
}

TransferRunner::TransferRunner(Disk& disk, Console& console, ConflictResolver& resolver,
                               std::string command, const BatchOptions& options)
    : disk_(disk),
      console_(console),
      resolver_(resolver),
      command_(std::move(command)),
      options_(options),
      meter_([&console](const std::string& text) { console.err << text << std::flush; },
             console.clock, console.width),
      batch_([&console](const std::string& text) { console.err << text << std::flush; },
             console.clock, console.width) {
  if (options_.rate > 0) {
    // A job held back by the limit still stops at once at Ctrl-C.
    limiter_ = std::make_unique<client::RateLimiter>(
        options_.rate, client::RateLimiter::Now{},
        [&console](client::RateLimiter::Clock::duration wait) {
          const auto until = client::RateLimiter::Clock::now() + wait;
          for (auto now = client::RateLimiter::Clock::now(); now < until && !console.cancelled();
               now = client::RateLimiter::Clock::now())
            std::this_thread::sleep_for(std::min<client::RateLimiter::Clock::duration>(
                until - now, std::chrono::milliseconds(20)));
        });
  }
}

std::vector<const PlanItem*> TransferRunner::filesOf(const Plan& plan) {
  std::vector<const PlanItem*> files;
  for (const PlanItem& item : plan.items)
    if (!item.folder) files.push_back(&item);
  return files;
}

bool TransferRunner::together(const std::vector<const PlanItem*>& files) const {
  return options_.jobs > 1 && files.size() > 1;
}

int TransferRunner::download(const Plan& plan) {
  const std::vector<const PlanItem*> files = filesOf(plan);
  files_ = files.size();
  several_ = together(files);
  int status = kExitOk;
  if (!several_) {
    status = inOrder(plan, &TransferRunner::makeLocalFolder, &TransferRunner::downloadFile);
  } else {
    status = folders(plan, &TransferRunner::makeLocalFolder);
    if (status == kExitOk) status = atOnce(files, &TransferRunner::downloadFile);
  }
  if (status != kExitOk) return status;
  // Last, and deepest first: what is written into a folder changes its time.
  for (auto item = plan.items.rbegin(); item != plan.items.rend(); ++item)
    if (item->folder) keepTime(*item);
  return kExitOk;
}

int TransferRunner::upload(const Plan& plan, const std::string& base) {
  base_ = base;
  folders_.clear();
  contents_.clear();
  const std::vector<const PlanItem*> files = filesOf(plan);
  files_ = files.size();
  several_ = together(files);
  if (!several_) return inOrder(plan, &TransferRunner::uploadFolder, &TransferRunner::uploadFile);
  if (const int status = folders(plan, &TransferRunner::uploadFolder); status != kExitOk)
    return status;
  // Every folder that a file goes into is listed now, once; the files' jobs only look.
  for (const PlanItem* file : files) {
    if (console_.cancelled()) return interrupted(file->relative);
    const std::optional<std::string> parent = parentFolder(file->relative);
    if (!parent) return fail(file->relative, "its folder was not made");
    std::lock_guard lock(contents_mutex_);
    if (contents(*parent) == nullptr) return fail(*parent, contents_error_);
  }
  return atOnce(files, &TransferRunner::uploadFile);
}

int TransferRunner::inOrder(const Plan& plan, FolderStep folder, FileStep file) {
  size_t index = 0;
  for (const PlanItem& item : plan.items) {
    if (console_.cancelled()) return interrupted(item.relative);
    if (item.folder) {
      if (const int status = (this->*folder)(item); status != kExitOk) return status;
      continue;
    }
    Job job{this, &item, index++, 0, disk_.handle()};
    const int status = (this->*file)(job);
    if (status == kExitInterrupted) return interrupted(item.relative);
    if (status != kExitOk) return status;
  }
  return kExitOk;
}

int TransferRunner::folders(const Plan& plan, FolderStep folder) {
  for (const PlanItem& item : plan.items) {
    if (!item.folder) continue;
    if (console_.cancelled()) return interrupted(item.relative);
    if (const int status = (this->*folder)(item); status != kExitOk) return status;
  }
  return kExitOk;
}

int TransferRunner::atOnce(const std::vector<const PlanItem*>& files, FileStep step) {
  const int wanted =
      static_cast<int>(std::min<size_t>(static_cast<size_t>(options_.jobs), files.size()));
  client::SessionPool pool(disk_.handle(), wanted);
  if (pool.size() < wanted)
    note(command_ + ": the server took " + std::to_string(pool.size()) + " of " +
         std::to_string(wanted) + " sessions; the files go " + std::to_string(pool.size()) +
         " at once");
  // A file whose target an earlier file of the batch writes too (two sources of one name)
  // waits for a later round: no two jobs write one target at once.
  std::vector<std::vector<size_t>> rounds;
  std::map<std::string, size_t> seen;
  uint64_t bytes = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const size_t round = seen[files[i]->relative]++;
    if (round >= rounds.size()) rounds.resize(round + 1);
    rounds[round].push_back(i);
    bytes += files[i]->size;
  }
  if (console_.progress) {
    std::lock_guard lock(out_mutex_);
    batch_.begin(files.size(), bytes);
  }
  int32_t stop = 0;
  std::atomic<bool> failed{false};
  std::vector<char> ended(files.size(), 0);  // each written by its own file's job
  for (const std::vector<size_t>& round : rounds) {
    pool.run(
        round.size(),
        [&](size_t n, int worker, ZavelSession* session) {
          const size_t index = round[n];
          if (!console_.cancelled()) {
            Job job{this, files[index], index, worker, session};
            const int status = (this->*step)(job);
            if (status == kExitInterrupted) return;
            ended[index] = 1;
            if (status == kExitOk) return;
            failed = true;
          }
          std::atomic_ref<int32_t>(stop).store(1);
        },
        &stop);
    if (stop != 0 || console_.cancelled()) break;
  }
  if (console_.progress && !console_.cancelled()) {
    std::lock_guard lock(out_mutex_);
    batch_.finish();
  }
  if (console_.cancelled()) {
    // Where the batch stopped: the first file cut short, or else the first not begun.
    size_t first = std::find(ended.begin(), ended.end(), 0) - ended.begin(), others = 0;
    {
      std::lock_guard lock(out_mutex_);
      if (!cut_short_.empty()) {
        first = *std::min_element(cut_short_.begin(), cut_short_.end());
        others = cut_short_.size() - 1;
      }
    }
    if (first < files.size()) return interrupted(files[first]->relative, others);
  }
  return failed ? kExitFailed : kExitOk;
}

int TransferRunner::makeLocalFolder(const PlanItem& item) {
  std::error_code ec;
  fs::create_directories(item.local, ec);
  if (ec) return fail(item.local.string(), ec.message());
  if (!fs::is_directory(item.local, ec)) return fail(item.local.string(), "not a folder");
  return kExitOk;
}

void TransferRunner::keepTime(const PlanItem& item) {
  if (!keep_times_ || !item.modified) return;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*item.modified), 0}};
  if (::utimensat(AT_FDCWD, item.local.c_str(), times, 0) != 0)
    warn(item.local.string() + ": cannot set its time: " + std::strerror(errno));
}

int TransferRunner::downloadFile(Job& job) {
  const PlanItem& item = *job.item;
  // The listing that made the plan told the size; it is asked only where it did not.
  std::optional<uint64_t> size = item.size;
  LibraryError error;
  if (!item.sized) size = Disk::fileSize(job.session, item.remote, &error);
  if (!size) return fail(item.relative, error.describe());
  std::error_code ec;
  std::optional<uint64_t> have;
  const fs::file_status st = fs::status(item.local, ec);
  if (fs::is_directory(st)) return fail(item.local.string(), "is a folder");
  if (fs::exists(st)) {
    if (!fs::is_regular_file(st)) return fail(item.local.string(), "is not a regular file");
    have = fs::file_size(item.local, ec);
    if (ec) return fail(item.local.string(), ec.message());
  }
  uint64_t start = 0;
  bool skip = false;
  if (const int status = decide(item, *size, have, &start, &skip); status != kExitOk || skip)
    return status;

  const std::string local = item.local.string();
  client::FileTransfer file;
  file.remote = item.remote;
  file.local = local;
  file.start = start;
  file.end = *size;
  if (const int status = transfer(&file, job); status != kExitOk) return status;
  // The library writes into whatever was there; what is there now must be the file.
  const uint64_t now = fs::file_size(item.local, ec);
  if (ec) return fail(local, ec.message());
  if (now != *size)
    return fail(local, "holds " + std::to_string(now) + " bytes after the download, not " +
                           std::to_string(*size));
  keepTime(item);
  return kExitOk;
}

std::optional<std::string> TransferRunner::parentFolder(const std::string& relative) {
  const size_t slash = relative.rfind('/');
  if (slash == std::string::npos) return base_;
  const auto found = folders_.find(relative.substr(0, slash));
  if (found == folders_.end()) return std::nullopt;
  return found->second;
}

TransferRunner::Contents* TransferRunner::contents(const std::string& folder) {
  if (const auto found = contents_.find(folder); found != contents_.end()) return &found->second;
  LibraryError error;
  const std::optional<Listing> listing = disk_.look(folder, &error);
  if (!listing) {
    contents_error_ = error.describe();
    return nullptr;
  }
  if (listing->self && !listing->self->folder) {
    contents_error_ = "not a folder on the disk";
    return nullptr;
  }
  Contents& c = contents_[folder];
  for (const ListedChild& child : listing->children)
    c[child.name] = RemoteItem{child.address, child.entry.folder,
                               child.entry.size > 0 ? static_cast<uint64_t>(child.entry.size) : 0};
  return &c;
}

int TransferRunner::uploadFolder(const PlanItem& item) {
  const std::optional<std::string> parent = parentFolder(item.relative);
  if (!parent) return fail(item.relative, "its folder was not made");
  const std::string name = lastName(item.relative);
  std::lock_guard lock(contents_mutex_);
  Contents* inside = contents(*parent);
  if (inside == nullptr) return fail(*parent, contents_error_);
  if (const auto found = inside->find(name); found != inside->end()) {
    if (!found->second.folder) return fail(item.relative, "exists on the disk and is not a folder");
    folders_[item.relative] = found->second.address;
    return kExitOk;
  }
  const std::string path = joinRemote(*parent, name);
  if (!disk_.makeFolder(path)) return fail(item.relative, disk_.error().describe());
  std::string address = path;
  if (isClubKey(*parent)) {
    // Below a folder named by key, the new folder can only be reached by its own key.
    contents_.erase(*parent);
    inside = contents(*parent);
    const auto found = inside != nullptr ? inside->find(name) : Contents::iterator{};
    if (inside == nullptr || found == inside->end())
      return fail(item.relative, "made, but not found in its folder afterwards");
    address = found->second.address;
  } else {
    (*inside)[name] = RemoteItem{address, true, 0};
    contents_[address];  // new and empty
  }
  folders_[item.relative] = address;
  return kExitOk;
}

int TransferRunner::uploadFile(Job& job) {
  const PlanItem& item = *job.item;
  const std::optional<std::string> parent = parentFolder(item.relative);
  if (!parent) return fail(item.relative, "its folder was not made");
  const std::string name = lastName(item.relative);
  // What the target's folder holds comes from its listing, made once for all its files.
  std::optional<uint64_t> have;
  {
    std::lock_guard lock(contents_mutex_);
    Contents* inside = contents(*parent);
    if (inside == nullptr) return fail(*parent, contents_error_);
    if (const auto found = inside->find(name); found != inside->end()) {
      if (found->second.folder) return fail(item.relative, "is a folder on the disk");
      have = found->second.size;
    }
  }
  std::error_code ec;
  const uint64_t size = fs::file_size(item.local, ec);
  if (ec) return fail(item.local.string(), ec.message());
  uint64_t start = 0;
  bool skip = false;
  if (const int status = decide(item, size, have, &start, &skip); status != kExitOk || skip)
    return status;

  const std::string target = joinRemote(*parent, name);
  client::FileTransfer file;
  file.upload = true;
  file.remote = target;
  file.local = item.local.string();
  file.start = start;
  file.end = size;
  // The library's success means the disk took the whole range: nothing more to ask.
  if (const int status = transfer(&file, job); status != kExitOk) return status;
  std::lock_guard lock(contents_mutex_);
  contents_[*parent][name] = RemoteItem{target, false, size};
  return kExitOk;
}

int TransferRunner::decide(const PlanItem& item, uint64_t source_size,
                           std::optional<uint64_t> target_size, uint64_t* start, bool* skip) {
  Decision d;
  {
    // One question at a time, with nothing else written while it is on the terminal.
    std::lock_guard one(ask_mutex_);
    const bool asks = target_size && console_.asker != nullptr;
    if (asks) hold(true);
    d = resolver_.decide(item.relative, source_size, target_size);
    if (asks) hold(false);
  }
  switch (d.action) {
    case Decision::Action::kTransfer:
      *start = d.start;
      return kExitOk;
    case Decision::Action::kSkip:
      *skip = true;
      if (several_ && console_.progress) {
        std::lock_guard lock(out_mutex_);
        batch_.skip(source_size);
      }
      note(item.relative + ": " + d.reason + "; left as it is");
      return kExitOk;
    case Decision::Action::kRefuse:
      return fail(item.relative, d.reason);
    case Decision::Action::kQuit:
      break;
  }
  return fail(item.relative, "stopped before this file");
}

void TransferRunner::reportProgress(const TransferProgress* progress) {
  auto* job = static_cast<Job*>(progress->userValue);
  job->runner->progressed(*job, *progress);
}

void TransferRunner::progressed(Job& job, const TransferProgress& progress) {
  const bool rerun = std::exchange(job.rerun, false);
  if (rerun) job.counted = progress.spec->start;
  if (progress.position > job.counted) {
    // Held here, on the job's own thread, until the bytes fit the rate of all the jobs.
    if (limiter_) limiter_->take(progress.position - job.counted);
    job.counted = progress.position;
  }
  if (!console_.progress) return;
  std::lock_guard lock(out_mutex_);
  if (!several_) {
    if (rerun) meter_.resume(progress.spec->start);
    meter_.report(progress.position, progress.elapsed);
    return;
  }
  if (rerun) batch_.resume(job.worker, progress.spec->start);
  // After Ctrl-C the display stays as it was, below it the message that says so.
  if (asking_ || console_.cancelled()) return;
  batch_.report(job.worker, progress.position);
}

int TransferRunner::transfer(client::FileTransfer* file, Job& job) {
  const PlanItem& item = *job.item;
  if (console_.progress || limiter_) {
    file->progressCallback = &TransferRunner::reportProgress;
    file->userValue = &job;
  }
  job.counted = file->start;
  job.rerun = false;
  if (console_.progress) {
    std::lock_guard lock(out_mutex_);
    if (several_)
      batch_.start(job.worker, printable(item.relative), file->start, file->end);
    else
      meter_.begin(files_ > 1
                       ? "[" + std::to_string(job.index + 1) + "/" + std::to_string(files_) + "] "
                       : "",
                   printable(item.relative), file->start, file->end);
  }
  client::RetryEvents events;
  events.retrying = [&](int retry, int of, int wait_ms, uint64_t position, int32_t) {
    job.rerun = true;
    warn(item.relative + ": " + retryNote(position, wait_ms, retry, of));
  };
  events.restarted = [&](uint64_t) {
    job.rerun = true;
    warn(item.relative +
         ": the part already there is not the start of the source; sending it again from the "
         "start");
  };
  LibraryError error;
  const bool ok =
      Disk::transfer(job.session, *file, console_.cancel, options_.retry, events, &error);
  // A cancelled transfer succeeds in the library's terms; here it is an interruption.
  const bool cancelled = console_.cancelled();
  {
    std::lock_guard lock(out_mutex_);
    if (console_.progress && several_) batch_.done(job.worker, ok && !cancelled);
    if (console_.progress && !several_) meter_.finish();
    if (cancelled) cut_short_.push_back(job.index);
  }
  if (cancelled) return kExitInterrupted;
  if (!ok) return fail(item.relative, error.describe());
  return kExitOk;
}

int TransferRunner::fail(const std::string& what, const std::string& why) {
  say("zavel-cli: " + command_ + ": " + printable(what) + ": " + why + "\n");
  return kExitFailed;
}

int TransferRunner::interrupted(const std::string& what, size_t others) {
  say("zavel-cli: " + command_ + ": interrupted at " + printable(what) +
      (others == 0 ? ""
                   : " and " + std::to_string(others) + " other file" + (others > 1 ? "s" : "")) +
      "; run the same command with --resume to continue\n");
  return kExitInterrupted;
}

void TransferRunner::note(const std::string& text) {
  if (console_.notes) say("zavel-cli: " + printable(text) + "\n");
}

void TransferRunner::warn(const std::string& text) {
  if (console_.warnings) say("zavel-cli: " + printable(text) + "\n");
}

void TransferRunner::say(const std::string& lines) {
  std::lock_guard lock(out_mutex_);
  if (asking_) {
    held_ += lines;
    return;
  }
  if (!several_) meter_.clear();
  if (several_ && !console_.cancelled()) batch_.clear();
  console_.err << lines << std::flush;
}

void TransferRunner::hold(bool asking) {
  std::lock_guard lock(out_mutex_);
  asking_ = asking;
  if (asking) {
    if (!several_) meter_.clear();
    if (several_ && !console_.cancelled()) batch_.clear();
    return;
  }
  console_.err << std::exchange(held_, {}) << std::flush;
}

}  // namespace zavel::cli
