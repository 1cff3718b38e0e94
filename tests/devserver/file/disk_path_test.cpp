#include "devserver/file/disk_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "api/error_state.h"
#include "devserver/file/fs_ops.h"
#include "tests/devserver/test_client.h"

namespace zavel::devserver {
namespace {

using Parts = std::vector<std::string>;

TEST(SplitClientPath, AcceptsPathsOnTheDiskAndRefusesEverythingThatLeavesIt) {
  const std::string long_name(kMaxNameBytes, 'n');
  struct Case {
    std::string path;
    int32_t status;
    Parts parts;
  } cases[] = {
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
  for (const Case& c : cases) {
    Parts parts{"stale"};
    EXPECT_EQ(splitClientPath(c.path, "/tester", &parts), c.status) << c.path;
    EXPECT_EQ(parts, c.parts) << c.path;
  }
}

TEST(DisplayPath, JoinsTheBasePathAndNames) {
  EXPECT_EQ(displayPath("/tester", {}), "/tester");
  EXPECT_EQ(displayPath("/tester", {"사진", "바다 1.jpg"}), "/tester/사진/바다 1.jpg");
}

class ResolveBeneath : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zavel-resolve-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    top_ = pattern;
    root_ = top_ / "root";
    std::filesystem::create_directories(root_ / "sub" / "inner");
    testing::writeFile(root_ / "file", "in");
    testing::writeFile(top_ / "outside", "secret");
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
  void TearDown() override { std::filesystem::remove_all(top_); }

  std::filesystem::path top_, root_;
  UniqueFd fd_;
};

TEST_F(ResolveBeneath, FollowsLinksOnlyWhileTheyStayInside) {
  struct Case {
    Parts path;
    bool follow;
    int err;
    Parts resolved;
    bool exists;
  } cases[] = {
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
  for (const Case& c : cases) {
    Resolved r;
    const int err = resolveBeneath(fd_.get(), c.path, c.follow, &r);
    const std::string what = displayPath("", c.path);
    EXPECT_EQ(err, c.err) << what;
    if (err != 0) continue;
    EXPECT_EQ(r.parts, c.resolved) << what;
    EXPECT_EQ(r.exists, c.exists) << what;
    EXPECT_EQ(r.leaf, c.resolved.empty() ? "" : c.resolved.back()) << what;
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
  struct Case {
    const char* target;
    Parts folder;
    bool inside;
  } cases[] = {
      {"file", {}, true},         {"sub/../file", {}, true},
      {"../file", {"sub"}, true}, {"../file", {}, false},
      {"/etc/passwd", {}, false}, {"a/../../b", {}, false},
      {"../../x", {"a"}, false},  {"", {}, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(linkTargetStaysInside(c.target, c.folder), c.inside) << c.target;
}

TEST(DateText, ShowsHoursUpToTwelveAsAmAndLaterOnesAsPmLessTwelve) {
  struct Case {
    int hour, minute;
    const char* text;
  } cases[] = {{0, 5, "2004-12-13 AM 00:05"},
               {12, 30, "2004-12-13 AM 12:30"},
               {13, 5, "2004-12-13 PM 01:05"},
               {15, 30, "2004-12-13 PM 03:30"},
               {23, 59, "2004-12-13 PM 11:59"}};
  for (const Case& c : cases) {
    struct tm t {};
    t.tm_year = 104;
    t.tm_mon = 11;
    t.tm_mday = 13;
    t.tm_hour = c.hour;
    t.tm_min = c.minute;
    EXPECT_EQ(dateText(t), c.text);
  }
}

}  // namespace
}  // namespace zavel::devserver
