// Club uploads, copies and downloads: the list server's negotiation and index together
// with the file server that moves the bytes under the storage account.
#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/devserver/list/club_test_support.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

class ClubUploads : public ClubTest {
 protected:
  using ClubTest::ClubTest;

  int64_t sizeAt(const std::string& path, const char* field = "jsize") {
    return numberOf(infoAt(path, kSizes), field);
  }
  ParamRecord notify(int64_t index, int64_t size) {
    return call(Req("uploadnotify").i64("jfidx", index).i64("jfsize", size));
  }
};

TEST_F(ClubUploads, UploadStartAnswersTheKindsTheNegotiationExpects) {
  // The first file of a fresh club disk needs a storage folder that the client makes.
  const ParamRecord first = uploadStart(top_, "first.bin", 10, 3);
  ASSERT_EQ(resultOf(first), 0);
  const int64_t folder = numberOf(first, "jpathidx");
  ASSERT_GT(folder, 0);
  const std::string dir = "/octa/b" + std::to_string(folder);
  expectFields(first, {{"itype", 1},
                       {"sdir", dir},
                       {"spath", dir + "/" + std::to_string(numberOf(first, "jidx"))},
                       {"seip", server_.host()},
                       {"siip", server_.host()}});
  EXPECT_GT(numberOf(first, "inotifytime"), 0);
  EXPECT_EQ(code(Req("uploadmkdirend").i64("jpathidx", folder)), 23006)
      << "a folder reported made before it exists";
  makeStorageFolder(first);
  expectFields(uploadStart(top_, "second.bin", 10, 3), {{"jpathidx", -1}, {"sdir", ""}});

  const int64_t have = addFile(top_, "have.bin", patternBytes(100));
  const std::string have_path = textOf(info(have, kLocateMask), "spath");
  makeDir(top_, "dir");
  // Per name, size and option: the kind of answer (-1: refused with code), index and path.
  using Row = std::tuple<const char*, int64_t, int32_t, int32_t, int64_t, std::string, int32_t>;
  const Row cases[] = {
      {"have.bin", 120, 3, 6, 0, "", 0},
      {"have.bin", 120, 2, 3, have, have_path, 0},
      {"have.bin", 120, 1, 4, have, have_path, 0},
      {"dir", 5, 3, 2, 0, "", 0},
      {"dir", 5, 2, 2, 0, "", 0},
      {"dir", 5, 1, 2, 0, "", 0},
      {"x.bin", 5, 0, -1, 0, "", 24001},
      {"x.bin", 5, 4, -1, 0, "", 24001},
      {"x.bin", -1, 3, -1, 0, "", 24001},
      {"x.bin", int64_t{2} << 30, 3, -1, 0, "", 23007},
      {"x.bin", int64_t{1} << 62, 3, -1, 0, "", 23007},
  };
  for (const auto& [name, size, option, kind, index, path, error] : cases) {
    SCOPED_TRACE(std::string(name) + " option " + std::to_string(option));
    const ParamRecord reply = uploadStart(top_, name, size, option);
    EXPECT_EQ(resultOf(reply), kind < 0 ? 1 : 0);
    EXPECT_EQ(errorCodeOf(reply), kind < 0 ? error : 0);
    if (kind >= 0) expectFields(reply, {{"itype", kind}, {"jidx", index}, {"spath", path}});
  }
  EXPECT_EQ(errorCodeOf(infoAt("/x.bin", 0)), 23006) << "a refused start makes nothing";
  EXPECT_EQ(errorCodeOf(uploadStart(have, "in-a-file", 1, 3)), 23008);
  EXPECT_EQ(errorCodeOf(uploadStart(have + 999, "nowhere", 1, 3)), 23006);
}

