#include "cli/commands.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "cli/human_units.h"
#include "cli/progress_line.h"
#include "cli/remote_path.h"
#include "cli/transfer_plan.h"
#include "cli/transfer_runner.h"

namespace zavel::cli {

namespace fs = std::filesystem;

namespace {

// One command's error reporting; remembers that something failed.
class Report {
 public:
  Report(Console& console, std::string command) : console_(console), command_(std::move(command)) {}

  int fail(const std::string& what, const std::string& why) {
    console_.err << "zavel-cli: " << command_ << ": " << printable(what) << ": " << why << "\n";
    status_ = kExitFailed;
    return status_;
  }
  int status() const { return status_; }

 private:
  Console& console_;
  std::string command_;
  int status_ = kExitOk;
};

std::string at(const Disk& disk, const std::string& typed) {
  return resolveRemote(typed, disk.home());
}

bool isFolder(const Listing& listing) {
  return !listing.self || listing.self->folder;
}

bool existingFolder(Disk& disk, const std::string& path) {
  LibraryError ignored;
  const std::optional<Listing> listing = disk.look(path, &ignored);
  return listing && isFolder(*listing);
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
      const std::string address = at(disk_, t);
      const std::string display = t.empty() ? address : t;
      LibraryError error;
      std::optional<Listing> listing = disk_.look(address, &error);
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

int place(Disk& disk, Console& console, const std::vector<std::string>& args, Placement how) {
  const char* command = how == Placement::kMove ? "mv" : "cp";
  Report report(console, command);
  std::vector<std::string> typed;
  std::optional<std::string> typed_destination;
  splitArgs(args, &typed, &typed_destination);
  if (!typed_destination) return report.fail(args.front(), "missing destination");
  const std::string destination = at(disk, *typed_destination);
  const auto into = [&](const std::string& source, const std::string& folder) {
    return how == Placement::kMove ? disk.moveInto(source, folder) : disk.copyInto(source, folder);
  };

  if (existingFolder(disk, destination)) {
    for (const std::string& t : typed) {
      if (!into(at(disk, t), destination)) report.fail(t, disk.error().describe());
    }
    return report.status();
  }
  if (typed.size() > 1) return report.fail(*typed_destination, "not a folder on the disk");

  const std::string source = at(disk, typed.front());
  const std::optional<std::string> from = remoteParent(source);
  const std::optional<std::string> to = remoteParent(destination);
  if (how == Placement::kMove && (!from || from == to)) {
    // A new name in the same folder (a club key is renamed where it is).
    if (!disk.rename(source, destination))
      return report.fail(typed.front(), disk.error().describe());
    return report.status();
  }
  if (!from) return report.fail(typed.front(), "a club key can only be copied into a folder");
  if (!to) return report.fail(*typed_destination, "not a folder on the disk");
  if (from == to) return report.fail(*typed_destination, "copies need another folder");
  // Into the destination's folder, then under the destination's name.
  if (!into(source, *to)) return report.fail(typed.front(), disk.error().describe());
  const std::string placed = joinRemote(*to, remoteBaseName(source));
  if (placed != destination && !disk.rename(placed, destination))
    return report.fail(placed, disk.error().describe());
  return report.status();
}

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
           ConflictPolicy policy, const client::RetryPolicy& retry) {
  std::vector<std::string> sources;
  std::optional<std::string> destination;
  splitArgs(args, &sources, &destination);
  for (std::string& s : sources) s = at(disk, s);
  Plan plan;
  std::string error;
  if (!planDownload(disk, sources, destination.value_or("."), &plan, &error)) {
    console.err << "zavel-cli: get: " << error << "\n";
    return kExitFailed;
  }
  ConflictResolver resolver(policy, console.asker);
  return TransferRunner(disk, console, resolver, "get", retry).download(plan);
}

int runPut(Disk& disk, Console& console, const std::vector<std::string>& args,
           ConflictPolicy policy, const client::RetryPolicy& retry) {
  Report report(console, "put");
  std::vector<std::string> typed;
  std::optional<std::string> typed_destination;
  splitArgs(args, &typed, &typed_destination);
  const std::string destination = at(disk, typed_destination.value_or(""));
  std::string base = destination;
  std::optional<std::string> name;
  if (!existingFolder(disk, destination)) {
    if (typed.size() > 1) return report.fail(destination, "not a folder on the disk");
    const std::optional<std::string> parent = remoteParent(destination);
    if (!parent) return report.fail(destination, "name the folder to put it in");
    base = *parent;
    name = remoteBaseName(destination);
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
  return TransferRunner(disk, console, resolver, "put", retry).upload(plan, base);
}

int runMkdir(Disk& disk, Console& console, const std::vector<std::string>& paths) {
  Report report(console, "mkdir");
  for (const std::string& p : paths)
    if (!disk.makeFolder(at(disk, p))) report.fail(p, disk.error().describe());
  return report.status();
}

int runRm(Disk& disk, Console& console, const std::vector<std::string>& paths, bool recursive) {
  Report report(console, "rm");
  for (const std::string& p : paths) {
    const std::string path = at(disk, p);
    if (path == "/" || path == normalizeRemote(disk.home())) {
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
  return place(disk, console, args, Placement::kMove);
}

int runCp(Disk& disk, Console& console, const std::vector<std::string>& args) {
  return place(disk, console, args, Placement::kCopy);
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
    const std::string path = at(disk, p);
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
    const std::string path = at(disk, p);
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
