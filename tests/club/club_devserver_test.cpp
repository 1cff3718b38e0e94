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

DevServerFixtureOptions onFilePort() {
  DevServerFixtureOptions options;
  options.club_file_port = true;
  return options;
}

class ClubDisk : public ::testing::Test {
 protected:
  ClubDisk() : server_(onFilePort()) {
    club_.reset(zavel_CreateOCTASession(server_.host().c_str(), server_.listPort(), kTimeout,
                                        kWriterMode, DevServerFixture::kClub, 0));
  }

  // The club record indices of a listing, the folder's own last.
  std::vector<int64_t> list(const std::string& path) {
    int32_t count = 0;
    ZavelFileInfoList* entries =
        zavel_OpenFileInfo(path.c_str(), ZAVEL_INFO_ALL, 1, &count, club_.get());
    EXPECT_NE(entries, nullptr) << path << ": " << zavel_GetLastError();
    std::vector<int64_t> out;
    for (int32_t i = 0; entries != nullptr && i < count; ++i) {
      const auto* detail =
          static_cast<const ZavelClubEntry*>(zavel_ReadFileInfo(entries, i)->detail);
      out.push_back(detail != nullptr ? detail->jidx : -1);
    }
    if (entries != nullptr) zavel_CloseFileInfo(entries);
    return out;
  }
  int64_t indexOf(const std::string& path) {
    const auto entries = list(path);
    return entries.empty() ? -1 : entries[0];
  }

  bool transfer(bool up, const std::string& from, const std::string& to, uint64_t start,
                uint64_t end, int32_t truncate) {
    TransferSpec spec = transferSpec(from.c_str(), to.c_str(), start, end, truncate);
    return (up ? zavel_Upload : zavel_Download)(club_.get(), &spec, nullptr) == 1;
  }

  DevServerFixture server_;
  SessionPtr club_;
  TempFolder temp_;
};

// Folders and files by path and by club key; an upload cut and resumed, a download by key.
TEST_F(ClubDisk, FoldersFilesAndTransfersByPathAndByClubKey) {
  ASSERT_NE(club_, nullptr);
  ZavelSession* c = club_.get();
  ASSERT_EQ(zavel_MakeFolder("/octa/docs", c), 1) << zavel_GetLastError();
  const std::string docs_key = "<" + std::to_string(indexOf("/octa/docs")) + "@>";
  ASSERT_EQ(zavel_MakeFolder((docs_key + "/inner").c_str(), c), 1) << zavel_GetLastError();

  const std::string bytes = patterned(300000, 9);
  const std::string local = temp_.file("a.bin"), back = temp_.file("back.bin");
  writeFile(local, bytes);
  ASSERT_TRUE(transfer(true, local, "/octa/docs/a.bin", 0, 100000, 0)) << zavel_GetLastError();
  EXPECT_EQ(zavel_GetFileSize("/octa/docs/a.bin", c), 100000);
  ASSERT_TRUE(transfer(true, local, "/octa/docs/a.bin", 100000, bytes.size(), 0));
  EXPECT_EQ(list("/octa/docs"), list(docs_key));
  const std::string file_key = "<" + std::to_string(indexOf("/octa/docs/a.bin")) + ">";
  ASSERT_TRUE(transfer(false, file_key, back, 0, bytes.size(), 1)) << zavel_GetLastError();
  EXPECT_EQ(md5Hex(readFile(back)), md5Hex(bytes));

  EXPECT_EQ(zavel_RenameFile(docs_key.c_str(), "/octa/papers", c), 1);
  EXPECT_EQ(zavel_MoveFile(file_key.c_str(), "/octa/papers/inner", c), 1);
  EXPECT_EQ(zavel_CopyFile("/octa/papers/inner/a.bin", docs_key.c_str(), c), 1)
      << zavel_GetLastError();
  EXPECT_EQ(zavel_GetFileSize("/octa/papers/a.bin", c), 300000);
  EXPECT_RESULT(zavel_CopyFile(docs_key.c_str(), "/octa", c), 0, 37);
  EXPECT_EQ(zavel_DeleteFile(file_key.c_str(), 0, c), 1);
  EXPECT_EQ(zavel_GetFileSize("/octa/papers/inner/a.bin", c), -1);
  EXPECT_EQ(list("/octa/papers").size(), 3u);
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
  const std::string source = server_.basePath() + "/song.mp3";
  TransferSpec spec = transferSpec(source.c_str(), "/octa/music/song.mp3", 0, bytes.size());
  spec.destinationKind = &kind;
  spec.destinationExtra = &club;
  ASSERT_EQ(zavel_CopyEx(personal.get(), &target, &spec, nullptr), 1) << zavel_GetLastError();
  const std::string back = temp_.file("song.mp3");
  ASSERT_TRUE(transfer(false, "/octa/music/song.mp3", back, 0, bytes.size(), 1))
      << zavel_GetLastError();
  EXPECT_EQ(md5Hex(readFile(back)), md5Hex(bytes));
}

}  // namespace
}  // namespace zavel::testing
