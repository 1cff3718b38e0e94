// Club uploads, copies and downloads: the list server's negotiation and index together
// with the file server that moves the bytes under the storage account.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/devserver/list/club_test_support.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kLocateMask = 0x1e4040;
constexpr uint32_t kSizes = 0x200 | 0x400;

class ClubUploads : public ClubTest {
 protected:
  using ClubTest::ClubTest;

  // Makes the storage folder an upload start asks for, as the club client does, and
  // reports it made.
  void makeStorageFolder(const ParamRecord& start) {
    const int64_t folder = numberOf(start, "jpathidx");
    if (folder == -1) return;
    TestClient octa(server_);
    octa.signOn(DevServerFixture::kClubStorageUser);
    const int32_t made = octa.run(Req("createdir").s("fullpath", textOf(start, "sdir")));
    EXPECT_TRUE(made == 0 || made == 23005) << made;
    EXPECT_EQ(resultOf(call(Req("uploadmkdirend").i64("jpathidx", folder))), 0);
  }

  ParamRecord end(int64_t index, int64_t size) {
    return call(Req("uploadend").i64("jfidx", index).i64("jfsize", size).s("checksum", ""));
  }
};

TEST_F(ClubUploads, UploadStartAnswersTheKindsTheNegotiationExpects) {
  const int64_t top = root();
  // The first file of a fresh club disk needs a storage folder that the client makes.
  const ParamRecord first = uploadStart(top, "first.bin", 10, 3);
  ASSERT_EQ(resultOf(first), 0);
  EXPECT_EQ(numberOf(first, "itype"), 1);
  ASSERT_GT(numberOf(first, "jpathidx"), 0);
  EXPECT_EQ(textOf(first, "sdir"), "/octa/b" + std::to_string(numberOf(first, "jpathidx")));
  EXPECT_EQ(textOf(first, "spath"),
            textOf(first, "sdir") + "/" + std::to_string(numberOf(first, "jidx")));
  EXPECT_EQ(textOf(first, "seip"), server_.host());
  EXPECT_EQ(textOf(first, "siip"), server_.host());
  EXPECT_GT(numberOf(first, "inotifytime"), 0);
  EXPECT_EQ(code(Req("uploadmkdirend").i64("jpathidx", numberOf(first, "jpathidx"))), 23006)
      << "a folder reported made before it exists";
  makeStorageFolder(first);
  const ParamRecord second = uploadStart(top, "second.bin", 10, 3);
  EXPECT_EQ(numberOf(second, "jpathidx"), -1);
  EXPECT_EQ(textOf(second, "sdir"), "");

  const int64_t have = addFile(top, "have.bin", patternBytes(100));
  const std::string have_path = textOf(info(have, kLocateMask), "spath");
  makeDir(top, "dir");
  struct Case {
    const char* name;
    int64_t size;
    int32_t option;
    int32_t kind;  // -1: refused with code
    int64_t index;
    std::string path;
    int32_t code = 0;
  } cases[] = {
      {"have.bin", 120, 3, 6, 0, ""},
      {"have.bin", 120, 2, 3, have, have_path},
      {"have.bin", 120, 1, 4, have, have_path},
      {"dir", 5, 3, 2, 0, ""},
      {"dir", 5, 2, 2, 0, ""},
      {"dir", 5, 1, 2, 0, ""},
      {"x.bin", 5, 0, -1, 0, "", 24001},
      {"x.bin", 5, 4, -1, 0, "", 24001},
      {"x.bin", -1, 3, -1, 0, "", 24001},
      {"x.bin", int64_t{2} << 30, 3, -1, 0, "", 23007},
  };
  for (const Case& c : cases) {
    const ParamRecord reply = uploadStart(top, c.name, c.size, c.option);
    const std::string what = std::string(c.name) + " option " + std::to_string(c.option);
    if (c.kind < 0) {
      EXPECT_EQ(errorCodeOf(reply), c.code) << what;
      continue;
    }
    ASSERT_EQ(resultOf(reply), 0) << what;
    EXPECT_EQ(numberOf(reply, "itype"), c.kind) << what;
    EXPECT_EQ(numberOf(reply, "jidx"), c.index) << what;
    EXPECT_EQ(textOf(reply, "spath"), c.path) << what;
  }
  EXPECT_EQ(errorCodeOf(infoAt("/x.bin", 0)), 23006) << "a refused start makes nothing";
  EXPECT_EQ(errorCodeOf(uploadStart(have, "in-a-file", 1, 3)), 23008);
  EXPECT_EQ(errorCodeOf(uploadStart(have + 999, "nowhere", 1, 3)), 23006);
}

