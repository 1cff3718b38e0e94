#include "cli/transfer_plan.h"

#include <algorithm>
#include <system_error>

#include "cli/remote_path.h"

namespace zavel::cli {

namespace fs = std::filesystem;

namespace {

class DownloadWalk {
 public:
  DownloadWalk(RemoteLister& lister, Plan* plan, std::string* error)
      : lister_(lister), plan_(plan), error_(error) {}

  bool source(const std::string& address, const fs::path& destination, bool into) {
    std::optional<Listing> listing = list(address);
    if (!listing) return false;
    std::string name;
    if (listing->self && listing->self->club) {
      name = listing->self->club->name;
    } else {
      name = remoteBaseName(address);
    }
    if (into && !isSafeName(name)) return fail(address + ": has no name to save it under");
    const fs::path target = into ? destination / name : destination;
    const std::string relative = into ? name : localName(destination);
    const std::optional<int64_t> modified =
        listing->self ? listedTime(*listing->self) : std::nullopt;
    if (listing->self && !listing->self->folder)
      return addFile(address, target, relative, listing->self->size, modified);
    return folder(address, *listing, target, relative, modified, 0);
  }

 private:
  std::optional<Listing> list(const std::string& address) {
    std::vector<RemoteEntry> entries;
    LibraryError e;
    if (!lister_.list(address, &entries, &e)) {
      fail(printable(address) + ": " + e.describe());
      return std::nullopt;
    }
    Listing listing = splitListing(address, std::move(entries));
    if (!listing.strays.empty()) {
      fail(printable(address) + ": the listing names \"" + printable(listing.strays.front()) +
           "\", which is not an item of this folder");
      return std::nullopt;
    }
    return listing;
  }

  bool folder(const std::string& address, const Listing& listing, const fs::path& target,
              const std::string& relative, std::optional<int64_t> modified, size_t depth) {
    if (depth >= kMaxDepth) return fail(printable(address) + ": folders nested too deep");
    if (!add(PlanItem{true, relative, address, target, 0, modified})) return false;
    for (const ListedChild& child : listing.children) {
      const std::string child_relative = relative + "/" + child.name;
      const fs::path child_target = target / child.name;
      if (!child.entry.folder) {
        if (!addFile(child.address, child_target, child_relative, child.entry.size,
                     listedTime(child.entry)))
          return false;
        continue;
      }
      std::optional<Listing> inner = list(child.address);
      if (!inner || !folder(child.address, *inner, child_target, child_relative,
                            listedTime(child.entry), depth + 1))
        return false;
    }
    return true;
  }

  bool addFile(const std::string& address, const fs::path& target, const std::string& relative,
               int64_t size, std::optional<int64_t> modified) {
    const uint64_t bytes = size > 0 ? static_cast<uint64_t>(size) : 0;
    if (!add(PlanItem{false, relative, address, target, bytes, modified, size >= 0})) return false;
    plan_->bytes += bytes;
    return true;
  }

  bool add(PlanItem item) {
    if (plan_->items.size() >= kMaxItems) return fail("too many items to transfer at once");
    plan_->items.push_back(std::move(item));
    return true;
  }

  bool fail(const std::string& text) {
    *error_ = text;
    return false;
  }

  RemoteLister& lister_;
  Plan* plan_;
  std::string* error_;
};

class UploadWalk {
 public:
  UploadWalk(Plan* plan, std::vector<std::string>* notes, std::string* error)
      : plan_(plan), notes_(notes), error_(error) {}

