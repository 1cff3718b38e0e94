// Shared steps of the club list server tests: a fixture with the club's root at hand and
// quick ways to fill the club's disk.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/devserver/test_client.h"

namespace zavel::testing {

inline constexpr int32_t kClub = DevServerFixture::kClub;

// The names a reply carries, result fields included.
inline std::set<std::string> namesOf(const ParamRecord& reply) {
  std::set<std::string> names;
  for (const auto& [name, value] : reply.entries()) names.insert(name);
  return names;
}

class ClubTest : public ::testing::Test {
 protected:
  explicit ClubTest(DevServerFixtureOptions options = {}) : server_(options) {}

  ParamRecord call(const ParamRecord& request) { return listCall(server_, request); }

  int32_t code(const ParamRecord& request) { return errorCodeOf(call(request)); }
  ParamRecord clubInfo() { return call(Req("getclubinfo").i32("iclubno", kClub)); }
  ParamRecord listing(int64_t folder, uint32_t mask = 0) {
    return call(
        Req("getfilelistopt").i32("ioption", static_cast<int32_t>(mask)).i64("jdidx", folder));
  }
  int64_t root() {
    const ParamRecord reply = clubInfo();
    EXPECT_EQ(resultOf(reply), 0);
    return numberOf(reply, "jdidx");
  }

  int64_t makeDir(int64_t parent, const std::string& name) {
    const ParamRecord reply = call(Req("createdir").i64("jtidx", parent).s("sname", name));
    EXPECT_EQ(resultOf(reply), 0) << name << ": " << textOf(reply, "errormsg");
    return numberOf(reply, "jidx");
  }

  // The host file behind a storage path the list server hands out ("/octa/b1/...").
  std::filesystem::path hostPath(const std::string& storage_path) const {
    const std::string prefix = std::string("/") + DevServerFixture::kClubStorageUser + "/";
    EXPECT_EQ(storage_path.substr(0, prefix.size()), prefix) << storage_path;
    return server_.clubStoragePath() / storage_path.substr(prefix.size());
  }

  ParamRecord uploadStart(int64_t folder, const std::string& name, int64_t size, int32_t option) {
    return call(Req("uploadstart")
                    .s("sname", name)
                    .i64("jfsize", size)
                    .i64("jtidx", folder)
                    .i32("ioption", option)
                    .s("schecksum", ""));
  }

  // A complete club file whose bytes are put in place on the host, as the file server
  // would after an upload.
  int64_t addFile(int64_t folder, const std::string& name, const std::string& bytes) {
    const ParamRecord start = uploadStart(folder, name, static_cast<int64_t>(bytes.size()), 3);
    EXPECT_EQ(resultOf(start), 0) << name;
    EXPECT_EQ(numberOf(start, "itype"), 1) << name;
    writeFile(hostPath(textOf(start, "spath")), bytes);
    const int64_t index = numberOf(start, "jidx");
    const ParamRecord end = call(Req("uploadend")
                                     .i64("jfidx", index)
                                     .i64("jfsize", static_cast<int64_t>(bytes.size()))
                                     .s("checksum", ""));
    EXPECT_EQ(resultOf(end), 0) << name;
    return index;
  }

  ParamRecord info(int64_t index, uint32_t mask) {
    return call(
        Req("getfileinfoopt").i64("jfidx", index).i32("ioption", static_cast<int32_t>(mask)));
  }
  ParamRecord infoAt(const std::string& path, uint32_t mask) {
    return call(Req("getfileinfofrompath")
                    .i32("iclubno", kClub)
                    .s("spath", path)
                    .i32("ioption", static_cast<int32_t>(mask)));
  }

  DevServerFixture server_;
};

}  // namespace zavel::testing