// The bytes of an upload are put on the host as the file server would store them.
TEST_F(ClubUploads, AnInterruptedUploadResumesFromTheBytesReallyStored) {
  const ParamRecord start = uploadStart(top_, "movie.bin", 300000, 3);
  makeStorageFolder(start);
  const int64_t index = numberOf(start, "jidx");
  const std::string path = textOf(start, "spath");
  writeFile(hostPath(path), patternBytes(100000));
  // A report ahead of the stored bytes does not make the file look longer than it is.
  EXPECT_EQ(resultOf(notify(index, 250000)), 0);
  EXPECT_EQ(sizeAt("/movie.bin"), 100000);
  EXPECT_EQ(sizeAt("/movie.bin", "jtsize"), 300000);
  EXPECT_EQ(resultOf(notify(index, 90000)), 0);
  EXPECT_EQ(sizeAt("/movie.bin"), 90000);
  // The client went away without "uploadend"; it comes back to continue the same file.
  EXPECT_EQ(numberOf(uploadStart(top_, "movie.bin", 300000, 3), "itype"), 6);
  expectFields(uploadStart(top_, "movie.bin", 300000, 2),
               {{"itype", 3}, {"jidx", index}, {"spath", path}, {"jpathidx", -1}});
  EXPECT_EQ(sizeAt("/movie.bin"), 100000) << "a resumed upload starts from the bytes stored";
  writeFile(hostPath(path), patternBytes(300000));
  ASSERT_EQ(resultOf(end(index, 300000)), 0);
  EXPECT_EQ(sizeAt("/movie.bin"), 300000);
  EXPECT_EQ(errorCodeOf(notify(index, 1)), 24004) << "no upload is running any more";
}

TEST_F(ClubUploads, UploadEndKeepsWhatWasReallyStoredAndANegativeSizeLeavesNoNewFile) {
  const ParamRecord start = uploadStart(top_, "short.bin", 1000, 3);
  writeFile(hostPath(textOf(start, "spath")), patternBytes(600));
  ASSERT_EQ(resultOf(end(numberOf(start, "jidx"), 1000)), 0);
  EXPECT_EQ(sizeAt("/short.bin"), 600);
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), 600);

  const int64_t kept = addFile(top_, "kept.bin", patternBytes(50, 3));
  const fs::path kept_bytes = bytesOf(kept);
  for (int64_t size : {-1, -2, -3}) {
    SCOPED_TRACE(size);
    const ParamRecord fresh = uploadStart(top_, "fresh.bin", 100, 3);
    ASSERT_EQ(numberOf(fresh, "itype"), 1);
    const fs::path fresh_bytes = hostPath(textOf(fresh, "spath"));
    writeFile(fresh_bytes, "partial");
    ASSERT_EQ(resultOf(end(numberOf(fresh, "jidx"), size)), 0);
    EXPECT_EQ(errorCodeOf(info(numberOf(fresh, "jidx"), 0)), 23006);
    EXPECT_EQ(errorCodeOf(infoAt("/fresh.bin", 0)), 23006);
    EXPECT_FALSE(fs::exists(fresh_bytes));
    // A file that was complete before stays as it was.
    ASSERT_EQ(numberOf(uploadStart(top_, "kept.bin", 10, 1), "itype"), 4);
    ASSERT_EQ(resultOf(end(kept, size)), 0);
    EXPECT_EQ(numberOf(info(kept, kSizes), "jsize"), 50);
    EXPECT_EQ(readFile(kept_bytes), patternBytes(50, 3));
    EXPECT_EQ(errorCodeOf(notify(kept, 1)), 24004);
  }
  EXPECT_EQ(numberOf(clubInfo(), "jfilenum"), 2);
}

class LargeClubFiles : public ClubUploads {
 protected:
  LargeClubFiles() : ClubUploads(DevServerFixtureOptions{.club_quota_mb = 8192}) {}
};

