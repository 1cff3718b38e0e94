#include "cli/transfer_runner.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "cli/human_units.h"
#include "cli/remote_path.h"

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
                               std::string command, client::RetryPolicy retry)
    : disk_(disk),
      console_(console),
      resolver_(resolver),
      command_(std::move(command)),
      retry_(retry),
      meter_([&console](const std::string& text) { console.err << text << std::flush; },
             console.clock, console.width) {}

int TransferRunner::download(const Plan& plan) {
  size_t files = 0, number = 0;
  for (const PlanItem& item : plan.items) files += item.folder ? 0 : 1;
  for (const PlanItem& item : plan.items) {
    if (console_.cancelled()) return interrupted(item.relative);
    if (item.folder) {
      std::error_code ec;
      fs::create_directories(item.local, ec);
      if (ec) return fail(item.local.string(), ec.message());
      if (!fs::is_directory(item.local, ec)) return fail(item.local.string(), "not a folder");
      continue;
    }
    if (const int status = downloadFile(item, ++number, files); status != kExitOk) return status;
  }
  // Last, and deepest first: what is written into a folder changes its time.
  for (auto item = plan.items.rbegin(); item != plan.items.rend(); ++item)
    if (item->folder) keepTime(*item);
  return kExitOk;
}

void TransferRunner::keepTime(const PlanItem& item) {
  if (!keep_times_ || !item.modified) return;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(*item.modified), 0}};
  if (::utimensat(AT_FDCWD, item.local.c_str(), times, 0) != 0)
    warn(item.local.string() + ": cannot set its time: " + std::strerror(errno));
}

int TransferRunner::downloadFile(const PlanItem& item, size_t number, size_t count) {
  const std::optional<uint64_t> size = disk_.fileSize(item.remote);
  if (!size) return fail(item.relative, disk_.error().describe());
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
  if (const int status = transfer(&file, item, number, count); status != kExitOk) return status;
  // The library writes into whatever was there; what is there now must be the file.
  const uint64_t now = fs::file_size(item.local, ec);
  if (ec) return fail(local, ec.message());
  if (now != *size)
    return fail(local, "holds " + std::to_string(now) + " bytes after the download, not " +
                           std::to_string(*size));
  keepTime(item);
  return kExitOk;
}

int TransferRunner::upload(const Plan& plan, const std::string& base) {
  base_ = base;
  folders_.clear();
  contents_.clear();
  size_t files = 0, number = 0;
  for (const PlanItem& item : plan.items) files += item.folder ? 0 : 1;
  for (const PlanItem& item : plan.items) {
    if (console_.cancelled()) return interrupted(item.relative);
    const int status = item.folder ? uploadFolder(item) : uploadFile(item, ++number, files);
    if (status != kExitOk) return status;
  }
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

int TransferRunner::uploadFile(const PlanItem& item, size_t number, size_t count) {
  const std::optional<std::string> parent = parentFolder(item.relative);
  if (!parent) return fail(item.relative, "its folder was not made");
  const std::string name = lastName(item.relative);
  Contents* inside = contents(*parent);
  if (inside == nullptr) return fail(*parent, contents_error_);
  std::optional<uint64_t> have;
  if (const auto found = inside->find(name); found != inside->end()) {
    if (found->second.folder) return fail(item.relative, "is a folder on the disk");
    have = found->second.size;
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
  if (const int status = transfer(&file, item, number, count); status != kExitOk) return status;
  // What the disk holds now must be the file. (Below a folder named by club key the
  // target's path names that folder, not the file, so there it cannot be asked.)
  if (!isClubKey(*parent)) {
    const std::optional<uint64_t> now = disk_.fileSize(target);
    if (!now) return fail(item.relative, disk_.error().describe());
    if (*now != size)
      return fail(item.relative, "the disk holds " + std::to_string(*now) +
                                     " bytes after the upload, not " + std::to_string(size));
  }
  (*inside)[name] = RemoteItem{target, false, size};
  return kExitOk;
}

int TransferRunner::decide(const PlanItem& item, uint64_t source_size,
                           std::optional<uint64_t> target_size, uint64_t* start, bool* skip) {
  const Decision d = resolver_.decide(item.relative, source_size, target_size);
  switch (d.action) {
    case Decision::Action::kTransfer:
      *start = d.start;
      return kExitOk;
    case Decision::Action::kSkip:
      *skip = true;
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
  auto* self = static_cast<TransferRunner*>(progress->userValue);
  if (std::exchange(self->rerun_, false)) self->meter_.resume(progress->spec->start);
  self->meter_.report(progress->position, progress->elapsed);
}

int TransferRunner::transfer(client::FileTransfer* file, const PlanItem& item, size_t number,
                             size_t count) {
  if (console_.progress) {
    file->progressCallback = &TransferRunner::reportProgress;
    file->userValue = this;
    meter_.begin(count > 1 ? "[" + std::to_string(number) + "/" + std::to_string(count) + "] " : "",
                 printable(item.relative), file->start, file->end);
  }
  rerun_ = false;
  client::RetryEvents events;
  events.retrying = [&](int retry, int of, int wait_ms, uint64_t position, int32_t) {
    rerun_ = true;
    warn(item.relative + ": " + retryNote(position, wait_ms, retry, of));
  };
  events.restarted = [&](uint64_t) {
    rerun_ = true;
    warn(item.relative +
         ": the part already there is not the start of the source; sending it again from the "
         "start");
  };
  const bool ok = disk_.transfer(*file, console_.cancel, retry_, events);
  if (console_.progress) meter_.finish();
  // A cancelled transfer succeeds in the library's terms; here it is an interruption.
  if (console_.cancelled()) return interrupted(item.relative);
  if (!ok) return fail(item.relative, disk_.error().describe());
  return kExitOk;
}

int TransferRunner::fail(const std::string& what, const std::string& why) {
  console_.err << "zavel-cli: " << command_ << ": " << printable(what) << ": " << why << "\n";
  return kExitFailed;
}

int TransferRunner::interrupted(const std::string& what) {
  console_.err << "zavel-cli: " << command_ << ": interrupted at " << printable(what)
               << "; run the same command with --resume to continue\n";
  return kExitInterrupted;
}

void TransferRunner::note(const std::string& text) {
  if (console_.notes) console_.err << "zavel-cli: " << printable(text) << "\n";
}

void TransferRunner::warn(const std::string& text) {
  if (!console_.warnings) return;
  meter_.clear();
  console_.err << "zavel-cli: " << printable(text) << "\n" << std::flush;
}

}  // namespace zavel::cli
