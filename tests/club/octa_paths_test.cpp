#include "club/octa_paths.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zavel::club_path {
namespace {

TEST(ClubPaths, NormalizeKeepsOnePathPerEntry) {
  // Only a leading root component is the root.
  const struct {
    const char* path;
    std::optional<std::string> normalized;
  } cases[] = {{"/octa", "/"},
               {"/octa/", "/"},
               {"/octa/a//b/", "/a/b"},
               {"/a///b", "/a/b"},
               {"/", "/"},
               {"//", "/"},
               {"<12>", "<12>"},
               {"<77@>/x/", "<77@>/x"},
               {"/octave/x", "/octave/x"},
               {"/photos/octa/x", "/photos/octa/x"},
               {"abc", std::nullopt},
               {"", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(normalize(c.path), c.normalized) << c.path;
}

TEST(ClubPaths, SplitTakesOffTheLastName) {
  const struct {
    const char* path;
    bool name_required;
    std::optional<std::string> parts;  // parent, name and whether the parent is an index
  } cases[] = {
      {"/a", false, "/ a 0"},     {"/a/b", true, "/a b 0"},     {"<77@>/x", true, "<77@> x 1"},
      {"<12>", false, "<12>  1"}, {"<12>", true, std::nullopt}, {"/", false, "/  0"},
      {"/", true, std::nullopt},  {"/a/", false, "/ a 0"},      {"abc", false, std::nullopt}};
  for (const auto& c : cases) {
    const auto s = split(c.path, c.name_required);
    EXPECT_EQ(s ? std::optional(s->parent + " " + s->name + " " + (s->index_parent ? "1" : "0"))
                : std::nullopt,
              c.parts)
        << c.path;
  }
}

TEST(ClubPaths, ParseIndexReadsTheNumberAndTheFolderMark) {
  const struct {
    const char* text;
    int64_t index;
    bool is_file;
  } cases[] = {{"<0>", 0, true},    {"<77@>", 77, false},
               {"<12>", 12, true},  {"<4294967297>", 4294967297, true},
               {"<12x>", 12, true}, {"<>", 0, true},
               {"<-5>", 0, true},   {"<99999999999999999999>", 0, true}};
  for (const auto& c : cases) {
    bool is_file = true;
    EXPECT_EQ(parseIndex(c.text, &is_file), c.index) << c.text;
    EXPECT_EQ(is_file, c.is_file) << c.text;
  }
}

TEST(ClubPaths, TimeTextsConvertBothWaysWithoutTimeZone) {
  // Refused: past 32 bits, 13 characters, month 13, 29 February 2005, a letter.
  const struct {
    const char* text;
    std::optional<int32_t> seconds;
  } cases[] = {{"19700101000000", 0},
               {"20041213153005", 1102951805},
               {"20380119031407", 2147483647},
               {"20380119031408", std::nullopt},
               {"2004121315300", std::nullopt},
               {"20041313153005", std::nullopt},
               {"20050229000000", std::nullopt},
               {"2004121315300x", std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(timeSeconds(c.text), c.seconds) << c.text;
    if (c.seconds) {
      EXPECT_EQ(timeText(*c.seconds), c.text);
    }
  }
  EXPECT_EQ(timeText(-1), "19691231235959");
}

TEST(ClubPaths, DisplayTimeShowsTwelveHourClock) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {{"20041213153005", "2004-12-13 PM 03:30"},
               {"20041213120000", "2004-12-13 AM 12:00"},
               {"20041213000000", "2004-12-13 AM 00:00"},
               {"20041213130159", "2004-12-13 PM 01:01"},
               {"2004121315300", ""},
               {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(displayTime(c.text), c.shown) << c.text;
}

}  // namespace
}  // namespace zavel::club_path