TEST_F(LargeClubFiles, SizesAndIndexesBeyondThirtyTwoBitsKeepEveryBit) {
  constexpr int64_t kSize = 3000000000;
  const ParamRecord start = uploadStart(top_, "big.iso", kSize, 3);
  ASSERT_EQ(resultOf(start), 0);
  const int64_t index = numberOf(start, "jidx");
  EXPECT_GT(index, int64_t{1} << 32);
  // A sparse file stands in for three gigabytes of uploaded bytes.
  const fs::path bytes = hostPath(textOf(start, "spath"));
  writeFile(bytes, "");
  ASSERT_EQ(::truncate(bytes.c_str(), kSize), 0);
  ASSERT_EQ(resultOf(end(index, kSize)), 0);
  const ParamRecord reply = info(index, kSizes);
  EXPECT_EQ(typeOf(reply, "jsize"), kTypeInt64);
  expectFields(reply, {{"jsize", kSize}, {"jtsize", kSize}});
  expectFields(listing(top_), {{"jsize1", kSize}, {"jidx1", index}});
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), kSize);
  // Clients that still read 32 bits see the low half, as before.
  int32_t low = 0;
  ASSERT_TRUE(reply.getInt32("jsize", &low));
  EXPECT_EQ(low, static_cast<int32_t>(static_cast<uint32_t>(kSize)));
}

TEST_F(ClubUploads, CopyFileCopiesTheBytesAndMindsNamesAndKinds) {
  const int64_t from = makeDir(top_, "from");
  const int64_t to = makeDir(top_, "to");
  const std::string bytes = patternBytes(70000, 9);
  const int64_t source = addFile(from, "f.bin", bytes);
  ok(Req("setfiledescription").i64("jfidx", source).s("sdes", "원본"));
  auto copy = [&](int64_t file, int64_t folder, int32_t option) {
    return Req("copyfile").i64("jfidx", file).i64("jtidx", folder).i32("ioption", option);
  };
  const int64_t first = numberOf(ok(copy(source, to, 0)), "jidx");
  EXPECT_NE(first, source);
  EXPECT_EQ(readFile(hostPath(textOf(infoAt("/to/f.bin", kLocateMask), "spath"))), bytes);
  expectFields(listing(to), {{"icopy1", 1}, {"sdes1", "원본"}});

  EXPECT_EQ(code(copy(source, to, 0)), 23005);
  const int64_t second = numberOf(ok(copy(source, to, 1)), "jidx");
  EXPECT_EQ(errorCodeOf(info(first, 0)), 23006) << "the replaced copy is gone";
  EXPECT_EQ(numberOf(infoAt("/to/f.bin", 0), "jidx"), second);
  // Copying a file onto itself changes nothing.
  EXPECT_EQ(numberOf(call(copy(source, from, 1)), "jidx"), source);
  EXPECT_EQ(readFile(bytesOf(source)), bytes);
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", from).i64("jtidx", to)), 23001);
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", source).i64("jtidx", source)), 23008);
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), 2 * 70000);
}

class SmallClub : public ClubUploads {
 protected:
  SmallClub() : ClubUploads(DevServerFixtureOptions{.club_quota_mb = 1}) {}
};

TEST_F(SmallClub, NothingGrowsTheClubBeyondItsQuota) {
  const int64_t dir = makeDir(top_, "dir");
  const int64_t file = addFile(top_, "f.bin", patternBytes(700 * 1024));
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", file).i64("jtidx", dir)), 23007);
  EXPECT_EQ(errorCodeOf(uploadStart(dir, "g.bin", 400 * 1024, 3)), 23007);
  // A running upload holds the space it announced.
  const ParamRecord small = uploadStart(dir, "h.bin", 300 * 1024, 3);
  ASSERT_EQ(resultOf(small), 0);
  EXPECT_EQ(errorCodeOf(uploadStart(dir, "i.bin", 100 * 1024, 3)), 23007);
  ASSERT_EQ(resultOf(end(numberOf(small, "jidx"), -2)), 0);
  EXPECT_EQ(resultOf(uploadStart(dir, "i.bin", 100 * 1024, 3)), 0);
}

}  // namespace
}  // namespace zavel::testing