TEST_F(ClubUploads, AnInterruptedUploadResumesThroughTheFileServerAndDownloadsIntact) {
  const int64_t top = root();
  const std::string bytes = patternBytes(300000, 7);
  const ParamRecord start = uploadStart(top, "movie.bin", 300000, 3);
  ASSERT_EQ(numberOf(start, "itype"), 1);
  makeStorageFolder(start);
  const int64_t index = numberOf(start, "jidx");
  const std::string path = textOf(start, "spath");
  {
    TestClient octa(server_);
    octa.signOn(DevServerFixture::kClubStorageUser);
    ASSERT_EQ(upload(octa, path, 0, bytes.substr(0, 100000)).final, 0);
  }
  // A report ahead of the stored bytes does not make the file look longer than it is.
  EXPECT_EQ(resultOf(call(Req("uploadnotify").i64("jfidx", index).i64("jfsize", 250000))), 0);
  EXPECT_EQ(numberOf(infoAt("/movie.bin", kSizes), "jsize"), 100000);
  EXPECT_EQ(numberOf(infoAt("/movie.bin", kSizes), "jtsize"), 300000);
  EXPECT_EQ(resultOf(call(Req("uploadnotify").i64("jfidx", index).i64("jfsize", 90000))), 0);
  EXPECT_EQ(numberOf(infoAt("/movie.bin", kSizes), "jsize"), 90000);

  // The client went away without "uploadend"; it comes back to continue the same file.
  ASSERT_EQ(numberOf(uploadStart(top, "movie.bin", 300000, 3), "itype"), 6);
  const ParamRecord resume = uploadStart(top, "movie.bin", 300000, 2);
  ASSERT_EQ(numberOf(resume, "itype"), 3);
  EXPECT_EQ(numberOf(resume, "jidx"), index);
  EXPECT_EQ(textOf(resume, "spath"), path);
  EXPECT_EQ(numberOf(resume, "jpathidx"), -1);
  const int64_t from = numberOf(infoAt("/movie.bin", kSizes), "jsize");
  ASSERT_EQ(from, 100000) << "a resumed upload starts from the bytes really stored";
  {
    TestClient octa(server_);
    octa.signOn(DevServerFixture::kClubStorageUser);
    ASSERT_EQ(upload(octa, path, from, bytes.substr(from)).final, 0);
  }
  ASSERT_EQ(resultOf(end(index, 300000)), 0);
  EXPECT_EQ(numberOf(infoAt("/movie.bin", kSizes), "jsize"), 300000);
  EXPECT_EQ(code(Req("uploadnotify").i64("jfidx", index).i64("jfsize", 1)), 24004)
      << "no upload is running any more";

  // A download finds the bytes where the list server says they are.
  const ParamRecord where = infoAt("/movie.bin", kLocateMask);
  ASSERT_EQ(textOf(where, "seip"), server_.host());
  TestClient reader(server_);
  reader.signOn(textOf(where, "suserid").c_str());
  EXPECT_EQ(sha256(download(reader, textOf(where, "spath"), 0, 300000).data), sha256(bytes));
}

TEST_F(ClubUploads, AnUploadEndedWithANegativeSizeLeavesNoNewFileBehind) {
  const int64_t top = root();
  const int64_t kept = addFile(top, "kept.bin", patternBytes(50, 3));
  const fs::path kept_bytes = hostPath(textOf(info(kept, kLocateMask), "spath"));
  for (int64_t size : {-1, -2, -3}) {
    const ParamRecord fresh = uploadStart(top, "fresh.bin", 100, 3);
    ASSERT_EQ(numberOf(fresh, "itype"), 1);
    const fs::path fresh_bytes = hostPath(textOf(fresh, "spath"));
    writeFile(fresh_bytes, "partial");
    ASSERT_EQ(resultOf(end(numberOf(fresh, "jidx"), size)), 0) << size;
    EXPECT_EQ(errorCodeOf(info(numberOf(fresh, "jidx"), 0)), 23006) << size;
    EXPECT_EQ(errorCodeOf(infoAt("/fresh.bin", 0)), 23006) << size;
    EXPECT_FALSE(fs::exists(fresh_bytes)) << size;

    // A file that was complete before stays as it was.
    const ParamRecord replace = uploadStart(top, "kept.bin", 10, 1);
    ASSERT_EQ(numberOf(replace, "itype"), 4);
    ASSERT_EQ(resultOf(end(kept, size)), 0) << size;
    EXPECT_EQ(numberOf(info(kept, kSizes), "jsize"), 50) << size;
    EXPECT_EQ(readFile(kept_bytes), patternBytes(50, 3)) << size;
    EXPECT_EQ(code(Req("uploadnotify").i64("jfidx", kept).i64("jfsize", 1)), 24004);
  }
  EXPECT_EQ(numberOf(clubInfo(), "jfilenum"), 1);
}

