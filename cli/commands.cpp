#include "cli/commands.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "cli/human_units.h"
#include "cli/progress_line.h"
#include "cli/remote_path.h"
#include "cli/transfer_plan.h"
#include "cli/transfer_runner.h"
#include "client/session_pool.h"
#include "protocol/error_numbers.h"

namespace zavel::cli {

namespace fs = std::filesystem;

namespace {

// One command's error reporting; remembers that something failed.
class Report {
 public:
  Report(Console& console, std::string command) : console_(console), command_(std::move(command)) {}

  int fail(const std::string& what, const std::string& why) {
    console_.err << "zavel-cli: " << command_ << ": " << (what.empty() ? "''" : printable(what))
                 << ": " << why << "\n";
    status_ = kExitFailed;
    return status_;
  }
  int status() const { return status_; }

 private:
  Console& console_;
  std::string command_;
  int status_ = kExitOk;
};

// The typed path on this disk, or none after telling why it names nothing there. A name
// after a club key names a new item, so it is taken only where one is made (new_item).
std::optional<std::string> at(const Disk& disk, Report& report, const std::string& typed,
                              bool new_item = false) {
  if (isClubKey(typed)) {
    const std::string why =
        disk.isClub() ? clubKeyProblem(typed, new_item)
                      : "club keys name items on club disks only, and this is a personal disk";
    if (!why.empty()) {
      report.fail(typed, why);
      return std::nullopt;
    }
  }
  return resolveRemote(typed, disk.home());
}

std::string top(const Disk& disk) {
  return resolveRemote("", disk.home());
}

bool isFolder(const Listing& listing) {
  return !listing.self || listing.self->folder;
}

bool existingFolder(Disk& disk, const std::string& path) {
  LibraryError ignored;
  const std::optional<Listing> listing = disk.look(path, &ignored);
  return listing && isFolder(*listing);
}

const ListedChild* childNamed(const Listing& listing, const std::string& name) {
  for (const ListedChild& c : listing.children)
    if (c.name == name) return &c;
  return nullptr;
}

// Why a folder that something goes into cannot be used.
std::string noFolder(const std::string& folder, const LibraryError& error) {
  if (error.number == kErrNotExists)
    return "there is no folder " + printable(folder) + " on the disk";
  return printable(folder) + ": " + error.describe();
}

// Splits "sources... destination"; a single argument is a source.
void splitArgs(const std::vector<std::string>& args, std::vector<std::string>* sources,
               std::optional<std::string>* destination) {
  *sources = args;
  if (args.size() > 1) {
    *destination = sources->back();
    sources->pop_back();
  }
}

// ---- ls ------------------------------------------------------------------------------

class Lister {
 public:
  Lister(Disk& disk, Console& console, const LsOptions& options, Report& report)
      : disk_(disk), console_(console), options_(options), report_(report) {}

  // Files named on the command line first, then each folder (under a heading when there
  // is more than one, or with -R).
  void paths(const std::vector<std::string>& typed) {
    const bool headers = typed.size() > 1 || options_.recursive;
    std::vector<std::pair<std::string, Listing>> folders;
    std::vector<Line> files;
    for (const std::string& t : typed) {
      const std::optional<std::string> address = at(disk_, report_, t);
      if (!address) continue;
      const std::string display = t.empty() ? *address : t;
      LibraryError error;
      std::optional<Listing> listing = disk_.look(*address, &error);
      if (!listing) {
        report_.fail(display, error.describe());
      } else if (listing->self && !listing->self->folder) {
        const RemoteEntry& e = *listing->self;
        files.push_back({e.club && !e.club->name.empty() ? e.club->name : display, e});
      } else {
        folders.emplace_back(display, std::move(*listing));
      }
    }
    if (!files.empty()) {
      print(files, {});
      ++sections_;
    }
    for (const auto& [display, listing] : folders) {
      if (console_.cancelled()) break;
      folder(listing, display, headers, 0);
    }
  }

 private:
  struct Line {
    std::string name;
    RemoteEntry entry;
  };

