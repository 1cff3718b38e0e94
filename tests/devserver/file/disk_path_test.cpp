#include "devserver/file/disk_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <tuple>

#include "devserver/file/fs_ops.h"
#include "session/error_state.h"
#include "tests/devserver/test_client.h"

namespace zavel::devserver {
namespace {

using Parts = std::vector<std::string>;

TEST(SplitClientPath, AcceptsPathsOnTheDiskAndRefusesEverythingThatLeavesIt) {
  const std::string long_name(kMaxNameBytes, 'n');
  const std::tuple<std::string, int32_t, Parts> cases[] = {
      {"/tester", 0, {}},
      {"", 0, {}},
      {"/tester/문서/회의 메모.txt", 0, {"문서", "회의 메모.txt"}},
      {"/tester/./a//b/", 0, {"a", "b"}},
      {"a\\b", 0, {"a", "b"}},
      {"/tester\\a", 0, {"a"}},
      {"/tester/" + long_name, 0, {long_name}},
      {"/tester/../tester/a", kErrPermission, {}},
      {"/tester/a/../../x", kErrPermission, {}},
      {"a\\..\\..\\x", kErrPermission, {}},
      {"..", kErrPermission, {}},
      {"/etc/passwd", kErrPermission, {}},
      {"/", kErrPermission, {}},
      {"\\windows", kErrPermission, {}},
      {"/tester2/a", kErrPermission, {}},
      {"/testerx", kErrPermission, {}},
      {"/tester/" + long_name + "x", kErrPermission, {}},
      {std::string("/tester/a\0b", 11), kErrPermission, {}},
      {"/tester/" + std::string(kMaxPathBytes, 'a'), kErrPermission, {}},
  };
  for (const auto& [path, status, expected] : cases) {
    Parts parts{"stale"};
    EXPECT_EQ(splitClientPath(path, "/tester", &parts), status) << path;
    EXPECT_EQ(parts, expected) << path;
  }
  // displayPath joins them back.
  EXPECT_EQ(displayPath("/tester", {}), "/tester");
  EXPECT_EQ(displayPath("/tester", {"사진", "바다 1.jpg"}), "/tester/사진/바다 1.jpg");
}

class ResolveBeneath : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = top_.path / "root";
    std::filesystem::create_directories(root_ / "sub" / "inner");
    testing::writeFile(root_ / "file", "in");
    testing::writeFile(top_.path / "outside", "secret");
    auto link = [&](const char* target, const std::filesystem::path& at) {
      std::filesystem::create_symlink(target, root_ / at);
    };
    link("sub", "in");
    link("sub/missing", "dangling");
    link("../outside", "out");
    link("/etc", "abs");
    link("loop", "loop");
    link("..", "up");
    link("sub/../../outside", "sneaky");
    link("../file", "sub/upper");
    link("../../root/file", "sub/roundabout");
    fd_.reset(::open(root_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(fd_.valid());
  }
  testing::TempDir top_;
  std::filesystem::path root_;
  UniqueFd fd_;
};

TEST_F(ResolveBeneath, FollowsLinksOnlyWhileTheyStayInside) {
  // Per path and whether its last link is followed: the error, or where it leads.
  const std::tuple<Parts, bool, int, Parts, bool> cases[] = {
      {{}, true, 0, {}, true},
      {{"in", "inner"}, true, 0, {"sub", "inner"}, true},
      {{"in"}, false, 0, {"in"}, true},
      {{"sub", "upper"}, true, 0, {"file"}, true},
      {{"dangling"}, true, 0, {"sub", "missing"}, false},
      {{"new"}, true, 0, {"new"}, false},
      {{"out"}, false, 0, {"out"}, true},  // the link itself may be named
      {{"out"}, true, EXDEV, {}, false},
      {{"abs", "passwd"}, true, EXDEV, {}, false},
      {{"up"}, true, EXDEV, {}, false},
      {{"sneaky"}, true, EXDEV, {}, false},
      {{"sub", "roundabout"}, true, EXDEV, {}, false},  // leaves, even if it would come back
      {{"loop"}, true, ELOOP, {}, false},
      {{"file", "x"}, true, ENOTDIR, {}, false},
      {{"missing", "x"}, true, ENOENT, {}, false},
  };
  for (const auto& [path, follow, error, resolved, exists] : cases) {
    SCOPED_TRACE(displayPath("", path));
    Resolved r;
    ASSERT_EQ(resolveBeneath(fd_.get(), path, follow, &r), error);
    if (error != 0) continue;
    EXPECT_EQ(std::tie(r.parts, r.exists, r.leaf),
              std::make_tuple(resolved, exists, resolved.empty() ? "" : resolved.back()));
  }
}

TEST_F(ResolveBeneath, OpenRefusesALeafSwappedForALink) {
  Resolved r;
  ASSERT_EQ(resolveBeneath(fd_.get(), {"file"}, true, &r), 0);
  std::filesystem::remove(root_ / "file");
  std::filesystem::create_symlink("../outside", root_ / "file");
  EXPECT_FALSE(r.open(O_RDONLY).valid());
  EXPECT_EQ(errno, ELOOP);
}

TEST(LinkTargetStaysInside, JudgesTheTargetFromTheLinksFolder) {
  const std::tuple<const char*, Parts, bool> cases[] = {
      {"file", {}, true},         {"sub/../file", {}, true},
      {"../file", {"sub"}, true}, {"../file", {}, false},
      {"/etc/passwd", {}, false}, {"a/../../b", {}, false},
      {"../../x", {"a"}, false},  {"", {}, false},
  };
  for (const auto& [target, folder, inside] : cases)
    EXPECT_EQ(linkTargetStaysInside(target, folder), inside) << target;
}

// Hours up to twelve read AM, later ones PM less twelve; times go out clamped to 32 bits.
TEST(DateText, ShowsTheDateAndAnAmOrPmHourAndWireTimesClampToThirtyTwoBits) {
  const std::tuple<int, int, int, int, int, const char*> cases[] = {
      {2004, 12, 13, 0, 5, "2004-12-13 AM 00:05"},   {2004, 12, 13, 12, 30, "2004-12-13 AM 12:30"},
      {2004, 12, 13, 13, 5, "2004-12-13 PM 01:05"},  {2004, 12, 13, 15, 30, "2004-12-13 PM 03:30"},
      {2004, 12, 13, 23, 59, "2004-12-13 PM 11:59"}, {1999, 1, 2, 0, 0, "1999-01-02 AM 00:00"}};
  for (const auto& [year, month, day, hour, minute, text] : cases) {
    struct tm t {};
    std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min) =
        std::tuple(year - 1900, month - 1, day, hour, minute);
    EXPECT_EQ(dateText(t), text);
  }
  constexpr int64_t kMax = INT32_MAX, kMin = INT32_MIN;
  const std::pair<int64_t, int64_t> times[] = {
      {0, 0},       {1102951805, 1102951805}, {kMax, kMax}, {kMax + 1, kMax},
      {kMin, kMin}, {kMin - 1, kMin},         {-1, -1}};
  for (const auto& [seconds, wire] : times) EXPECT_EQ(wireTime(seconds), wire) << seconds;
}

}  // namespace
}  // namespace zavel::devserver