TEST_F(ClubUploads, UploadEndTakesTheSizeOfWhatWasReallyStored) {
  const int64_t top = root();
  const ParamRecord start = uploadStart(top, "short.bin", 1000, 3);
  writeFile(hostPath(textOf(start, "spath")), patternBytes(600));
  ASSERT_EQ(resultOf(end(numberOf(start, "jidx"), 1000)), 0);
  EXPECT_EQ(numberOf(infoAt("/short.bin", kSizes), "jsize"), 600);
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), 600);
}

class LargeClubFiles : public ClubUploads {
 protected:
  LargeClubFiles() : ClubUploads(DevServerFixtureOptions{.club_quota_mb = 8192}) {}
};

TEST_F(LargeClubFiles, SizesAndIndexesBeyondThirtyTwoBitsKeepEveryBit) {
  const int64_t top = root();
  constexpr int64_t kSize = 3000000000;
  const ParamRecord start = uploadStart(top, "big.iso", kSize, 3);
  ASSERT_EQ(resultOf(start), 0);
  const int64_t index = numberOf(start, "jidx");
  EXPECT_GT(index, int64_t{1} << 32);
  // A sparse file stands in for three gigabytes of uploaded bytes.
  const fs::path bytes = hostPath(textOf(start, "spath"));
  writeFile(bytes, "");
  ASSERT_EQ(::truncate(bytes.c_str(), kSize), 0);
  ASSERT_EQ(resultOf(end(index, kSize)), 0);

  const ParamRecord reply = info(index, kSizes);
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  ASSERT_TRUE(reply.find("jsize", &data, &length, &type));
  EXPECT_EQ(type, kTypeInt64);
  EXPECT_EQ(numberOf(reply, "jsize"), kSize);
  EXPECT_EQ(numberOf(reply, "jtsize"), kSize);
  const ParamRecord listed = listing(top);
  EXPECT_EQ(numberOf(listed, "jsize1"), kSize);
  EXPECT_EQ(numberOf(listed, "jidx1"), index);
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), kSize);
  // Clients that still read 32 bits see the low half, as before.
  int32_t low = 0;
  ASSERT_TRUE(reply.getInt32("jsize", &low));
  EXPECT_EQ(low, static_cast<int32_t>(static_cast<uint32_t>(kSize)));
}

TEST_F(ClubUploads, CopyFileCopiesTheBytesAndMindsNamesAndKinds) {
  const int64_t top = root();
  const int64_t from = makeDir(top, "from");
  const int64_t to = makeDir(top, "to");
  const std::string bytes = patternBytes(70000, 9);
  const int64_t source = addFile(from, "f.bin", bytes);
  call(Req("setfiledescription").i64("jfidx", source).s("sdes", "원본"));

  ParamRecord copy = call(Req("copyfile").i64("jfidx", source).i64("jtidx", to).i32("ioption", 0));
  ASSERT_EQ(resultOf(copy), 0);
  const int64_t first = numberOf(copy, "jidx");
  EXPECT_NE(first, source);
  EXPECT_EQ(readFile(hostPath(textOf(infoAt("/to/f.bin", kLocateMask), "spath"))), bytes);
  ParamRecord listed = listing(to);
  EXPECT_EQ(numberOf(listed, "icopy1"), 1);
  EXPECT_EQ(textOf(listed, "sdes1"), "원본");

  EXPECT_EQ(code(Req("copyfile").i64("jfidx", source).i64("jtidx", to).i32("ioption", 0)), 23005);
  copy = call(Req("copyfile").i64("jfidx", source).i64("jtidx", to).i32("ioption", 1));
  ASSERT_EQ(resultOf(copy), 0);
  const int64_t second = numberOf(copy, "jidx");
  EXPECT_EQ(errorCodeOf(info(first, 0)), 23006) << "the replaced copy is gone";
  EXPECT_EQ(numberOf(infoAt("/to/f.bin", 0), "jidx"), second);
  // Copying a file onto itself changes nothing.
  copy = call(Req("copyfile").i64("jfidx", source).i64("jtidx", from).i32("ioption", 1));
  EXPECT_EQ(numberOf(copy, "jidx"), source);
  EXPECT_EQ(readFile(hostPath(textOf(info(source, kLocateMask), "spath"))), bytes);

  EXPECT_EQ(code(Req("copyfile").i64("jfidx", from).i64("jtidx", to)), 23001);
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", source).i64("jtidx", source)), 23008);
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), 2 * 70000);
}