  bool source(const fs::path& path, const std::string& name) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st)) return fail(path.string() + ": no such file or folder");
    if (fs::is_regular_file(st)) return file(path, name);
    if (fs::is_directory(st)) return folder(path, name, 0);
    return fail(path.string() + ": neither a file nor a folder");
  }

 private:
  bool folder(const fs::path& path, const std::string& relative, size_t depth) {
    if (depth >= kMaxDepth) return fail(path.string() + ": folders nested too deep");
    if (!add(PlanItem{true, relative, {}, path, 0, {}})) return false;
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
      entries.push_back(*it);
    if (ec) return fail(path.string() + ": " + ec.message());
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return a.path().filename() < b.path().filename();
    });
    for (const fs::directory_entry& e : entries) {
      const std::string name = e.path().filename().string();
      const std::string inner = relative + "/" + name;
      const fs::file_status own = e.symlink_status(ec);
      if (ec) return fail(e.path().string() + ": " + ec.message());
      const bool sent = fs::is_directory(own) || fs::is_regular_file(fs::status(e.path(), ec));
      if (const std::string why = nameProblem(name); sent && !why.empty())
        return fail(e.path().string() + ": " + why + "; rename it first");
      if (fs::is_directory(own)) {
        if (!folder(e.path(), inner, depth + 1)) return false;
      } else if (fs::is_regular_file(fs::status(e.path(), ec)) && !ec) {
        if (!file(e.path(), inner)) return false;
      } else {
        notes_->push_back(e.path().string() + ": left out (" +
                          (fs::is_symlink(own) ? "a link to a folder or to nothing"
                                               : "neither a file nor a folder") +
                          ")");
        ec.clear();
      }
    }
    return true;
  }

  bool file(const fs::path& path, const std::string& relative) {
    std::error_code ec;
    const uint64_t size = fs::file_size(path, ec);
    if (ec) return fail(path.string() + ": " + ec.message());
    if (!add(PlanItem{false, relative, {}, path, size, {}})) return false;
    plan_->bytes += size;
    return true;
  }

  bool add(PlanItem item) {
    if (plan_->items.size() >= kMaxItems) return fail("too many items to transfer at once");
    plan_->items.push_back(std::move(item));
    return true;
  }

  bool fail(const std::string& text) {
    *error_ = text;
    return false;
  }

  Plan* plan_;
  std::vector<std::string>* notes_;
  std::string* error_;
};

}  // namespace

std::string localName(const fs::path& path) {
  fs::path p = path.lexically_normal();
  if (!p.has_filename()) p = p.parent_path();
  if (p.filename() == "." || p.filename() == ".." || p.empty()) {
    std::error_code ec;
    p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  }
  return p.filename().string();
}

bool planDownload(RemoteLister& lister, const std::vector<std::string>& sources,
                  const fs::path& destination, Plan* plan, std::string* error) {
  std::error_code ec;
  const bool into = fs::is_directory(destination, ec);
  if (sources.size() > 1 && !into) {
    *error = destination.string() + ": not a folder (several items go into a folder)";
    return false;
  }
  if (!into) {
    const fs::path made = destination.lexically_normal();
    if (!made.has_filename()) {
      *error = destination.string() + ": no such local folder";
      return false;
    }
    const fs::path folder = made.has_parent_path() ? made.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) {
      *error = destination.string() + ": no local folder " + folder.string() + " to save it in";
      return false;
    }
  }
  DownloadWalk walk(lister, plan, error);
  for (const std::string& s : sources)
    if (!walk.source(s, destination, into)) return false;
  return true;
}

bool planUpload(const std::vector<fs::path>& sources, const std::optional<std::string>& name,
                Plan* plan, std::vector<std::string>* notes, std::string* error) {
  UploadWalk walk(plan, notes, error);
  for (const fs::path& s : sources) {
    const bool renamed = name && sources.size() == 1;
    const std::string n = renamed ? *name : localName(s);
    if (const std::string why = nameProblem(n); !why.empty()) {
      *error = (renamed ? n : s.string()) + ": " + why;
      if (!renamed && !n.empty()) *error += "; give it another name: put SOURCE FOLDER/NAME";
      return false;
    }
    if (!walk.source(s, n)) return false;
  }
  return true;
}

}  // namespace zavel::cli
