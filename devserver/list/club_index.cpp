#include "devserver/list/club_index.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <utility>

#include "devserver/server_errors.h"

namespace zavel::devserver {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS meta(name TEXT PRIMARY KEY, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS clubs(
  number INTEGER PRIMARY KEY,
  root INTEGER NOT NULL,
  created TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS entries(
  idx INTEGER PRIMARY KEY,
  club INTEGER NOT NULL,
  parent INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  name TEXT NOT NULL,
  time TEXT NOT NULL,
  expiry TEXT NOT NULL DEFAULT '',
  description TEXT NOT NULL DEFAULT '',
  size INTEGER NOT NULL DEFAULT 0,
  total INTEGER NOT NULL DEFAULT 0,
  downloads INTEGER NOT NULL DEFAULT 0,
  copied INTEGER NOT NULL DEFAULT 0,
  storage INTEGER NOT NULL DEFAULT 0,
  state INTEGER NOT NULL DEFAULT 0,
  checksum TEXT NOT NULL DEFAULT '');
CREATE UNIQUE INDEX IF NOT EXISTS entries_by_name ON entries(parent, name) WHERE parent <> 0;
CREATE TABLE IF NOT EXISTS storage_folders(
  idx INTEGER PRIMARY KEY,
  used INTEGER NOT NULL);
)sql";

constexpr const char* kEntryColumns =
    "idx, club, parent, kind, name, time, expiry, description, size, total, downloads, "
    "copied, storage, state, checksum";

// Deepest folder chain walked when checking a move; far beyond any real tree.
constexpr int kMaxDepth = 100000;

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, int64_t value) {
    if (stmt_) sqlite3_bind_int64(stmt_, i, value);
    return *this;
  }
  Statement& bind(int i, std::string_view text) {
    // An empty view may carry a null pointer, which SQLite would store as NULL.
    if (stmt_)
      sqlite3_bind_text(stmt_, i, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  // Runs a statement that returns no rows; false on an error.
  bool run() { return step() == SQLITE_DONE; }
  int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string text(int column) const {
    const unsigned char* t = sqlite3_column_text(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(n)) : "";
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db), open_(exec(db, "BEGIN IMMEDIATE")) {}
  ~Transaction() {
    if (open_) exec(db_, "ROLLBACK");
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  bool ok() const { return open_; }
  int32_t commit() {
    if (!open_) return kErrServerOperation;
    if (!exec(db_, "COMMIT")) return kErrServerOperation;
    open_ = false;
    return kErrNone;
  }

 private:
  sqlite3* db_;
  bool open_;
};

void readRow(const Statement& s, ClubEntryRow* row) {
  row->index = s.integer(0);
  row->club = s.integer(1);
  row->parent = s.integer(2);
  row->kind = static_cast<int32_t>(s.integer(3));
  row->name = s.text(4);
  row->time = s.text(5);
  row->expiry = s.text(6);
  row->description = s.text(7);
  row->size = s.integer(8);
  row->total = s.integer(9);
  row->downloads = s.integer(10);
  row->copied = static_cast<int32_t>(s.integer(11));
  row->storage = s.integer(12);
  row->state = static_cast<int32_t>(s.integer(13));
  row->checksum = s.text(14);
}

int64_t saturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<int64_t>::max() : sum;
}

std::string now() {
  return clubTimeText(static_cast<int64_t>(::time(nullptr)));
}

// Space a file holds against its club's quota: while an upload runs, what it announced.
int64_t committed(const ClubEntryRow& file) {
  return file.state != kUploadDone ? std::max(file.size, file.total) : file.size;
}

bool plainText(std::string_view text, size_t limit) {
  return text.size() <= limit && text.find('\0') == std::string_view::npos;
}

}  // namespace

std::string clubTimeText(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm utc {};
  if (::gmtime_r(&t, &utc) == nullptr) return "";
  char text[32];
  snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", utc.tm_year + 1900, utc.tm_mon + 1,
           utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

bool validClubTime(std::string_view text) {
  if (text.size() != 14 || text.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  auto field = [&](size_t at, size_t n) { return std::stoi(std::string(text.substr(at, n))); };
  const int year = field(0, 4), month = field(4, 2), day = field(6, 2);
  const int hour = field(8, 2), minute = field(10, 2), second = field(12, 2);
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return false;
  return hour < 24 && minute < 60 && second < 60;
}

bool validClubName(std::string_view name) {
  if (name.empty() || name.size() > kMaxClubName || name == "." || name == "..") return false;
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == '<' ||
        c == '>')
      return false;
  return true;
}

class ClubIndex::Db {
 public:
  explicit Db(sqlite3* handle) : handle(handle) {}
  ~Db() { sqlite3_close(handle); }
  Db(const Db&) = delete;
  Db& operator=(const Db&) = delete;
  sqlite3* const handle;
};

ClubIndex::ClubIndex(std::unique_ptr<Db> db, const Config& config, const ClubStorage& storage)
    : db_(std::move(db)), config_(config), storage_(storage) {}

ClubIndex::~ClubIndex() = default;

std::unique_ptr<ClubIndex> ClubIndex::open(const std::filesystem::path& file, const Config& config,
                                           const ClubStorage& storage, int64_t first_index,
                                           std::string* error) {
  sqlite3* handle = nullptr;
  const int rc =
      sqlite3_open_v2(file.c_str(), &handle,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  auto db = std::make_unique<Db>(handle);
  auto fail = [&](const std::string& what) {
    if (error) *error = file.string() + ": " + what + ": " + sqlite3_errmsg(db->handle);
    return nullptr;
  };
  if (rc != SQLITE_OK) return fail("cannot open the club index");
  sqlite3_busy_timeout(db->handle, 10000);
  if (!exec(db->handle, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") ||
      !exec(db->handle, kSchema))
    return fail("cannot set up the club index");
  if (first_index < 1) first_index = 1;
  std::unique_ptr<ClubIndex> index(new ClubIndex(std::move(db), config, storage));
  std::lock_guard lock(index->mutex_);
  for (const ClubConfig& club : config.clubs)
    if (index->ensureClub(club, first_index) != kErrNone) return fail("cannot add a club");
  return index;
}

int32_t ClubIndex::ensureClub(const ClubConfig& club, int64_t first_index) {
  sqlite3* db = db_->handle;
  Transaction t(db);
  if (!t.ok()) return kErrServerOperation;
  // The sequence starts at first_index, and never hands out an index that is in use.
  {
    Statement s(db,
                "INSERT INTO meta(name, value) SELECT 'next_index', "
                "max(?1, COALESCE((SELECT max(idx) + 1 FROM entries), 1)) "
                "WHERE NOT EXISTS (SELECT 1 FROM meta WHERE name = 'next_index')");
    if (!s.bind(1, first_index).run()) return kErrServerOperation;
  }
  Statement find(db, "SELECT root FROM clubs WHERE number = ?1");
  find.bind(1, club.number);
  const int rc = find.step();
  if (rc == SQLITE_ROW) return t.commit();
  if (rc != SQLITE_DONE) return kErrServerOperation;
  ClubEntryRow root;
  if (int32_t e = newIndex(&root.index)) return e;
  root.club = club.number;
  root.kind = kKindFolder;
  root.time = now();
  if (int32_t e = insertEntry(root)) return e;
  Statement add(db, "INSERT INTO clubs(number, root, created) VALUES(?1, ?2, ?3)");
  if (!add.bind(1, club.number).bind(2, root.index).bind(3, root.time).run())
    return kErrServerOperation;
  return t.commit();
}

int64_t ClubIndex::fileBytes(const ClubEntryRow& file) const {
  if (file.state == kUploadDone) return file.size;
  return std::min(file.size, storage_.storedBytes(file.storage, file.index));
}

int32_t ClubIndex::loadEntry(int64_t index, Want want, ClubEntryRow* out) {
  if (index <= 0) return kErrNotExists;
  Statement s(db_->handle, std::string("SELECT ") + kEntryColumns + " FROM entries WHERE idx = ?1");
  s.bind(1, index);
  const int rc = s.step();
  if (rc == SQLITE_DONE) return kErrNotExists;
  if (rc != SQLITE_ROW) return kErrServerOperation;
  readRow(s, out);
  // Entries of clubs the configuration no longer names are out of reach.
  if (config_.club(out->club) == nullptr) return kErrNotExists;
  if (want == Want::kFile && out->folder()) return kErrRemoteFile;
  if (want == Want::kFolder && !out->folder()) return kErrNotDirectory;
  return kErrNone;
}

int32_t ClubIndex::loadChild(int64_t parent, std::string_view name, ClubEntryRow* out,
                             bool* found) {
  Statement s(db_->handle, std::string("SELECT ") + kEntryColumns +
                               " FROM entries WHERE parent = ?1 AND name = ?2");
  s.bind(1, parent).bind(2, name);
  const int rc = s.step();
  *found = rc == SQLITE_ROW;
  if (rc == SQLITE_ROW) readRow(s, out);
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? kErrNone : kErrServerOperation;
}

int32_t ClubIndex::childCount(int64_t folder, int64_t* count) {
  Statement s(db_->handle, "SELECT count(*) FROM entries WHERE parent = ?1");
  s.bind(1, folder);
  if (s.step() != SQLITE_ROW) return kErrServerOperation;
  *count = s.integer(0);
  return kErrNone;
}

int32_t ClubIndex::folderTotals(int64_t folder, FolderTotals* out) {
  // UNION (not UNION ALL) ends the walk even on a damaged index whose links loop.
  Statement s(db_->handle, std::string("WITH RECURSIVE below(idx) AS (") +
                               "SELECT idx FROM entries WHERE parent = ?1 UNION " +
                               "SELECT e.idx FROM entries e JOIN below b ON e.parent = b.idx) " +
                               "SELECT " + kEntryColumns +
                               " FROM entries WHERE idx IN (SELECT idx FROM below)");
  s.bind(1, folder);
  *out = FolderTotals();
  for (;;) {
    const int rc = s.step();
    if (rc == SQLITE_DONE) return kErrNone;
    if (rc != SQLITE_ROW) return kErrServerOperation;
    ClubEntryRow row;
    readRow(s, &row);
    if (row.folder()) {
      ++out->folders;
    } else {
      ++out->files;
      out->bytes = saturatingAdd(out->bytes, fileBytes(row));
    }
  }
}

int32_t ClubIndex::committedBytes(int64_t club, int64_t* out) {
  Statement s(db_->handle, std::string("SELECT ") + kEntryColumns +
                               " FROM entries WHERE club = ?1 AND kind = 1");
  s.bind(1, club);
  *out = 0;
  for (;;) {
    const int rc = s.step();
    if (rc == SQLITE_DONE) return kErrNone;
    if (rc != SQLITE_ROW) return kErrServerOperation;
    ClubEntryRow row;
    readRow(s, &row);
    *out = saturatingAdd(*out, committed(row));
  }
}

int32_t ClubIndex::quotaAllows(int64_t club, int64_t growth) {
  if (growth <= 0) return kErrNone;
  const ClubConfig* c = config_.club(club);
  if (c == nullptr) return kErrNotExists;
  int64_t used = 0;
  if (int32_t e = committedBytes(club, &used)) return e;
  const int64_t quota = static_cast<int64_t>(c->quota_mb << 20);
  return used <= quota && growth <= quota - used ? kErrNone : kErrDiskFull;
}

int32_t ClubIndex::newIndex(int64_t* out) {
  Statement get(db_->handle, "SELECT value FROM meta WHERE name = 'next_index'");
  if (get.step() != SQLITE_ROW) return kErrServerOperation;
  const int64_t next = get.integer(0);
  if (next <= 0 || next == std::numeric_limits<int64_t>::max()) return kErrDiskFull;
  Statement set(db_->handle, "UPDATE meta SET value = ?1 WHERE name = 'next_index'");
  if (!set.bind(1, next + 1).run()) return kErrServerOperation;
  *out = next;
  return kErrNone;
}

int32_t ClubIndex::newStorageSlot(int64_t* storage) {
  Statement last(db_->handle, "SELECT idx, used FROM storage_folders ORDER BY idx DESC LIMIT 1");
  const int rc = last.step();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return kErrServerOperation;
  if (rc == SQLITE_ROW && last.integer(1) < kFilesPerStorageFolder) {
    *storage = last.integer(0);
    Statement use(db_->handle, "UPDATE storage_folders SET used = used + 1 WHERE idx = ?1");
    return use.bind(1, *storage).run() ? kErrNone : kErrServerOperation;
  }
  *storage = rc == SQLITE_ROW ? last.integer(0) + 1 : 1;
  Statement add(db_->handle, "INSERT INTO storage_folders(idx, used) VALUES(?1, 1)");
  return add.bind(1, *storage).run() ? kErrNone : kErrServerOperation;
}

int32_t ClubIndex::insertEntry(const ClubEntryRow& r) {
  Statement s(db_->handle, std::string("INSERT INTO entries(") + kEntryColumns +
                               ") VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
                               "?13, ?14, ?15)");
  s.bind(1, r.index).bind(2, r.club).bind(3, r.parent).bind(4, int64_t{r.kind});
  s.bind(5, r.name).bind(6, r.time).bind(7, r.expiry).bind(8, r.description);
  s.bind(9, r.size).bind(10, r.total).bind(11, r.downloads).bind(12, int64_t{r.copied});
  s.bind(13, r.storage).bind(14, int64_t{r.state}).bind(15, r.checksum);
  return s.run() ? kErrNone : kErrServerOperation;
}

int32_t ClubIndex::deleteTreeRows(const ClubEntryRow& top, std::vector<ClubEntryRow>* files) {
  {
    Statement s(db_->handle, std::string("WITH RECURSIVE tree(idx) AS (SELECT ?1 UNION ") +
                                 "SELECT e.idx FROM entries e JOIN tree t ON e.parent = t.idx) " +
                                 "SELECT " + kEntryColumns +
                                 " FROM entries WHERE kind = 1 AND idx IN (SELECT idx FROM tree)");
    s.bind(1, top.index);
    for (int rc; (rc = s.step()) != SQLITE_DONE;) {
      if (rc != SQLITE_ROW) return kErrServerOperation;
      files->emplace_back();
      readRow(s, &files->back());
    }
  }
  Statement del(db_->handle,
                "WITH RECURSIVE tree(idx) AS (SELECT ?1 UNION "
                "SELECT e.idx FROM entries e JOIN tree t ON e.parent = t.idx) "
                "DELETE FROM entries WHERE idx IN (SELECT idx FROM tree)");
  return del.bind(1, top.index).run() ? kErrNone : kErrServerOperation;
}

int32_t ClubIndex::clubInfo(int64_t club, ClubInfo* out) {
  std::lock_guard lock(mutex_);
  out->config = config_.club(club);
  if (out->config == nullptr) return kErrNoShareDirectory;
  Statement s(db_->handle, "SELECT root, created FROM clubs WHERE number = ?1");
  s.bind(1, club);
  if (s.step() != SQLITE_ROW) return kErrServerOperation;
  out->root = s.integer(0);
  out->created = s.text(1);
  return folderTotals(out->root, &out->totals);
}

int32_t ClubIndex::entry(int64_t index, Want want, ClubEntryRow* out) {
  std::lock_guard lock(mutex_);
  return loadEntry(index, want, out);
}

int32_t ClubIndex::lookup(int64_t club, std::string_view path, ClubEntryRow* out) {
  std::lock_guard lock(mutex_);
  if (path.size() > 4096) return kErrWrongParameter;
  if (config_.club(club) == nullptr) return kErrNoShareDirectory;
  ClubEntryRow at;
  std::string_view rest = path;
  if (!rest.empty() && rest[0] == '<') {
    const size_t close = rest.find('>');
    if (close == std::string_view::npos) return kErrNotExists;
    std::string_view digits = rest.substr(1, close - 1);
    if (!digits.empty() && digits.back() == '@') digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
      return kErrNotExists;
    if (int32_t e = loadEntry(std::stoll(std::string(digits)), Want::kAny, &at)) return e;
    if (at.club != club) return kErrNotExists;
    rest.remove_prefix(close + 1);
    if (!rest.empty() && rest[0] != '/') return kErrNotExists;
  } else {
    Statement s(db_->handle, "SELECT root FROM clubs WHERE number = ?1");
    s.bind(1, club);
    if (s.step() != SQLITE_ROW) return kErrServerOperation;
    if (int32_t e = loadEntry(s.integer(0), Want::kFolder, &at)) return e;
  }
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view name = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (name.empty()) continue;
    if (!at.folder()) return kErrNotDirectory;
    bool found = false;
    ClubEntryRow child;
    if (int32_t e = loadChild(at.index, name, &child, &found)) return e;
    if (!found) return kErrNotExists;
    at = std::move(child);
  }
  *out = std::move(at);
  return kErrNone;
}

int32_t ClubIndex::totals(int64_t folder, FolderTotals* out) {
  std::lock_guard lock(mutex_);
  return folderTotals(folder, out);
}

int32_t ClubIndex::list(int64_t folder, bool files, bool folders, std::vector<ClubEntryRow>* out) {
  std::lock_guard lock(mutex_);
  ClubEntryRow dir;
  if (int32_t e = loadEntry(folder, Want::kFolder, &dir)) return e;
  Statement s(db_->handle, std::string("SELECT ") + kEntryColumns +
                               " FROM entries WHERE parent = ?1 AND (kind = ?2 OR kind = ?3) "
                               "ORDER BY kind DESC, name");
  s.bind(1, folder).bind(2, folders ? kKindFolder : -1).bind(3, files ? kKindFile : -1);
  out->clear();
  for (int rc; (rc = s.step()) != SQLITE_DONE;) {
    if (rc != SQLITE_ROW) return kErrServerOperation;
    out->emplace_back();
    readRow(s, &out->back());
  }
  return kErrNone;
}

int32_t ClubIndex::makeFolder(int64_t parent, const std::string& name, int64_t* made) {
  if (!validClubName(name)) return kErrWrongParameter;
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow dir, clash;
  if (int32_t e = loadEntry(parent, Want::kFolder, &dir)) return e;
  bool found = false;
  if (int32_t e = loadChild(parent, name, &clash, &found)) return e;
  if (found) return kErrExists;
  int64_t count = 0;
  if (int32_t e = childCount(parent, &count)) return e;
  if (count >= kMaxFolderEntries) return kErrPermission;
  ClubEntryRow row;
  if (int32_t e = newIndex(&row.index)) return e;
  row.club = dir.club;
  row.parent = parent;
  row.kind = kKindFolder;
  row.name = name;
  row.time = now();
  if (int32_t e = insertEntry(row)) return e;
  if (int32_t e = t.commit()) return e;
  *made = row.index;
  return kErrNone;
}

int32_t ClubIndex::rename(int64_t index, Want want, const std::string& name) {
  if (!validClubName(name)) return kErrWrongParameter;
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow row, clash;
  if (int32_t e = loadEntry(index, want, &row)) return e;
  if (row.root()) return kErrPermission;
  if (row.name == name) return t.commit();
  bool found = false;
  if (int32_t e = loadChild(row.parent, name, &clash, &found)) return e;
  if (found) return kErrExists;
  Statement s(db_->handle, "UPDATE entries SET name = ?2 WHERE idx = ?1");
  if (!s.bind(1, index).bind(2, name).run()) return kErrServerOperation;
  return t.commit();
}

int32_t ClubIndex::move(int64_t index, Want want, int64_t target) {
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow row, dir;
  if (int32_t e = loadEntry(index, want, &row)) return e;
  if (row.root()) return kErrPermission;
  if (int32_t e = loadEntry(target, Want::kFolder, &dir)) return e;
  if (dir.club != row.club) return kErrPermission;
  if (dir.index == row.parent) return t.commit();
  // A folder cannot go into itself or anything below it.
  if (row.folder()) {
    ClubEntryRow up = dir;
    for (int depth = 0;; ++depth) {
      if (up.index == row.index) return kErrWrongParameter;
      if (up.root()) break;
      if (depth >= kMaxDepth) return kErrServerOperation;
      const int64_t parent = up.parent;
      if (int32_t e = loadEntry(parent, Want::kFolder, &up)) return e;
    }
  }
  ClubEntryRow clash;
  bool found = false;
  if (int32_t e = loadChild(target, row.name, &clash, &found)) return e;
  if (found) return kErrExists;
  int64_t count = 0;
  if (int32_t e = childCount(target, &count)) return e;
  if (count >= kMaxFolderEntries) return kErrPermission;
  Statement s(db_->handle, "UPDATE entries SET parent = ?2 WHERE idx = ?1");
  if (!s.bind(1, index).bind(2, target).run()) return kErrServerOperation;
  return t.commit();
}

int32_t ClubIndex::remove(int64_t index, Want want) {
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow row;
  if (int32_t e = loadEntry(index, want, &row)) return e;
  if (row.root()) return kErrPermission;
  // Rows first, bytes after the commit: when the commit fails nothing is lost.
  std::vector<ClubEntryRow> files;
  if (int32_t e = deleteTreeRows(row, &files)) return e;
  if (int32_t e = t.commit()) return e;
  for (const ClubEntryRow& f : files) storage_.remove(f.storage, f.index);
  return kErrNone;
}

int32_t ClubIndex::copyFile(int64_t index, int64_t target, bool replace, int64_t* made) {
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow source, dir, clash;
  if (int32_t e = loadEntry(index, Want::kFile, &source)) return e;
  if (int32_t e = loadEntry(target, Want::kFolder, &dir)) return e;
  if (dir.club != source.club) return kErrPermission;
  bool found = false;
  if (int32_t e = loadChild(target, source.name, &clash, &found)) return e;
  if (found && (clash.folder() || !replace)) return kErrExists;
  if (found && clash.index == source.index) {
    *made = source.index;  // already where it was asked to go
    return t.commit();
  }
  const int64_t bytes = fileBytes(source);
  if (int32_t e = quotaAllows(source.club, bytes - (found ? committed(clash) : 0))) return e;
  int64_t count = 0;
  if (int32_t e = childCount(target, &count)) return e;
  if (!found && count >= kMaxFolderEntries) return kErrPermission;
  ClubEntryRow copy = source;
  if (int32_t e = newIndex(&copy.index)) return e;
  if (int32_t e = newStorageSlot(&copy.storage)) return e;
  copy.parent = target;
  copy.size = bytes;
  copy.total = bytes;
  copy.downloads = 0;
  copy.copied = 1;
  copy.state = kUploadDone;
  if (found) {
    Statement del(db_->handle, "DELETE FROM entries WHERE idx = ?1");
    if (!del.bind(1, clash.index).run()) return kErrServerOperation;
  }
  if (int32_t e = insertEntry(copy)) return e;
  if (int err = storage_.copy(source.storage, source.index, copy.storage, copy.index)) {
    storage_.remove(copy.storage, copy.index);
    return errorFromErrno(err);
  }
  if (int32_t e = t.commit()) {
    storage_.remove(copy.storage, copy.index);
    return e;
  }
  if (found) storage_.remove(clash.storage, clash.index);
  *made = copy.index;
  return kErrNone;
}

int32_t ClubIndex::setTime(int64_t index, const std::string& time) {
  if (!validClubTime(time)) return kErrWrongParameter;
  return setText(index, Want::kAny, "time", time);
}

int32_t ClubIndex::setExpiry(int64_t index, Want want, const std::string& text) {
  if (!plainText(text, kMaxExpiryText)) return kErrWrongParameter;
  return setText(index, want, "expiry", text);
}

int32_t ClubIndex::setDescription(int64_t index, Want want, const std::string& text) {
  if (!plainText(text, kMaxDescription)) return kErrWrongParameter;
  return setText(index, want, "description", text);
}

int32_t ClubIndex::setText(int64_t index, Want want, const char* column, const std::string& text) {
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow row;
  if (int32_t e = loadEntry(index, want, &row)) return e;
  Statement s(db_->handle, std::string("UPDATE entries SET ") + column + " = ?2 WHERE idx = ?1");
  if (!s.bind(1, index).bind(2, text).run()) return kErrServerOperation;
  return t.commit();
}

int32_t ClubIndex::countDownload(int64_t index) {
  std::lock_guard lock(mutex_);
  Statement s(db_->handle,
              "UPDATE entries SET downloads = downloads + 1 WHERE idx = ?1 AND kind = 1");
  return s.bind(1, index).run() ? kErrNone : kErrServerOperation;
}

int32_t ClubIndex::startUpload(const UploadRequest& request, UploadGrant* out) {
  if (request.option < 1 || request.option > 3 || request.size < 0 ||
      !validClubName(request.name) || !plainText(request.checksum, kMaxChecksum))
    return kErrWrongParameter;
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow dir, existing;
  if (int32_t e = loadEntry(request.folder, Want::kFolder, &dir)) return e;
  bool found = false;
  if (int32_t e = loadChild(dir.index, request.name, &existing, &found)) return e;
  *out = UploadGrant();
  out->club = dir.club;
  if (found && existing.folder()) {
    out->kind = kUploadKindFolder;
    return t.commit();
  }
  if (found && request.option == 3) {
    out->kind = kUploadKindExists;
    return t.commit();
  }
  if (found) {
    // The file may end up as long as its present bytes or the new size, whichever is more.
    const int64_t stored = storage_.storedBytes(existing.storage, existing.index);
    const int64_t will_hold = std::max(stored, request.size);
    if (int32_t e = quotaAllows(dir.club, will_hold - committed(existing))) return e;
    Statement s(db_->handle,
                "UPDATE entries SET total = ?2, state = ?3, size = ?4, "
                "checksum = CASE WHEN ?5 = '' THEN checksum ELSE ?5 END WHERE idx = ?1");
    const int32_t state = existing.state == kUploadDone ? kUploadRunning : existing.state;
    // A resumed upload starts from the bytes really stored.
    s.bind(1, existing.index).bind(2, request.size).bind(3, int64_t{state});
    s.bind(4, stored).bind(5, request.checksum);
    if (!s.run()) return kErrServerOperation;
    out->kind = request.option == 2 ? kUploadKindContinue : kUploadKindReplace;
    out->index = existing.index;
    out->storage = existing.storage;
    return t.commit();
  }
  int64_t count = 0;
  if (int32_t e = childCount(dir.index, &count)) return e;
  if (count >= kMaxFolderEntries) return kErrPermission;
  if (int32_t e = quotaAllows(dir.club, request.size)) return e;
  ClubEntryRow row;
  if (int32_t e = newIndex(&row.index)) return e;
  if (int32_t e = newStorageSlot(&row.storage)) return e;
  row.club = dir.club;
  row.parent = dir.index;
  row.kind = kKindFile;
  row.name = request.name;
  row.time = now();
  row.total = request.size;
  row.state = kUploadNew;
  row.checksum = request.checksum;
  if (int32_t e = insertEntry(row)) return e;
  // Bytes left over from an index that was lost must not show up in the new file.
  storage_.remove(row.storage, row.index);
  if (int32_t e = t.commit()) return e;
  out->kind = kUploadKindNew;
  out->club = dir.club;
  out->index = row.index;
  out->storage = row.storage;
  return kErrNone;
}

int32_t ClubIndex::storageFolderMade(int64_t storage) {
  std::lock_guard lock(mutex_);
  Statement s(db_->handle, "SELECT 1 FROM storage_folders WHERE idx = ?1");
  s.bind(1, storage);
  const int rc = s.step();
  if (rc == SQLITE_DONE) return kErrNotExists;
  if (rc != SQLITE_ROW) return kErrServerOperation;
  return storage_.folderExists(storage) ? kErrNone : kErrNotExists;
}

int32_t ClubIndex::notifyUpload(int64_t index, int64_t size) {
  if (size < 0) return kErrWrongParameter;
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow row;
  if (int32_t e = loadEntry(index, Want::kFile, &row)) return e;
  if (row.state == kUploadDone) return kErrNotAllowed;
  Statement s(db_->handle, "UPDATE entries SET size = ?2 WHERE idx = ?1");
  if (!s.bind(1, index).bind(2, std::min(size, row.total)).run()) return kErrServerOperation;
  return t.commit();
}

int32_t ClubIndex::endUpload(int64_t index, int64_t size, const std::string& checksum) {
  if (!plainText(checksum, kMaxChecksum)) return kErrWrongParameter;
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow row;
  if (int32_t e = loadEntry(index, Want::kFile, &row)) return e;
  if (size < 0 && row.state == kUploadNew) {
    // Nothing was uploaded into a file that never held anything complete: it goes.
    std::vector<ClubEntryRow> files;
    if (int32_t e = deleteTreeRows(row, &files)) return e;
    if (int32_t e = t.commit()) return e;
    storage_.remove(row.storage, row.index);
    return kErrNone;
  }
  if (size < 0 && row.state == kUploadDone) return t.commit();
  // The index takes the size of what was really stored.
  Statement s(db_->handle,
              "UPDATE entries SET size = ?2, state = 0, time = ?3, "
              "checksum = CASE WHEN ?4 = '' THEN checksum ELSE ?4 END WHERE idx = ?1");
  s.bind(1, index).bind(2, storage_.storedBytes(row.storage, row.index));
  s.bind(3, size < 0 ? row.time : now()).bind(4, checksum);
  if (!s.run()) return kErrServerOperation;
  return t.commit();
}

int32_t ClubIndex::importFile(int64_t folder, const std::string& name, std::string_view bytes,
                              const std::string& time, int64_t* made) {
  if (!validClubName(name) || !validClubTime(time)) return kErrWrongParameter;
  std::lock_guard lock(mutex_);
  Transaction t(db_->handle);
  if (!t.ok()) return kErrServerOperation;
  ClubEntryRow dir, clash;
  if (int32_t e = loadEntry(folder, Want::kFolder, &dir)) return e;
  bool found = false;
  if (int32_t e = loadChild(folder, name, &clash, &found)) return e;
  if (found) return kErrExists;
  const int64_t size = static_cast<int64_t>(bytes.size());
  if (int32_t e = quotaAllows(dir.club, size)) return e;
  ClubEntryRow row;
  if (int32_t e = newIndex(&row.index)) return e;
  if (int32_t e = newStorageSlot(&row.storage)) return e;
  row.club = dir.club;
  row.parent = folder;
  row.name = name;
  row.time = time;
  row.size = size;
  row.total = size;
  if (int32_t e = insertEntry(row)) return e;
  if (int err = storage_.write(row.storage, row.index, bytes)) {
    storage_.remove(row.storage, row.index);
    return errorFromErrno(err);
  }
  if (int32_t e = t.commit()) {
    storage_.remove(row.storage, row.index);
    return e;
  }
  *made = row.index;
  return kErrNone;
}

}  // namespace zavel::devserver
