#include "cli/remote_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zavel::cli {
namespace {

TEST(RemotePath, TypedPathsResolveAgainstHomeAndNormalise) {
  const struct {
    const char* typed;
    const char* home;
    const char* resolved;
  } cases[] = {
      {"", "/demo", "/demo"},
      {"docs", "/demo", "/demo/docs"},
      {"docs//a/", "/demo", "/demo/docs/a"},
      {"/other//x/", "/demo", "/other/x"},
      {"/", "/demo", "/"},
      {"//", "/demo", "/"},
      {"<12@>", "/demo", "<12@>"},
      {"<12@>/new", "/demo", "<12@>/new"},
      {"docs", "/", "/docs"},  // signed on at the root
      {"", "/", "/"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolveRemote(c.typed, c.home), c.resolved) << c.typed;
}

TEST(RemotePath, ParentBaseNameAndJoin) {
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
  const struct {
    const char* folder;
    const char* joined;
  } joins[] = {{"/", "/b"}, {"/a", "/a/b"}, {"/a/", "/a/b"}, {"<7@>", "<7@>/b"}, {"", "/b"}};
  for (const auto& j : joins) EXPECT_EQ(joinRemote(j.folder, "b"), j.joined) << j.folder;
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
      {"", "/a", "a"},
      {"/demo/docs", "/demo/docs", std::nullopt},     // the folder itself
      {"/demo/docs", "/demo/docs/", std::nullopt},    // no name
      {"/demo/docs", "/demo/docs/..", std::nullopt},  // climbs out
      {"/demo/docs", "/demo/docs/.", std::nullopt},
      {"/demo/docs", "/demo/docs/a/b", std::nullopt},  // two levels at once
      {"/demo/docs", "/demo/docs/../../etc", std::nullopt},
      {"/demo/docs", "/demo/docsx/a", std::nullopt},  // a sibling with a longer name
      {"/demo/docs", "/elsewhere/a", std::nullopt},
      {"/demo/docs", "a.txt", std::nullopt},  // not a path at all
      {"/demo/docs", "", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(childOf(c.listed, c.entry), c.child) << c.entry;
  EXPECT_FALSE(childOf("/d", std::string("/d/a\0b", 6)).has_value());
}

TEST(RemotePath, PrintableDefusesTerminalControls) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"plain 사진.jpg", "plain 사진.jpg"},
      {"a\x1b]0;title\x07z", "a?]0;title?z"},
      {"line\nbreak\r", "line?break?"},
      {std::string("c1 \xc2\x9b") + "2J", "c1 ?2J"},  // CSI as a C1 control
      {"\x7f", "?"},
      {"", ""},
      {"\xc2\xa0 and a cut \xc2", "\xc2\xa0 and a cut \xc2"},  // no C1 control: left alone
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.text), c.shown) << c.text;
}

TEST(RemotePath, ClubKeys) {
  EXPECT_EQ(clubKey(12, false), "<12>");
  EXPECT_EQ(clubKey(4294967297, true), "<4294967297@>");
  EXPECT_TRUE(isClubKey("<3@>"));
  EXPECT_FALSE(isClubKey("/octa/<3@>"));
  EXPECT_FALSE(isClubKey(""));
}

}  // namespace
}  // namespace zavel::cli