  void folder(const Listing& listing, const std::string& display, bool headers, size_t depth) {
    if (headers) {
      if (sections_++ > 0) console_.out << "\n";
      console_.out << printable(display) << ":\n";
    }
    std::vector<Line> lines;
    for (const ListedChild& c : listing.children) lines.push_back({c.name, c.entry});
    print(lines, listing.strays);
    if (!options_.recursive) return;
    for (const ListedChild& c : listing.children) {
      if (!c.entry.folder || console_.cancelled()) continue;
      const std::string inner = display == "/" ? "/" + c.name : display + "/" + c.name;
      if (depth + 1 >= kMaxDepth) {
        report_.fail(inner, "folders nested too deep");
        continue;
      }
      LibraryError error;
      const std::optional<Listing> sub = disk_.look(c.address, &error);
      if (!sub) {
        report_.fail(inner, error.describe());
        continue;
      }
      folder(*sub, inner, true, depth + 1);
    }
  }

  void print(const std::vector<Line>& lines, const std::vector<std::string>& strays) {
    if (options_.names_only) {
      // Names that are no items of the folder are left out: a script could not use them.
      for (const Line& l : lines) console_.out << printable(l.name) << "\n";
      return;
    }
    size_t date_width = 0, size_width = 1;
    std::vector<std::string> sizes;
    for (const Line& l : lines) {
      date_width = std::max(date_width, displayWidth(printable(l.entry.date)));
      sizes.push_back(sizeText(l.entry));
      size_width = std::max(size_width, sizes.back().size());
    }
    for (size_t i = 0; i < lines.size(); ++i) {
      const RemoteEntry& e = lines[i].entry;
      std::string line(size_width - sizes[i].size(), ' ');
      line += sizes[i] + "  ";
      const std::string date = printable(e.date);
      line += date + std::string(date_width - displayWidth(date), ' ') + "  ";
      if (e.club) line += clubKey(e.club->index, e.folder) + "  ";
      line += printable(lines[i].name) + (e.folder ? "/" : "");
      console_.out << line << "\n";
    }
    for (const std::string& s : strays) console_.out << "?  " << printable(s) << "\n";
  }

  std::string sizeText(const RemoteEntry& e) const {
    if (e.folder && !e.club) return "-";
    if (e.size < 0) return std::to_string(e.size);
    return options_.human ? humanBytes(static_cast<uint64_t>(e.size)) : std::to_string(e.size);
  }

  Disk& disk_;
  Console& console_;
  const LsOptions& options_;
  Report& report_;
  int sections_ = 0;
};

// ---- mv and cp -----------------------------------------------------------------------

enum class Placement { kMove, kCopy };

// One source of a mv or cp, looked at before anything is sent.
struct Source {
  std::string typed;
  std::string path;
  std::string name;  // what it is called in its folder
  bool folder = false;
};

// What a mv or cp has changed so far, so that a step that fails takes the others back.
class Steps {
 public:
  explicit Steps(Disk& disk) : disk_(disk) {}

  // undo puts the change back; left says where things stay when it cannot.
  void done(std::function<bool()> undo, std::string left) {
    steps_.push_back({std::move(undo), std::move(left)});
  }
  // Undoes every step, the latest first; what to add to the failure's message.
  std::string undo() {
    if (steps_.empty()) return {};
    std::string stays;
    for (auto s = steps_.rbegin(); s != steps_.rend(); ++s)
      if (!s->undo || !s->undo())
        stays += "; not undone" + (s->undo ? " (" + disk_.error().describe() + ")" : "") + ": " +
                 s->left;
    steps_.clear();
    return stays.empty() ? "; undone, nothing was changed" : stays;
  }

 private:
  struct Step {
    std::function<bool()> undo;
    std::string left;
  };
  Disk& disk_;
  std::vector<Step> steps_;
};

class Placer {
 public:
  Placer(Disk& disk, Console& console, Placement how, int jobs = 1)
      : disk_(disk),
        move_(how == Placement::kMove),
        jobs_(jobs),
        report_(console, move_ ? "mv" : "cp") {}

  int run(const std::vector<std::string>& args) {
    std::vector<std::string> typed;
    std::optional<std::string> typed_destination;
    splitArgs(args, &typed, &typed_destination);
    if (!typed_destination) return report_.fail(args.front(), "missing destination");
    typed_destination_ = *typed_destination;
    const std::optional<std::string> destination = at(disk_, report_, *typed_destination, true);
    for (const std::string& t : typed) look(t);
    if (!destination || report_.status() != kExitOk) return report_.status();

    // A new name below a club key cannot be listed; it names nothing yet in any case.
    std::optional<Listing> target;
    if (!isClubKey(*destination) || !remoteParent(*destination)) {
      LibraryError ignored;
      target = disk_.look(*destination, &ignored);
    }
    if (target && isFolder(*target)) return into(*destination, *target);
    if (target) return refuse("exists already; " + command() + " does not replace an item");
    if (sources_.size() > 1 || typed_destination->ends_with('/'))
      return refuse("there is no such folder on the disk");
    if (const std::string why = nameProblem(remoteBaseName(*typed_destination)); !why.empty())
      return refuse(why);
    return rename(sources_.front(), *destination);
  }