class SmallClub : public ClubUploads {
 protected:
  SmallClub() : ClubUploads(DevServerFixtureOptions{.club_quota_mb = 1}) {}
};

TEST_F(SmallClub, NothingGrowsTheClubBeyondItsQuota) {
  const int64_t top = root();
  const int64_t dir = makeDir(top, "dir");
  const int64_t file = addFile(top, "f.bin", patternBytes(700 * 1024));
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", file).i64("jtidx", dir)), 23007);
  EXPECT_EQ(errorCodeOf(uploadStart(dir, "g.bin", 400 * 1024, 3)), 23007);
  // A running upload holds the space it announced.
  const ParamRecord small = uploadStart(dir, "h.bin", 300 * 1024, 3);
  ASSERT_EQ(resultOf(small), 0);
  EXPECT_EQ(errorCodeOf(uploadStart(dir, "i.bin", 100 * 1024, 3)), 23007);
  ASSERT_EQ(resultOf(end(numberOf(small, "jidx"), -2)), 0);
  EXPECT_EQ(resultOf(uploadStart(dir, "i.bin", 100 * 1024, 3)), 0);
}

TEST_F(ClubUploads, ACopyFromAPersonalDiskLandsOnTheClubDisk) {
  const std::string bytes = patternBytes(200000, 11);
  writeFile(server_.diskPath() / "song.mp3", bytes);
  const int64_t top = root();
  const int64_t music = makeDir(top, "music");
  const ParamRecord start = uploadStart(music, "song.mp3", 200000, 2);
  ASSERT_EQ(numberOf(start, "itype"), 1);
  makeStorageFolder(start);

  TestClient personal(server_);
  personal.signOn();
  ASSERT_EQ(personal.run(Req("copyex")
                             .s("ip", textOf(start, "seip"))
                             .i32("port", server_.port())
                             .s("id", DevServerFixture::kClubStorageUser)
                             .s("pass", "")
                             .s("srcpath", "/tester/song.mp3")
                             .s("destpath", textOf(start, "spath"))
                             .u64("startpos", 0)
                             .u64("endpos", 200000)
                             .i32("istrunc", 0)
                             .i32("version", 2)),
            0);
  ASSERT_EQ(copyPositions(personal, 200000).back(), 200000u);
  ASSERT_EQ(errorOf(personal.receive()), 0);
  ASSERT_EQ(resultOf(end(numberOf(start, "jidx"), 200000)), 0);

  EXPECT_EQ(numberOf(infoAt("/music/song.mp3", kSizes), "jsize"), 200000);
  const ParamRecord where = infoAt("/music/song.mp3", kLocateMask);
  TestClient reader(server_);
  reader.signOn(textOf(where, "suserid").c_str());
  EXPECT_EQ(sha256(download(reader, textOf(where, "spath"), 0, 200000).data), sha256(bytes));
}

TEST(ClubFileServer, CanListenWhereClubTransfersLookForIt) {
  DevServerFixture server(DevServerFixtureOptions{.club_file_port = true});
  EXPECT_EQ(server.port(), devserver::kFileServerPort);
  EXPECT_NE(server.host(), "127.0.0.1") << "a loopback address of its own";
  const ParamRecord club = listCall(server, Req("getclubinfo").i32("iclubno", kClub));
  ASSERT_EQ(resultOf(club), 0);
  const ParamRecord start = listCall(server, Req("uploadstart")
                                                 .s("sname", "f.bin")
                                                 .i64("jfsize", 3)
                                                 .i64("jtidx", numberOf(club, "jdidx"))
                                                 .i32("ioption", 3));
  ASSERT_EQ(textOf(start, "seip"), server.host());
  TestClient octa(textOf(start, "seip"), devserver::kFileServerPort);
  EXPECT_EQ(octa.run(Req("setuser").s("id", DevServerFixture::kClubStorageUser)), 0);
}

}  // namespace
}  // namespace zavel::testing
