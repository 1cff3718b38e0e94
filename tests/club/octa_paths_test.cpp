#include "club/octa_paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zavel::club_path {
namespace {

constexpr std::nullopt_t kNo = std::nullopt;

TEST(ClubPaths, NormalizeKeepsOnePathPerEntry) {
  // Only a leading root component is the root.
  // clang-format off
  const struct { const char* path; std::optional<std::string> normalized; } cases[] = {
      {"/octa", "/"},     {"/octa/", "/"}, {"/octa/a//b/", "/a/b"}, {"/a///b", "/a/b"},
      {"/", "/"},         {"//", "/"},     {"<12>", "<12>"},        {"<77@>/x/", "<77@>/x"},
      {"/octa//", "/"},   {"<12>/", "<12>"}, {"abc", kNo},          {"", kNo},
      {"/octave/x", "/octave/x"},          {"/photos/octa/x", "/photos/octa/x"}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(normalize(c.path), c.normalized) << c.path;
}

TEST(ClubPaths, SplitTakesOffTheLastName) {
  // parts: parent, name and whether the parent is an index
  // clang-format off
  const struct { const char* path; bool name_required; std::optional<std::string> parts; }
  cases[] = {
      {"/a", false, "/ a 0"},     {"/a/b", true, "/a b 0"}, {"<77@>/x", true, "<77@> x 1"},
      {"<12>", false, "<12>  1"}, {"<12>", true, kNo},      {"/", false, "/  0"},
      {"/", true, kNo},           {"/a/", false, "/ a 0"},  {"abc", false, kNo},
      {"<77@>/", false, kNo},     {"", false, kNo}};
  // clang-format on
  for (const auto& c : cases) {
    const auto s = split(c.path, c.name_required);
    EXPECT_EQ(
        s ? std::optional(s->parent + " " + s->name + " " + (s->index_parent ? "1" : "0")) : kNo,
        c.parts)
        << c.path;
  }
}

TEST(ClubPaths, ParseIndexReadsTheNumberAndTheFolderMark) {
  // clang-format off
  const struct { const char* text; int64_t index; bool is_file; } cases[] = {
      {"<0>", 0, true},    {"<77@>", 77, false}, {"<12>", 12, true}, {"<0@>", 0, false},
      {"<12x>", 12, true}, {"<>", 0, true},      {"<-5>", 0, true}, {"<4294967297>", 4294967297, 1},
      {"12", 12, true},    {"<99999999999999999999>", 0, true},
      {"<9223372036854775807>", INT64_MAX, true}, {"<9223372036854775808>", 0, true}};
  // clang-format on
  for (const auto& c : cases) {
    bool is_file = true;
    EXPECT_EQ(parseIndex(c.text, &is_file), c.index) << c.text;
    EXPECT_EQ(is_file, c.is_file) << c.text;
    EXPECT_EQ(parseIndex(c.text, nullptr), c.index) << c.text;  // the mark is optional
  }
}

TEST(ClubPaths, TimeTextsConvertBothWaysWithoutTimeZone) {
  // Both ends of 32 bits, leap days, the first and last day of each side of February, each
  // field one past its range, a letter.
  // clang-format off
  const struct { const char* text; std::optional<int32_t> seconds; } cases[] = {
      {"19700101000000", 0},         {"19700102000000", 86400},     {"20041213153005", 1102951805},
      {"20380119031407", INT32_MAX},   {"20380119031408", kNo},       {"19011213204552", INT32_MIN},
      {"19011213204551", kNo},       {"19691231235959", -1},        {"20000229000000", 951782400},
      {"20040229000000", 1078012800},{"20041231235959", 1104537599}, {"20040430000000", 1083283200},
      {"20040101000000", 1072915200}, {"20040131235959", 1075593599}, {"20040201000000",1075593600},
      {"20050228000000", 1109548800}, {"20040301000000", 1078099200}, {"21000228000000", kNo},
      {"20040431000000", kNo},       {"20050229000000", kNo},       {"20040013153005", kNo},
      {"20041313153005", kNo},       {"20041200153005", kNo},       {"20041213240000", kNo},
      {"20041213156000", kNo},       {"20041213153060", kNo},       {"2004121315300x", kNo}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(timeSeconds(c.text), c.seconds) << c.text;
    if (c.seconds) {
      EXPECT_EQ(timeText(*c.seconds), c.text);
    }
  }
  for (const char* text : {"2004121315300", "200412131530050", ""}) {
    EXPECT_EQ(timeSeconds(text), kNo) << text;
    EXPECT_EQ(displayTime(text), "") << text;
  }
  // Whole days before 1970, and beyond 32 bits, which only this direction reaches.
  EXPECT_EQ(timeText(-86400), "19691231000000");
  EXPECT_EQ(timeText(-86401), "19691230235959");
  EXPECT_EQ(timeText(4102444800), "21000101000000");
  EXPECT_EQ(timeText(4107456000), "21000228000000");
}

TEST(ClubPaths, DisplayTimeShowsTwelveHourClock) {
  // clang-format off
  const struct { const char* text; const char* shown; } cases[] = {
      {"20041213153005", "2004-12-13 PM 03:30"}, {"20041213120000", "2004-12-13 AM 12:00"},
      {"20041213000000", "2004-12-13 AM 00:00"}, {"20041213130159", "2004-12-13 PM 01:01"},
      {"20041213235959", "2004-12-13 PM 11:59"}, {"20041213010000", "2004-12-13 AM 01:00"},
      {"200412131x3005", "2004-12-13 AM 01:30"}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(displayTime(c.text), c.shown) << c.text;
}

}  // namespace
}  // namespace zavel::club_path