 private:
  std::string command() const { return move_ ? "mv" : "cp"; }
  int refuse(const std::string& why) { return report_.fail(typed_destination_, why); }

  void look(const std::string& typed) {
    const std::optional<std::string> path = at(disk_, report_, typed);
    if (!path) return;
    if (*path == top(disk_)) {
      report_.fail(typed, "the disk's top folder stays where it is");
      return;
    }
    LibraryError error;
    const std::optional<Listing> listing = disk_.look(*path, &error);
    if (!listing) {
      report_.fail(typed, error.describe());
      return;
    }
    const std::optional<RemoteEntry>& self = listing->self;
    sources_.push_back({typed, *path, self && self->club ? self->club->name : remoteBaseName(*path),
                        isFolder(*listing)});
  }

  bool intoFolder(const std::string& source, const std::string& folder) {
    return move_ ? disk_.moveInto(source, folder) : disk_.copyInto(source, folder);
  }

  // How to take back a source put into folder: a move goes back where it came from, a copy
  // is removed.
  void placed(const Source& s, const std::string& folder) {
    const std::string placed = joinRemote(folder, s.name);
    const std::optional<std::string> from = remoteParent(s.path);
    if (!move_) {
      steps_.done([this, placed, f = s.folder] { return disk_.remove(placed, f); },
                  "the copy is at " + printable(placed));
    } else if (from) {
      steps_.done([this, placed, f = *from] { return disk_.moveInto(placed, f); },
                  printable(s.typed) + " is at " + printable(placed));
    } else {
      steps_.done(nullptr, printable(s.typed) + " is at " + printable(placed));
    }
  }

  // Each source into an existing folder under its own name.
  int into(const std::string& folder, const Listing& listing) {
    std::set<std::string> names;
    for (const Source& s : sources_) {
      if (childNamed(listing, s.name))
        report_.fail(s.typed, printable(typed_destination_) + " holds an item named '" +
                                  printable(s.name) + "' already");
      else if (!names.insert(s.name).second)
        report_.fail(s.typed, "another source goes by the name '" + printable(s.name) + "' too");
    }
    if (report_.status() != kExitOk) return report_.status();
    if (!move_ && jobs_ > 1 && sources_.size() > 1) return copyAtOnce(folder);
    for (const Source& s : sources_) {
      if (!intoFolder(s.path, folder))
        return report_.fail(s.typed, disk_.error().describe() + steps_.undo());
      placed(s, folder);
    }
    return report_.status();
  }

  // Copies into a folder, several at once on sessions of their own. The first failure
  // starts no further copy; once those under way have ended, every copy made is removed.
  int copyAtOnce(const std::string& folder) {
    client::SessionPool pool(disk_.handle(), static_cast<int>(std::min<size_t>(
                                                 static_cast<size_t>(jobs_), sources_.size())));
    std::vector<std::optional<LibraryError>> failures(sources_.size());
    std::vector<char> made(sources_.size(), 0);  // each written by its own source's job
    int32_t stop = 0;
    pool.run(
        sources_.size(),
        [&](size_t i, int, ZavelSession* session) {
          LibraryError error;
          if (Disk::copyInto(session, sources_[i].path, folder, &error)) {
            made[i] = 1;
            return;
          }
          failures[i] = error;
          std::atomic_ref<int32_t>(stop).store(1);
        },
        &stop);
    for (size_t i = 0; i < sources_.size(); ++i)
      if (made[i]) placed(sources_[i], folder);
    std::optional<size_t> last;
    for (size_t i = 0; i < sources_.size(); ++i)
      if (failures[i]) last = i;
    if (!last) return report_.status();
    for (size_t i = 0; i < *last; ++i)
      if (failures[i]) report_.fail(sources_[i].typed, failures[i]->describe());
    return report_.fail(sources_[*last].typed, failures[*last]->describe() + steps_.undo());
  }

