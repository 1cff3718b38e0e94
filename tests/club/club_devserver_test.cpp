// Club disks end to end: the library's exports against zavel-devserver, with real files.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/club/club_test_support.h"
#include "tests/support/devserver_fixture.h"
#include "zavelsdk.h"

namespace zavel::testing {
namespace {

constexpr int32_t kTimeout = 10000;
constexpr int32_t kWriterMode = DevServerFixture::kClubWriterLevel;

struct SessionCloser {
  void operator()(ZavelSession* s) const { zavel_DestroySession(s); }
};
using SessionPtr = std::unique_ptr<ZavelSession, SessionCloser>;

// One listed entry: its name and its club record's index.
struct Listed {
  std::string name;
  int32_t type;
  int64_t index;
  int64_t size;
};

class ClubDisk : public ::testing::Test {
 protected:
  ClubDisk() : server_(DevServerFixtureOptions{.club_file_port = true}) {
    club_.reset(zavel_CreateOCTASession(server_.host().c_str(), server_.listPort(), kTimeout,
                                        kWriterMode, DevServerFixture::kClub, 0));
  }

  std::vector<Listed> list(const std::string& path) {
    int32_t count = 0;
    ZavelFileInfoList* entries =
        zavel_OpenFileInfo(path.c_str(), ZAVEL_INFO_ALL, 1, &count, club_.get());
    EXPECT_NE(entries, nullptr) << path << ": " << zavel_GetLastError();
    std::vector<Listed> out;
    if (entries == nullptr) return out;
    for (int32_t i = 0; i < count; ++i) {
      const ZavelFileInfo* e = zavel_ReadFileInfo(entries, i);
      const auto* detail = static_cast<const ZavelClubEntry*>(e->detail);
      out.push_back({e->name, e->type, detail != nullptr ? detail->jidx : -1, e->size});
    }
    zavel_CloseFileInfo(entries);
    return out;
  }

  int64_t indexOf(const std::string& path) {
    const auto entries = list(path);
    return entries.empty() ? -1 : entries[0].index;
  }

  bool transfer(bool up, const std::string& from, const std::string& to, uint64_t start,
                uint64_t end, int32_t truncate) {
    TransferSpec spec{};
    spec.source = from.c_str();
    spec.destination = to.c_str();
    spec.start = start;
    spec.end = end;
    spec.truncate = truncate;
    return (up ? zavel_Upload : zavel_Download)(club_.get(), &spec, nullptr) == 1;
  }

