#include "devserver/seed_demo.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <vector>

#include "devserver/config.h"
#include "devserver/list/club_index.h"
#include "protocol/portal/service_domains.h"

namespace zavel::devserver {

namespace {

struct DemoFile {
  const char* path;  // below the disk's folder
  size_t size;       // 0 with text: the text itself
  const char* text;
  const char* time = "20041213153005";  // club files: their time
};

const char* const kDemoFolders[] = {"문서", "사진", "사진/여름 휴가", "음악", "빈 폴더"};

const DemoFile kDemoFiles[] = {
    {"읽어 주세요.txt", 0, "zavel 데모 디스크입니다.\nThis is the zavel demo disk.\n"},
    {"문서/회의 메모.txt", 0, "다음 회의: 월요일 10시\nNext meeting: Monday 10:00\n"},
    {"문서/empty.txt", 0, ""},
    {"문서/report 2004.bin", 150000, nullptr},
    {"사진/여름 휴가/바다 1.jpg", 65536, nullptr},
    {"사진/여름 휴가/바다 2.jpg", 250000, nullptr},
    {"음악/demo song.mp3", 3u << 20, nullptr},
};

struct DemoClub {
  int64_t number;
  const char* name;
  int32_t level;  // demo's authority level
  std::vector<const char*> folders;
  std::vector<DemoFile> files;
};

const DemoClub kDemoClubs[] = {
    {kDemoClub,
     "데모 클럽",
     1,
     {"공지", "사진", "사진/2004 정기 모임", "자료실"},
     {
         {"모임 안내.txt", 0, "데모 클럽의 공유 디스크입니다.\nThe demo club's shared disk.\n",
          "20041201090000"},
         {"공지/회칙.txt", 0, "1. 서로 존중합시다.\n", "20040315120000"},
         {"사진/2004 정기 모임/단체 사진.jpg", 180000, nullptr, "20041213153005"},
         {"사진/2004 정기 모임/뒤풀이.jpg", 65536, nullptr, "20041213220000"},
         {"자료실/발표 자료.bin", 1200000, nullptr, "20041120000000"},
     }},
    {kDemoReadOnlyClub,
     "사진 동호회",
     3,
     {"전시회"},
     {
         {"읽기 전용 안내.txt", 0, "이 클럽의 디스크는 읽기만 할 수 있습니다.\n", "20041105100000"},
         {"전시회/포스터.jpg", 120000, nullptr, "20041110180000"},
     }},
};

// Reproducible filler bytes for the binary demo files.
std::vector<char> fillerBytes(size_t size) {
  std::vector<char> bytes(size);
  uint32_t state = 0x2004u;
  for (char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<char>(state >> 16);
  }
  return bytes;
}

Config demoConfig() {
  Config c;
  AccountConfig a;
  a.id = kDemoAccount;
  a.domain = std::string(kServiceDomain);
  a.name = "데모 사용자";
  a.password = kDemoPassword;
  a.session_keys = {kDemoSessionKey};
  a.user_number = kDemoUserNumber;
  DiskConfig disk;
  disk.name = "My zavel";
  disk.kind = "personal";
  disk.number = std::to_string(kDemoUserNumber);
  disk.diskid = kDemoAccount;
  disk.folder = kDemoAccount;
  disk.base_path = std::string("/") + kDemoAccount;
  disk.quota_mb = 1024;
  disk.message = "zavel 데모 서버에 오신 것을 환영합니다.";
  a.disks.push_back(disk);
  for (const DemoClub& demo : kDemoClubs) {
    DiskConfig club;
    club.name = demo.name;
    club.kind = "octa";
    club.number = std::to_string(demo.number);
    club.diskid = kDemoAccount;
    a.disks.push_back(club);
    c.clubs.push_back({demo.number, demo.name, "127.0.0.1", 100, {{kDemoAccount, demo.level}}});
  }
  c.accounts.push_back(a);
  return c;
}

}  // namespace

bool seedDemoIfEmpty(const std::filesystem::path& dir, std::string* error, bool* seeded) {
  if (seeded) *seeded = false;
  std::error_code ec;
  if (std::filesystem::exists(dir, ec) && !std::filesystem::is_empty(dir, ec)) return true;
  if (seeded) *seeded = true;
  const std::filesystem::path disk = dir / kDisksFolderName / kDemoAccount;
  std::filesystem::create_directories(disk, ec);
  for (const char* folder : kDemoFolders) std::filesystem::create_directories(disk / folder, ec);
  if (ec) {
    if (error) *error = "cannot create " + disk.string() + ": " + ec.message();
    return false;
  }
  for (const DemoFile& f : kDemoFiles) {
    std::ofstream out(disk / f.path, std::ios::binary | std::ios::trunc);
    if (f.text != nullptr) {
      out << f.text;
    } else {
      const std::vector<char> bytes = fillerBytes(f.size);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    if (!out) {
      if (error) *error = "cannot write " + (disk / f.path).string();
      return false;
    }
  }
  return saveConfig(dir / kConfigFileName, demoConfig(), error);
}

bool seedDemoClub(ClubIndex& index, std::string* error) {
  int32_t status = 0;
  for (const DemoClub& demo : kDemoClubs) {
    ClubInfo club;
    status = index.clubInfo(demo.number, &club);
    std::map<std::string, int64_t> folders = {{"", club.root}};
    for (const char* path : demo.folders) {
      if (status != 0) break;
      const std::string p = path;
      const size_t slash = p.rfind('/');
      const std::string parent = slash == std::string::npos ? "" : p.substr(0, slash);
      status = index.makeFolder(folders[parent], p.substr(slash + 1), &folders[p]);
    }
    for (const DemoFile& f : demo.files) {
      if (status != 0) break;
      const std::string p = f.path;
      const size_t slash = p.rfind('/');
      const std::string parent = slash == std::string::npos ? "" : p.substr(0, slash);
      const std::string bytes = f.text != nullptr ? std::string(f.text) : [&] {
        const std::vector<char> b = fillerBytes(f.size);
        return std::string(b.begin(), b.end());
      }();
      int64_t made = 0;
      status = index.importFile(folders[parent], p.substr(slash + 1), bytes, f.time, &made);
    }
    if (status != 0) {
      if (error)
        *error = "cannot fill the disk of demo club " + std::to_string(demo.number) + " (error " +
                 std::to_string(status) + ")";
      return false;
    }
  }
  return true;
}

}  // namespace zavel::devserver