  // One source under a new name: renamed where it is, or put into the destination's folder
  // and renamed there.
  int rename(const Source& source, const std::string& destination) {
    const std::optional<std::string> from = remoteParent(source.path);
    const std::optional<std::string> to = remoteParent(destination);
    if (!to) return refuse("names neither a folder nor a new name on the disk");
    const std::string name = remoteBaseName(destination);
    if (!move_ && !from)
      return report_.fail(source.typed, "a club key can only be copied into a folder");
    if (!move_ && from == to) return refuse("copies need another folder");
    LibraryError error;
    const std::optional<Listing> there = disk_.look(*to, &error);
    if (!there) return refuse(noFolder(*to, error));
    if (!isFolder(*there)) return refuse(printable(*to) + " is not a folder");
    if (childNamed(*there, name))
      return refuse("exists already; " + command() + " does not replace an item");
    if (move_ && (!from || from == to)) {
      // A new name in the same folder (a club key is renamed where it is).
      if (!disk_.rename(source.path, destination))
        return report_.fail(source.typed, disk_.error().describe());
      return kExitOk;
    }
    if (!childNamed(*there, source.name)) {
      if (!intoFolder(source.path, *to))
        return report_.fail(source.typed, disk_.error().describe());
      placed(source, *to);
      const std::string moved = joinRemote(*to, source.name);
      if (!disk_.rename(moved, destination))
        return report_.fail(source.typed, "cannot rename " + printable(moved) + ": " +
                                              disk_.error().describe() + steps_.undo());
      return kExitOk;
    }
    // The destination's folder holds the source's own name: a move takes the new name first.
    if (!move_)
      return refuse(printable(*to) + " holds an item named '" + printable(source.name) +
                    "', which a copy passes through on its way to the new name");
    const std::string renamed = joinRemote(*from, name);
    const std::optional<Listing> here = disk_.look(*from, &error);
    if (!here) return report_.fail(source.typed, noFolder(*from, error));
    if (childNamed(*here, name))
      return refuse(printable(*to) + " holds an item named '" + printable(source.name) + "' and " +
                    printable(*from) + " one named '" + printable(name) +
                    "': the move would pass through one of them");
    if (!disk_.rename(source.path, renamed))
      return report_.fail(source.typed, disk_.error().describe());
    steps_.done([this, renamed, back = source.path] { return disk_.rename(renamed, back); },
                printable(source.typed) + " is called " + printable(renamed));
    if (!disk_.moveInto(renamed, *to))
      return report_.fail(source.typed, "cannot move " + printable(renamed) + ": " +
                                            disk_.error().describe() + steps_.undo());
    return kExitOk;
  }