  DevServerFixture server_;
  SessionPtr club_;
  TempFolder temp_;
};

TEST_F(ClubDisk, FoldersAndFilesByPathAndByClubKey) {
  ASSERT_NE(club_, nullptr);
  ZavelSession* c = club_.get();
  ASSERT_EQ(zavel_MakeFolder("/octa/docs", c), 1) << zavel_GetLastError();
  const int64_t docs = indexOf("/octa/docs");
  ASSERT_GT(docs, 0);
  const std::string docs_key = "<" + std::to_string(docs) + "@>";
  ASSERT_EQ(zavel_MakeFolder((docs_key + "/inner").c_str(), c), 1) << zavel_GetLastError();
  ASSERT_EQ(zavel_MakeFolder("/octa/docs/gone", c), 1);

  const std::string bytes = patterned(5000, 3);
  const std::string local = temp_.file("a.txt");
  writeFile(local, bytes);
  ASSERT_TRUE(transfer(true, local, "/octa/docs/a.txt", 0, bytes.size(), 0))
      << zavel_GetLastError();

  // Listed by path and by key alike, each entry with its club record.
  const auto by_path = list("/octa/docs");
  const auto by_key = list(docs_key);
  ASSERT_EQ(by_path.size(), 4u);
  ASSERT_EQ(by_key.size(), 4u);
  for (size_t i = 0; i < by_path.size(); ++i) EXPECT_EQ(by_path[i].index, by_key[i].index);
  int64_t file = -1;
  for (const Listed& e : by_path) {
    if (e.name == "/octa/docs/a.txt") {
      file = e.index;
      EXPECT_EQ(e.size, 5000);
      EXPECT_EQ(e.type, 0);
    }
  }
  ASSERT_GT(file, 0);
  const std::string file_key = "<" + std::to_string(file) + ">";

  EXPECT_EQ(zavel_RenameFile("/octa/docs/a.txt", "/octa/docs/b.txt", c), 1);
  EXPECT_EQ(zavel_GetFileSize("/octa/docs/b.txt", c), 5000);
  EXPECT_EQ(zavel_RenameFile(docs_key.c_str(), "/octa/papers", c), 1);
  EXPECT_EQ(indexOf("/octa/papers"), docs);
  EXPECT_EQ(zavel_MoveFile(file_key.c_str(), "/octa/papers/inner", c), 1);
  EXPECT_EQ(zavel_GetFileSize("/octa/papers/inner/b.txt", c), 5000);
  EXPECT_EQ(zavel_CopyFile("/octa/papers/inner/b.txt", docs_key.c_str(), c), 1)
      << zavel_GetLastError();
  EXPECT_EQ(zavel_GetFileSize("/octa/papers/b.txt", c), 5000);
  EXPECT_EQ(zavel_CopyFile(docs_key.c_str(), "/octa", c), 0);
  EXPECT_EQ(zavel_GetLastError(), 37);

  EXPECT_EQ(zavel_DeleteFile(file_key.c_str(), 0, c), 1);
  EXPECT_EQ(zavel_GetFileSize("/octa/papers/inner/b.txt", c), -1);
  EXPECT_EQ(zavel_DeleteFile("/octa/papers/b.txt", 0, c), 1);
  EXPECT_EQ(zavel_DeleteFile("/octa/papers/gone", 0, c), 1);
  const auto left = list("/octa/papers");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[1].name, "/octa/papers/inner");
  EXPECT_EQ(list("/octa/papers/inner").size(), 1u);
}

TEST_F(ClubDisk, UploadDownloadAndResumeKeepEveryByte) {
  ASSERT_NE(club_, nullptr);
  const std::string bytes = patterned(300000, 9);
  const std::string local = temp_.file("movie.bin");
  writeFile(local, bytes);

  // An upload interrupted at 100,000 bytes, then resumed from there.
  ASSERT_TRUE(transfer(true, local, "/octa/movie.bin", 0, 100000, 0)) << zavel_GetLastError();
  EXPECT_EQ(zavel_GetFileSize("/octa/movie.bin", club_.get()), 100000);
  ASSERT_TRUE(transfer(true, local, "/octa/movie.bin", 100000, bytes.size(), 0))
      << zavel_GetLastError();
  EXPECT_EQ(zavel_GetFileSize("/octa/movie.bin", club_.get()), 300000);

  // A download interrupted at 120,000 bytes, then resumed into the same local file.
  const std::string back = temp_.file("back.bin");
  ASSERT_TRUE(transfer(false, "/octa/movie.bin", back, 0, 120000, 1)) << zavel_GetLastError();
  EXPECT_EQ(readFile(back).size(), 120000u);
  ASSERT_TRUE(transfer(false, "/octa/movie.bin", back, 120000, bytes.size(), 0))
      << zavel_GetLastError();
  EXPECT_EQ(md5Hex(readFile(back)), md5Hex(bytes));

  // By club key too.
  const std::string again = temp_.file("again.bin");
  const std::string key = "<" + std::to_string(indexOf("/octa/movie.bin")) + ">";
  ASSERT_TRUE(transfer(false, key, again, 0, bytes.size(), 1)) << zavel_GetLastError();
  EXPECT_EQ(md5Hex(readFile(again)), md5Hex(bytes));
}

TEST_F(ClubDisk, ACopyFromAPersonalDiskLandsOnTheClubDisk) {
  ASSERT_NE(club_, nullptr);
  const std::string bytes = patterned(200000, 5);
  writeFile((server_.diskPath() / "song.mp3").string(), bytes);
  SessionPtr personal(zavel_CreateSession(server_.host().c_str(), server_.port(),
                                          DevServerFixture::kUser, DevServerFixture::kPassword,
                                          kTimeout));
  ASSERT_NE(personal, nullptr) << zavel_GetLastError();
  ASSERT_EQ(zavel_MakeFolder("/octa/music", club_.get()), 1);

  int32_t kind = 3;
  int32_t club = DevServerFixture::kClub;
  CopyTarget target{server_.host().c_str(), server_.listPort(), DevServerFixture::kUser, ""};
  TransferSpec spec{};
  const std::string source = server_.basePath() + "/song.mp3";
  spec.source = source.c_str();
  spec.destination = "/octa/music/song.mp3";
  spec.end = bytes.size();
  spec.destinationKind = &kind;
  spec.destinationExtra = &club;
  ASSERT_EQ(zavel_CopyEx(personal.get(), &target, &spec, nullptr), 1) << zavel_GetLastError();
  EXPECT_STREQ(spec.destination, "/octa/music/song.mp3");

  EXPECT_EQ(zavel_GetFileSize("/octa/music/song.mp3", club_.get()), 200000);
  const std::string back = temp_.file("song.mp3");
  ASSERT_TRUE(transfer(false, "/octa/music/song.mp3", back, 0, bytes.size(), 1))
      << zavel_GetLastError();
  EXPECT_EQ(md5Hex(readFile(back)), md5Hex(bytes));
}

}  // namespace
}  // namespace zavel::testing
