#include "cli/remote_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zavel::cli {
namespace {

TEST(RemotePath, TypedPathsResolveAgainstHomeAndNormalise) {
  const struct {
    const char* typed;
    const char* resolved;
  } cases[] = {
      {"", "/demo"},
      {"docs", "/demo/docs"},
      {"docs//a/", "/demo/docs/a"},
      {"/other//x/", "/other/x"},
      {"/", "/"},
      {"//", "/"},
      {"<12@>", "<12@>"},
      {"<12@>/new", "<12@>/new"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolveRemote(c.typed, "/demo"), c.resolved) << c.typed;
}

TEST(RemotePath, ParentAndBaseName) {
  const struct {
    const char* path;
    std::optional<std::string> parent;
    const char* base;
  } cases[] = {
      {"/a/b", "/a", "b"},  {"/a", "/", "a"},        {"/", std::nullopt, ""},
      {"/a/b/", "/a", "b"}, {"<7@>/x", "<7@>", "x"}, {"<12>", std::nullopt, "<12>"},
      {"/a//b", "/a", "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(remoteParent(c.path), c.parent) << c.path;
    EXPECT_EQ(remoteBaseName(c.path), c.base) << c.path;
  }
  EXPECT_EQ(joinRemote("/", "a"), "/a");
  EXPECT_EQ(joinRemote("/a", "b"), "/a/b");
  EXPECT_EQ(joinRemote("<7@>", "b"), "<7@>/b");
}

TEST(RemotePath, ChildOfAcceptsOnlyOneSafeNameBelowTheListedFolder) {
  const struct {
    const char* listed;
    const char* entry;
    std::optional<std::string> child;
  } cases[] = {
      {"/demo/docs", "/demo/docs/a.txt", "a.txt"},
      {"/demo/docs", "/demo/docs/사진 1.jpg", "사진 1.jpg"},
      {"/", "/a", "a"},
      {"/demo/docs", "/demo/docs", std::nullopt},     // the folder itself
      {"/demo/docs", "/demo/docs/", std::nullopt},    // no name
      {"/demo/docs", "/demo/docs/..", std::nullopt},  // climbs out
      {"/demo/docs", "/demo/docs/.", std::nullopt},
      {"/demo/docs", "/demo/docs/a/b", std::nullopt},  // two levels at once
      {"/demo/docs", "/demo/docs/../../etc", std::nullopt},
      {"/demo/docs", "/demo/docsx/a", std::nullopt},  // a sibling with a longer name
      {"/demo/docs", "/elsewhere/a", std::nullopt},
      {"/demo/docs", "a.txt", std::nullopt},  // not a path at all
  };
  for (const auto& c : cases) EXPECT_EQ(childOf(c.listed, c.entry), c.child) << c.entry;
  EXPECT_FALSE(childOf("/d", std::string("/d/a\0b", 6)).has_value());
}

TEST(RemotePath, PrintableDefusesTerminalControls) {
  EXPECT_EQ(printable("plain 사진.jpg"), "plain 사진.jpg");
  EXPECT_EQ(printable("a\x1b]0;title\x07z"), "a?]0;title?z");
  EXPECT_EQ(printable("line\nbreak\r"), "line?break?");
  EXPECT_EQ(printable("c1 \xc2\x9b"
                      "2J"),
            "c1 ?2J");  // CSI as a C1 control
  EXPECT_EQ(printable("\x7f"), "?");
}

TEST(RemotePath, ClubKeys) {
  EXPECT_EQ(clubKey(12, false), "<12>");
  EXPECT_EQ(clubKey(4294967297, true), "<4294967297@>");
  EXPECT_TRUE(isClubKey("<3@>"));
  EXPECT_FALSE(isClubKey("/octa/<3@>"));
}

}  // namespace
}  // namespace zavel::cli