  Disk& disk_;
  const bool move_;
  const int jobs_;
  Report report_;
  Steps steps_{disk_};
  std::string typed_destination_;
  std::vector<Source> sources_;
};

// ---- cat -----------------------------------------------------------------------------

struct CatState {
  std::ostream* out;
  bool write_failed = false;
};

int32_t writeChunk(void* buffer, uint32_t count, uint64_t, void* user) {
  auto* state = static_cast<CatState*>(user);
  state->out->write(static_cast<const char*>(buffer), count);
  if (!*state->out) {
    state->write_failed = true;
    return -1;
  }
  return static_cast<int32_t>(count);
}

}  // namespace

int runLs(Disk& disk, Console& console, const LsOptions& options) {
  Report report(console, "ls");
  Lister lister(disk, console, options, report);
  const std::vector<std::string> paths =
      options.paths.empty() ? std::vector<std::string>{""} : options.paths;
  lister.paths(paths);
  console.out.flush();
  return report.status();
}

int runGet(Disk& disk, Console& console, const std::vector<std::string>& args,
           ConflictPolicy policy, const BatchOptions& batch, bool keep_times) {
  Report report(console, "get");
  std::vector<std::string> sources;
  std::optional<std::string> destination;
  splitArgs(args, &sources, &destination);
  for (std::string& s : sources) {
    const std::optional<std::string> path = at(disk, report, s);
    if (!path) return report.status();
    s = *path;
  }
  Plan plan;
  std::string error;
  if (!planDownload(disk, sources, destination.value_or("."), &plan, &error)) {
    console.err << "zavel-cli: get: " << error << "\n";
    return kExitFailed;
  }
  ConflictResolver resolver(policy, console.asker);
  TransferRunner runner(disk, console, resolver, "get", batch);
  runner.keepTimes(keep_times);
  return runner.download(plan);
}

int runPut(Disk& disk, Console& console, const std::vector<std::string>& args,
           ConflictPolicy policy, const BatchOptions& batch) {
  Report report(console, "put");
  std::vector<std::string> typed;
  std::optional<std::string> typed_destination;
  splitArgs(args, &typed, &typed_destination);
  const std::string shown = typed_destination.value_or("");
  const std::optional<std::string> destination = at(disk, report, shown, true);
  if (!destination) return report.status();
  std::string base = *destination;
  std::optional<std::string> name;
  if (!existingFolder(disk, *destination)) {
    if (typed.size() > 1 || shown.ends_with('/'))
      return report.fail(shown, "there is no such folder on the disk");
    const std::optional<std::string> parent = remoteParent(*destination);
    if (!parent) return report.fail(shown, "name the folder to put it in");
    base = *parent;
    name = remoteBaseName(*destination);
  }
  std::vector<fs::path> sources(typed.begin(), typed.end());
  Plan plan;
  std::vector<std::string> notes;
  std::string error;
  if (!planUpload(sources, name, &plan, &notes, &error)) {
    console.err << "zavel-cli: put: " << error << "\n";
    return kExitFailed;
  }
  if (console.notes)
    for (const std::string& n : notes) console.err << "zavel-cli: put: " << n << "\n";
  ConflictResolver resolver(policy, console.asker);
  return TransferRunner(disk, console, resolver, "put", batch).upload(plan, base);
}

int runMkdir(Disk& disk, Console& console, const std::vector<std::string>& paths, bool parents) {
  Report report(console, "mkdir");
  // A folder made, or with parents one that is there already. A name below a club key is
  // found in its folder's listing: it cannot be listed itself.
  const auto make = [&](const std::string& path, const std::string& shown) {
    if (disk.makeFolder(path)) return true;
    const LibraryError why = disk.error();
    const std::optional<std::string> parent = remoteParent(path);
    LibraryError error;
    const std::optional<Listing> there = parent ? disk.look(*parent, &error) : std::nullopt;
    const ListedChild* found = there ? childNamed(*there, remoteBaseName(path)) : nullptr;
    if (found && found->entry.folder && parents) return true;
    if (found && !found->entry.folder) {
      report.fail(shown, "exists and is not a folder");
    } else if (!there && error.number == kErrNotExists) {
      report.fail(shown, noFolder(*parent, error) + " (mkdir -p makes it)");
    } else {
      report.fail(shown, why.describe());
    }
    return false;
  };
  for (const std::string& p : paths) {
    const std::optional<std::string> path = at(disk, report, p, true);
    if (!path) continue;
    // The top folder and a bare club key name items that are there already.
    const auto there = [&] {
      if (!existingFolder(disk, *path))
        report.fail(p, "a club key names an item that is there; a new folder is <12@>/NAME");
      else if (!parents)
        report.fail(p, "exists already");
    };
    if (normalizeRemote(p) == "/" || (isClubKey(*path) && !remoteParent(*path))) {
      there();
      continue;
    }
    if (const std::string why = nameProblem(remoteBaseName(p)); !why.empty()) {
      report.fail(p, why);
      continue;
    }
    if (*path == top(disk)) {
      there();
      continue;
    }
    if (!parents || isClubKey(*path)) {
      make(*path, p);
      continue;
    }
    // Each folder on the way down from the top, as far as they all can be made.
    const std::string root = top(disk);
    std::string made = root;
    const std::string below = path->substr(root == "/" ? 1 : root.size() + 1);
    for (size_t from = 0; from <= below.size();) {
      const size_t slash = std::min(below.find('/', from), below.size());
      made = joinRemote(made, below.substr(from, slash - from));
      if (!make(made, slash == below.size() ? p : made)) break;
      from = slash + 1;
    }
  }
  return report.status();
}

int runRm(Disk& disk, Console& console, const std::vector<std::string>& paths, bool recursive) {
  Report report(console, "rm");
  for (const std::string& p : paths) {
    const std::optional<std::string> found = at(disk, report, p);
    if (!found) continue;
    const std::string& path = *found;
    if (path == top(disk)) {
      report.fail(p, "the disk's top folder is not removed");
      continue;
    }
    LibraryError error;
    const std::optional<Listing> listing = disk.look(path, &error);
    if (!listing) {
      report.fail(p, error.describe());
      continue;
    }
    const bool folder = isFolder(*listing);
    if (folder && !recursive) {
      report.fail(p, "is a folder (-r removes it with everything in it)");
      continue;
    }
    if (!disk.remove(path, folder)) report.fail(p, disk.error().describe());
  }
  return report.status();
}

int runMv(Disk& disk, Console& console, const std::vector<std::string>& args) {
  return Placer(disk, console, Placement::kMove).run(args);
}

int runCp(Disk& disk, Console& console, const std::vector<std::string>& args, int jobs) {
  return Placer(disk, console, Placement::kCopy, jobs).run(args);
}

int runDf(Disk& disk, Console& console) {
  Report report(console, "df");
  const std::optional<SpaceInfo> space = disk.space();
  if (!space) return report.fail(disk.home(), disk.error().describe());
  const uint64_t used = space->total > space->free ? space->total - space->free : 0;
  const uint64_t percent =
      space->total == 0
          ? 0
          : static_cast<uint64_t>(static_cast<unsigned __int128>(used) * 100 / space->total);
  console.out << "size  " << humanBytes(space->total) << "  (" << space->total << " bytes)\n"
              << "used  " << humanBytes(used) << "  (" << used << " bytes, " << percent << "%)\n"
              << "free  " << humanBytes(space->free) << "  (" << space->free << " bytes)\n";
  console.out.flush();
  return report.status();
}

int runStat(Disk& disk, Console& console, const std::vector<std::string>& paths) {
  Report report(console, "stat");
  for (const std::string& p : paths) {
    const std::optional<std::string> found = at(disk, report, p);
    if (!found) continue;
    const std::string& path = *found;
    LibraryError error;
    const std::optional<Listing> listing = disk.look(path, &error);
    if (!listing) {
      report.fail(p, error.describe());
      continue;
    }
    std::ostream& out = console.out;
    out << "path         " << printable(path) << "\n";
    out << "type         " << (isFolder(*listing) ? "folder" : "file") << "\n";
    if (const std::optional<RemoteEntry>& e = listing->self) {
      const uint64_t size = e->size > 0 ? static_cast<uint64_t>(e->size) : 0;
      // A personal disk does not count what its folders hold.
      if (!e->folder || e->club)
        out << "size         " << e->size << " bytes (" << humanBytes(size) << ")\n";
      out << "date         " << printable(e->date) << "\n";
      if (const std::optional<ClubDetail>& c = e->club) {
        out << "name         " << printable(c->name) << "\n";
        out << "club key     " << clubKey(c->index, e->folder) << "\n";
        if (!c->description.empty()) out << "description  " << printable(c->description) << "\n";
        if (!c->expiry.empty()) out << "expires      " << printable(c->expiry) << "\n";
        if (!e->folder) out << "downloads    " << c->downloads << "\n";
      }
    }
    if (isFolder(*listing)) out << "items        " << listing->children.size() << "\n";
  }
  console.out.flush();
  return report.status();
}

int runCat(Disk& disk, Console& console, const std::vector<std::string>& paths) {
  Report report(console, "cat");
  for (const std::string& p : paths) {
    const std::optional<std::string> found = at(disk, report, p);
    if (!found) return report.status();
    const std::string& path = *found;
    if (existingFolder(disk, path)) return report.fail(p, "is a folder (get copies folders)");
    const std::optional<uint64_t> size = disk.fileSize(path);
    if (!size) return report.fail(p, disk.error().describe());
    CatState state{&console.out};
    TransferSpec order{};
    order.source = path.c_str();
    order.start = 0;
    order.end = *size;
    order.dataCallback = &writeChunk;
    order.userValue = &state;
    const bool ok = disk.download(&order, console.cancel);
    console.out.flush();
    if (console.cancelled()) {
      console.err << "zavel-cli: cat: " << printable(p) << ": interrupted\n";
      return kExitInterrupted;
    }
    if (state.write_failed || !console.out) return report.fail(p, "cannot write the output");
    if (!ok) return report.fail(p, disk.error().describe());
  }
  return report.status();
}

}  // namespace zavel::cli
