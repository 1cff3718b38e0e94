#include "app/explorer/document.h"

#include "app/explorer/list_rows.h"
#include "app/explorer/texts.h"

namespace zavel::app {
namespace {

QString local(const char* text) {
  return text ? QString::fromLocal8Bit(text) : QString();
}

// A club member's authority level gives the session's rights.
int32_t modeForLevel(int level) {
  if (level == 1) return 1;
  if (level == 2 || level == 4) return 2;
  return 3;
}

}  // namespace

Document::Document(LoginInfo& login, PortalLookups& lookups, Prompter& prompter)
    : login_(login), lookups_(lookups), prompter_(prompter) {}

Document::~Document() {
  closeAll();
}

DiskEntry* Document::find(const QString& diskname) {
  for (DiskEntry& d : login_.disks)
    if (d.diskname == diskname) return &d;
  return nullptr;
}

const DiskEntry* Document::currentDisk() const {
  if (current_ < 0 || current_ >= login_.diskCount()) return nullptr;
  return &login_.disks[static_cast<size_t>(current_)];
}

QString Document::basePath() const {
  return listing_ ? local(zavel_GetSessionPath(listing_)) : QString();
}

void Document::makeListing(DiskEntry& disk) {
  listing_ = disk.session;
  club_ = zavel_IsOCTASession(disk.session) != 0;
  mode_ = zavel_GetSessionMode(disk.session);
  current_ = static_cast<int>(&disk - login_.disks.data());
}

bool Document::openDisk(const QString& diskname) {
  DiskEntry* disk = find(diskname);
  if (disk == nullptr) return false;
  if (!disk->session && !connect(*disk)) return false;
  makeListing(*disk);
  return true;
}

bool Document::connect(DiskEntry& disk) {
  if (disk.publicip.isEmpty()) {
    PortalLookups::HostInfo host;
    if (!lookups_.hostInfo(disk, &host)) return false;
    disk.diskid = host.diskid;
    disk.publicip = host.publicip;
    disk.privateip = host.privateip;
    disk.loginid = host.loginid;
    if (host.diskstatus != QLatin1String("0")) return false;
  }
  ZavelSession* session = nullptr;
  if (disk.isClub()) {
    const int level = lookups_.clubAuthLevel(disk);
    if (level < 0) {
      prompter_.inform(text::tr(text::kNoDiskRights), PromptIcon::kStop);
      return false;
    }
    session = zavel_CreateOCTASession(octa_.host.toLocal8Bit().constData(), octa_.port,
                                      kClubTimeoutMs, modeForLevel(level), disk.uid.toInt(), 0);
  } else {
    session = zavel_CreateSession(disk.publicip.toLocal8Bit().constData(), file_port_,
                                  disk.diskid.toLocal8Bit().constData(), nullptr, -1);
  }
  if (session == nullptr) {
    const QString why = local(zavel_GetLastErrStr());
    if (!why.isEmpty()) prompter_.inform(why, PromptIcon::kStop);
    return false;
  }
  if (disk.diskname == QLatin1String(kOwnDiskName) && login_.diskCount() < 2) {
    DiskSpaceInfo space{};
    if (zavel_GetDiskSpace(&space, session) && space.total < 5 &&
        !prompter_.askYesNo(text::tr(text::kZeroCapacity), PromptIcon::kQuestion)) {
      zavel_DestroySession(session);
      return false;
    }
  }
  disk.session = session;
  return true;
}

bool Document::closeDisk(const QString& diskname) {
  DiskEntry* disk = diskname.isEmpty() ? nullptr : find(diskname);
  if (diskname.isEmpty()) {
    for (DiskEntry& d : login_.disks)
      if (d.session && d.session == listing_) disk = &d;
  }
  if (disk == nullptr || disk->session == nullptr) return false;
  if (disk->session == listing_) {
    listing_ = nullptr;
    current_ = -1;
    mode_ = kNoRights;
  }
  zavel_DestroySession(disk->session);
  disk->session = nullptr;
  return true;
}

void Document::closeAll() {
  for (DiskEntry& d : login_.disks) {
    if (d.session) zavel_DestroySession(d.session);
    d.session = nullptr;
  }
  listing_ = nullptr;
  current_ = -1;
  mode_ = kNoRights;
}

std::optional<std::vector<ListRow>> Document::listRemote(const QString& pathOrKey) {
  std::vector<ListRow> rows;
  if (listing_ == nullptr) return rows;
  int32_t count = 0;
  const QByteArray path = pathOrKey.toLocal8Bit();
  ZavelFileInfoList* list = zavel_OpenFileInfo(path.constData(), 63, 1, &count, listing_);
  if (list == nullptr) {
    prompter_.inform(
        text::tr(text::kListingFailed).arg(local(zavel_GetLastErrStr())).arg(zavel_GetLastError()),
        PromptIcon::kStop);
    return std::nullopt;
  }
  rows.reserve(count > 1 ? static_cast<size_t>(count - 1) : 0);
  // Entry 0 is the listed folder itself.
  for (int32_t i = 1; i < count; ++i) {
    const ZavelFileInfo* info = zavel_ReadFileInfo(list, i);
    if (info == nullptr) continue;
    RemoteEntry entry;
    entry.name = local(info->name);
    entry.folder = info->type == ZAVEL_TYPE_FOLDER;
    entry.size = info->size;
    entry.date = local(info->date);
    if (club_ && info->detail)
      entry.clubNumber = static_cast<const ZavelClubEntry*>(info->detail)->jidx;
    rows.push_back(remoteRow(entry, pathOrKey));
  }
  zavel_CloseFileInfo(list);
  return rows;
}

}  // namespace zavel::app
