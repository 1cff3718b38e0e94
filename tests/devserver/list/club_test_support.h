// Shared steps of the club list server tests: a fixture with the club's root at hand and
// quick ways to fill the club's disk.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/devserver/test_client.h"

namespace zavel::testing {

inline constexpr int32_t kClub = DevServerFixture::kClub;
// Masks the club client sends: what the explorer lists, and where a file's bytes are.
inline constexpr uint32_t kListingMask = 0x29A04B40;
inline constexpr uint32_t kLocateMask = 0x1e4040;
inline constexpr uint32_t kSizes = 0x200 | 0x400;

class ClubTest : public ::testing::Test {
 protected:
  explicit ClubTest(DevServerFixtureOptions options = {}) : server_(options) {}
  void SetUp() override { top_ = numberOf(ok(Req("getclubinfo").i32("iclubno", kClub)), "jdidx"); }

  ParamRecord call(const ParamRecord& r) { return ask(server_.host(), server_.listPort(), r); }
  int32_t code(const ParamRecord& request) { return errorCodeOf(call(request)); }
  // A request that must succeed; its reply.
  ParamRecord ok(const ParamRecord& request) {
    const ParamRecord reply = call(request);
    EXPECT_EQ(resultOf(reply), 0) << textOf(request, "_cmd") << ": " << textOf(reply, "errormsg");
    return reply;
  }
  ParamRecord clubInfo() { return call(Req("getclubinfo").i32("iclubno", kClub)); }
  int64_t makeDir(int64_t parent, const std::string& name) {
    return numberOf(ok(Req("createdir").i64("jtidx", parent).s("sname", name)), "jidx");
  }
  // A request naming an entry (key: index) and the fields wanted (mask).
  ParamRecord masked(const char* cmd, const char* key, int64_t index, uint32_t mask) {
    return call(Req(cmd).i64(key, index).i32("ioption", static_cast<int32_t>(mask)));
  }
  ParamRecord listing(int64_t dir, uint32_t m = 0) {
    return masked("getfilelistopt", "jdidx", dir, m);
  }
  ParamRecord info(int64_t index, uint32_t m) {
    return masked("getfileinfoopt", "jfidx", index, m);
  }
  ParamRecord dirInfo(int64_t index, uint32_t m) {
    return masked("getdirinfoopt", "jdidx", index, m);
  }
  ParamRecord infoAt(const std::string& path, uint32_t mask) {
    Req r("getfileinfofrompath");
    return call(
        r.i32("iclubno", kClub).s("spath", path).i32("ioption", static_cast<int32_t>(mask)));
  }

  // The host file behind a storage path the list server hands out ("/octa/b1/...").
  std::filesystem::path hostPath(const std::string& storage_path) const {
    const std::string prefix = std::string("/") + DevServerFixture::kClubStorageUser + "/";
    EXPECT_EQ(storage_path.substr(0, prefix.size()), prefix) << storage_path;
    return server_.clubStoragePath() / storage_path.substr(prefix.size());
  }
  std::filesystem::path bytesOf(int64_t file) {
    return hostPath(textOf(info(file, kLocateMask), "spath"));
  }

  ParamRecord uploadStart(int64_t folder, const std::string& name, int64_t size, int32_t option) {
    Req r("uploadstart");
    r.s("sname", name).i64("jfsize", size).i64("jtidx", folder).i32("ioption", option);
    return call(r.s("schecksum", ""));
  }
  ParamRecord end(int64_t index, int64_t size) {
    return call(Req("uploadend").i64("jfidx", index).i64("jfsize", size).s("checksum", ""));
  }
  // A complete club file whose bytes are put in place on the host, as the file server
  // would after an upload.
  int64_t addFile(int64_t folder, const std::string& name, const std::string& bytes) {
    const ParamRecord start = uploadStart(folder, name, static_cast<int64_t>(bytes.size()), 3);
    EXPECT_EQ(numberOf(start, "itype"), 1) << name;
    writeFile(hostPath(textOf(start, "spath")), bytes);
    const int64_t index = numberOf(start, "jidx");
    EXPECT_EQ(resultOf(end(index, static_cast<int64_t>(bytes.size()))), 0) << name;
    return index;
  }

  // A file-server client signed on as the account that holds the club's bytes.
  std::unique_ptr<TestClient> storageClient() {
    auto client = std::make_unique<TestClient>(server_);
    client->signOn(DevServerFixture::kClubStorageUser);
    return client;
  }
  // Makes the storage folder an upload start asks for, as the club client does, and
  // reports it made.
  void makeStorageFolder(const ParamRecord& start) {
    const int64_t folder = numberOf(start, "jpathidx");
    if (folder == -1) return;
    const int32_t made =
        storageClient()->run(Req("createdir").s("fullpath", textOf(start, "sdir")));
    EXPECT_TRUE(made == 0 || made == 23005) << made;
    ok(Req("uploadmkdirend").i64("jpathidx", folder));
  }

  DevServerFixture server_;
  int64_t top_ = 0;  // the club's root folder
};

}  // namespace zavel::testing
