#include "devserver/list/list_commands.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "devserver/file/disk_path.h"
#include "devserver/server_errors.h"

namespace zavel::devserver {

namespace mask = club_mask;

namespace {

int32_t clampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t kindOf(const ClubEntryRow& e) {
  return e.folder() ? kKindFolder : kKindFile;
}

const std::string& hostOf(const ListContext& server, int64_t club) {
  static const std::string none;
  const ClubConfig* c = server.config.club(club);
  return c ? c->host : none;
}

// The fields of one entry that the mask asks for, and its index always. folder_bits_only:
// only the folder half of the mask counts.
int32_t putEntry(ListRequest& r, const ClubEntryRow& e, uint32_t bits, bool folder_bits_only) {
  auto asks = [&](uint32_t file_bit, uint32_t folder_bit) {
    return (!folder_bits_only && (bits & file_bit) != 0) || (bits & folder_bit) != 0;
  };
  ParamRecord& out = r.out;
  out.setInt64("jidx", e.index);
  if (asks(mask::kParent, mask::kParentDir)) out.setInt64("jpidx", e.parent);
  if (asks(mask::kName, mask::kNameDir)) out.setString("sname", e.name.c_str());
  if (asks(mask::kTime, mask::kTimeDir)) out.setString("stime", e.time.c_str());
  if (asks(mask::kExpiry, mask::kExpiryDir)) out.setString("setime", e.expiry.c_str());
  if (asks(mask::kKind, mask::kKindDir)) out.setInt32("itype", kindOf(e));
  if (asks(mask::kDescription, mask::kDescriptionDir)) out.setString("sdes", e.description.c_str());
  if (asks(mask::kClub, mask::kClubDir)) out.setInt32("iclubno", clampToInt32(e.club));
  if (e.folder()) {
    const bool size = asks(mask::kSize, mask::kSizeDir);
    if (size || asks(0, mask::kFileCount) || asks(0, mask::kFolderCount)) {
      FolderTotals totals;
      if (int32_t err = r.server.index.totals(e.index, &totals)) return err;
      if (size) out.setInt64("jsize", totals.bytes);
      if (asks(0, mask::kFileCount)) out.setInt64("jfilenum", totals.files);
      if (asks(0, mask::kFolderCount)) out.setInt64("jdirnum", totals.folders);
    }
    return kErrNone;
  }
  if (asks(mask::kSize, mask::kSizeDir)) out.setInt64("jsize", r.server.index.fileBytes(e));
  if (asks(mask::kTotal, 0)) out.setInt64("jtsize", e.total);
  if (asks(mask::kDownloads, 0)) out.setInt64("jdown", e.downloads);
  if (folder_bits_only) return kErrNone;
  const std::string& host = hostOf(r.server, e.club);
  if (bits & mask::kOutsideHost) out.setString("seip", host.c_str());
  if (bits & mask::kInsideHost) out.setString("siip", host.c_str());
  if (bits & mask::kOwner) out.setString("suserid", kClubStorageAccount);
  if (bits & mask::kStoragePath) {
    out.setString("spath", r.server.storage.filePath(e.storage, e.index).c_str());
    // Asking where the bytes are is how a download or a copy out of the club begins.
    r.server.index.countDownload(e.index);
  }
  return kErrNone;
}

bool readMask(const ListRequest& r, uint32_t* bits) {
  int64_t value = 0;
  if (!r.number("ioption", &value)) return false;
  *bits = static_cast<uint32_t>(value);
  return true;
}

int32_t getClubInfo(ListRequest& r) {
  int64_t club = 0;
  if (!r.number("iclubno", &club)) return kErrWrongParameter;
  ClubInfo info;
  if (int32_t e = r.server.index.clubInfo(club, &info)) return e;
  r.out.setInt64("jdidx", info.root);
  r.out.setInt32("iquota", clampToInt32(static_cast<int64_t>(info.config->quota_mb)));
  r.out.setString("sid", info.config->name.c_str());
  r.out.setString("stime", info.created.c_str());
  r.out.setInt64("jsize", info.totals.bytes);
  r.out.setInt64("jfilenum", info.totals.files);
  r.out.setInt64("jdirnum", info.totals.folders);
  return kErrNone;
}

// The member's authority level in a club; a non-member or an unknown club is refused.
int32_t getClubAuthLevel(ListRequest& r) {
  int64_t club = 0;
  std::string user;
  if (!r.number("iclubno", &club) || !r.text("suserno", 32, &user)) return kErrWrongParameter;
  const ClubConfig* c = r.server.config.club(club);
  if (c == nullptr) return kErrNoShareDirectory;
  for (const AccountConfig& a : r.server.config.accounts) {
    if (std::to_string(a.user_number) != user) continue;
    const ClubMember* m = c->member(a.id);
    if (m == nullptr) break;
    r.out.setString("sauthlevel", std::to_string(m->level).c_str());
    return kErrNone;
  }
  return kErrNotAllowed;
}

int32_t createDir(ListRequest& r) {
  int64_t parent = 0, made = 0;
  std::string name;
  if (!r.number("jtidx", &parent) || !r.text("sname", kMaxClubName, &name))
    return kErrWrongParameter;
  if (int32_t e = r.server.index.makeFolder(parent, name, &made)) return e;
  r.out.setInt64("jidx", made);
  return kErrNone;
}

template <Want kWant>
int32_t renameEntry(ListRequest& r) {
  int64_t index = 0;
  std::string name;
  if (!r.number(kWant == Want::kFolder ? "jdidx" : "jfidx", &index) ||
      !r.text("sname", kMaxClubName, &name))
    return kErrWrongParameter;
  return r.server.index.rename(index, kWant, name);
}

template <Want kWant>
int32_t moveEntry(ListRequest& r) {
  int64_t index = 0, target = 0;
  if (!r.number(kWant == Want::kFolder ? "jdidx" : "jfidx", &index) || !r.number("jtidx", &target))
    return kErrWrongParameter;
  return r.server.index.move(index, kWant, target);
}

template <Want kWant>
int32_t deleteEntry(ListRequest& r) {
  int64_t index = 0;
  if (!r.number(kWant == Want::kFolder ? "jdidx" : "jfidx", &index)) return kErrWrongParameter;
  return r.server.index.remove(index, kWant);
}

int32_t copyFile(ListRequest& r) {
  int64_t index = 0, target = 0, option = 0, made = 0;
  if (!r.number("jfidx", &index) || !r.number("jtidx", &target)) return kErrWrongParameter;
  r.number("ioption", &option);
  if (int32_t e = r.server.index.copyFile(index, target, option == 1, &made)) return e;
  r.out.setInt64("jidx", made);
  return kErrNone;
}

int32_t uploadStart(ListRequest& r) {
  UploadRequest request;
  int64_t option = 0;
  if (!r.text("sname", kMaxClubName, &request.name) || !r.number("jfsize", &request.size) ||
      !r.number("jtidx", &request.folder) || !r.number("ioption", &option) ||
      option < std::numeric_limits<int32_t>::min() || option > std::numeric_limits<int32_t>::max())
    return kErrWrongParameter;
  request.option = static_cast<int32_t>(option);
  if (r.in.has("schecksum") && !r.text("schecksum", kMaxChecksum, &request.checksum))
    return kErrWrongParameter;
  UploadGrant grant;
  if (int32_t e = r.server.index.startUpload(request, &grant)) return e;
  const std::string host = grant.index > 0 ? hostOf(r.server, grant.club) : std::string();
  // A storage folder the file server does not have yet is the client's to make.
  const bool make_folder = grant.index > 0 && !r.server.storage.folderExists(grant.storage);
  r.out.setInt32("itype", grant.kind);
  r.out.setString("seip", host.c_str());
  r.out.setString("siip", host.c_str());
  r.out.setString("spath", grant.index > 0
                               ? r.server.storage.filePath(grant.storage, grant.index).c_str()
                               : "");
  r.out.setInt64("jidx", grant.index);
  r.out.setInt64("jpathidx", make_folder ? grant.storage : -1);
  r.out.setString("sdir", make_folder ? r.server.storage.folderPath(grant.storage).c_str() : "");
  r.out.setInt32("inotifytime", static_cast<int32_t>(kNotifySeconds));
  return kErrNone;
}

int32_t uploadMkdirEnd(ListRequest& r) {
  int64_t storage = 0;
  if (!r.number("jpathidx", &storage)) return kErrWrongParameter;
  return r.server.index.storageFolderMade(storage);
}

int32_t uploadNotify(ListRequest& r) {
  int64_t index = 0, size = 0;
  if (!r.number("jfidx", &index) || !r.number("jfsize", &size)) return kErrWrongParameter;
  return r.server.index.notifyUpload(index, size);
}

int32_t uploadEnd(ListRequest& r) {
  int64_t index = 0, size = 0;
  std::string checksum;
  if (!r.number("jfidx", &index) || !r.number("jfsize", &size)) return kErrWrongParameter;
  if (r.in.has("checksum") && !r.text("checksum", kMaxChecksum, &checksum))
    return kErrWrongParameter;
  return r.server.index.endUpload(index, size, checksum);
}

int32_t setFileTime(ListRequest& r) {
  int64_t index = 0;
  std::string time;
  if (!r.number("jfidx", &index) || !r.text("stime", 14, &time)) return kErrWrongParameter;
  return r.server.index.setTime(index, time);
}

template <Want kWant>
int32_t setExpireTime(ListRequest& r) {
  int64_t index = 0;
  std::string text;
  if (!r.number(kWant == Want::kFolder ? "jdidx" : "jfidx", &index) ||
      !r.text("setime", kMaxExpiryText, &text))
    return kErrWrongParameter;
  return r.server.index.setExpiry(index, kWant, text);
}

template <Want kWant>
int32_t setDescription(ListRequest& r) {
  int64_t index = 0;
  std::string text;
  if (!r.number(kWant == Want::kFolder ? "jdidx" : "jfidx", &index) ||
      !r.text("sdes", kMaxDescription, &text))
    return kErrWrongParameter;
  return r.server.index.setDescription(index, kWant, text);
}

int32_t getFileInfoFromPath(ListRequest& r) {
  int64_t club = 0;
  uint32_t bits = 0;
  std::string path;
  if (!r.number("iclubno", &club) || !r.text("spath", kMaxPathBytes, &path) || !readMask(r, &bits))
    return kErrWrongParameter;
  ClubEntryRow e;
  if (int32_t err = r.server.index.lookup(club, path, &e)) return err;
  return putEntry(r, e, bits, false);
}

int32_t getFileInfoOpt(ListRequest& r) {
  int64_t index = 0;
  uint32_t bits = 0;
  if (!r.number("jfidx", &index) || !readMask(r, &bits)) return kErrWrongParameter;
  ClubEntryRow e;
  if (int32_t err = r.server.index.entry(index, Want::kAny, &e)) return err;
  return putEntry(r, e, bits, false);
}

int32_t getDirInfoOpt(ListRequest& r) {
  int64_t index = 0;
  uint32_t bits = 0;
  if (!r.number("jdidx", &index) || !readMask(r, &bits)) return kErrWrongParameter;
  ClubEntryRow e;
  if (int32_t err = r.server.index.entry(index, Want::kFolder, &e)) return err;
  return putEntry(r, e, bits, true);
}

int32_t getFileListOpt(ListRequest& r) {
  int64_t folder = 0;
  uint32_t bits = 0;
  if (!r.number("jdidx", &folder) || !readMask(r, &bits)) return kErrWrongParameter;
  bool files = (bits & mask::kFilesScope) != 0;
  bool folders = (bits & mask::kFoldersScope) != 0;
  if (!files && !folders) files = folders = true;  // no scope asked for: everything
  std::vector<ClubEntryRow> entries;
  if (int32_t e = r.server.index.list(folder, files, folders, &entries)) return e;
  ParamRecord& out = r.out;
  int32_t n = 0;
  for (const ClubEntryRow& e : entries) {
    const std::string i = std::to_string(++n);
    auto name = [&](const char* field) { return field + i; };
    out.setInt64(name("jidx").c_str(), e.index);
    out.setString(name("sname").c_str(), e.name.c_str());
    out.setString(name("stime").c_str(), e.time.c_str());
    out.setString(name("setime").c_str(), e.expiry.c_str());
    out.setInt32(name("itype").c_str(), kindOf(e));
    out.setString(name("sdes").c_str(), e.description.c_str());
    if (e.folder()) {
      FolderTotals totals;
      if (int32_t err = r.server.index.totals(e.index, &totals)) return err;
      out.setInt64(name("jsize").c_str(), totals.bytes);
      out.setInt64(name("jfilenum").c_str(), totals.files);
      out.setInt64(name("jdirnum").c_str(), totals.folders);
    } else {
      out.setInt64(name("jsize").c_str(), r.server.index.fileBytes(e));
      out.setInt64(name("jtsize").c_str(), e.total);
      out.setInt64(name("jdown").c_str(), e.downloads);
      out.setInt32(name("icopy").c_str(), e.copied);
    }
  }
  out.setInt32("ifilecnt", n);
  return kErrNone;
}

}  // namespace

bool ListRequest::text(const char* name, size_t limit, std::string* value) const {
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  if (!in.find(name, &data, &length, &type)) return false;
  if (type != kTypeString && in.bodyFormat() != kBodyUntyped) return false;
  const char* bytes = static_cast<const char*>(data);
  if (length > 0 && bytes[length - 1] == '\0') --length;
  if (length > limit) return false;
  value->assign(bytes, length);
  return true;
}

bool ListRequest::number(const char* name, int64_t* value) const {
  return in.getInt64(name, value);
}

void setListResult(ParamRecord& reply, int32_t error) {
  reply.setInt32("result", error == kErrNone ? 0 : 1);
  reply.setInt32("errorcode", error);
  reply.setString("errormsg", serverErrorText(error));
}

ListDispatcher::ListDispatcher(ListContext context) : context_(context) {
  table_ = {
      {"getclubinfo", getClubInfo},
      {"createdir", createDir},
      {"renamefile", renameEntry<Want::kFile>},
      {"renamedir", renameEntry<Want::kFolder>},
      {"movefile", moveEntry<Want::kFile>},
      {"movedir", moveEntry<Want::kFolder>},
      {"deletefile", deleteEntry<Want::kFile>},
      {"deletedir", deleteEntry<Want::kFolder>},
      {"copyfile", copyFile},
      {"uploadstart", uploadStart},
      {"uploadmkdirend", uploadMkdirEnd},
      {"uploadnotify", uploadNotify},
      {"uploadend", uploadEnd},
      {"setfiletime", setFileTime},
      {"setfileexpiretime", setExpireTime<Want::kFile>},
      {"setfiledescription", setDescription<Want::kFile>},
      {"setdirexpiretime", setExpireTime<Want::kFolder>},
      {"setdirdescription", setDescription<Want::kFolder>},
      {"getfileinfofrompath", getFileInfoFromPath},
      {"getfileinfoopt", getFileInfoOpt},
      {"getdirinfoopt", getDirInfoOpt},
      {"getfilelistopt", getFileListOpt},
      {"getclubauthlevel", getClubAuthLevel},
  };
}

bool ListDispatcher::serves(const std::string& command) const {
  return table_.count(command) != 0;
}

void ListDispatcher::reject(ParamRecord& reply, Refusal why) const {
  reply.clear();
  setListResult(reply, why == Refusal::kMalformed ? kErrWrongPacket
                       : why == Refusal::kBusy    ? kErrSessionLimit
                                                  : kErrNotAllowed);
}

void ListDispatcher::handle(const ParamRecord& request, ParamRecord& reply) {
  ListRequest r{context_, request, reply};
  std::string command;
  int32_t error = kErrNone;
  if (!r.text("_cmd", 64, &command)) {
    error = kErrWrongPacket;
  } else if (auto it = table_.find(command); it == table_.end()) {
    error = kErrNotAllowed;
  } else {
    error = it->second(r);
  }
  // A failed request answers with its error alone, never with half its fields.
  if (error != kErrNone) reply.clear();
  setListResult(reply, error);
  // The program asks this one as a portal lookup, which names its command in the reply.
  if (command == "getclubauthlevel") reply.setString("inform", command.c_str());
}

void ListDispatcher::rejectMalformed(ParamRecord& reply) {
  reply.clear();
  setListResult(reply, kErrWrongPacket);
}

}  // namespace zavel::devserver
