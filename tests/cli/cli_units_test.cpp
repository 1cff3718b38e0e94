// The pieces of zavel-cli without a server: units, remote paths, the progress line, conflicts
// and transfer plans.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/conflict.h"
#include "cli/human_units.h"
#include "cli/progress_line.h"
#include "cli/remote_listing.h"
#include "cli/remote_path.h"
#include "cli/transfer_plan.h"
#include "cli/transfer_runner.h"

namespace zavel::cli {
namespace {

namespace fs = std::filesystem;
using Action = Decision::Action;

TEST(HumanUnits, BytesRoundToTenthsAndCarryIntoTheNextUnit) {
  struct Case {
    uint64_t bytes;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {0, "0 B"}, {1023, "1023 B"}, {1024, "1.0 KiB"}, {1535, "1.5 KiB"},
      {1587, "1.5 KiB"},  // 1.5498 KiB
      {1588, "1.6 KiB"}, {150000, "146.5 KiB"}, {1048524, "1023.9 KiB"},
      {1048525, "1.0 MiB"},  // 1023.95 KiB would print as 1024.0 KiB
      {1048575, "1.0 MiB"}, {1073741824, "1.0 GiB"}, {5000000000ull, "4.7 GiB"},
      {UINT64_MAX, "16.0 EiB"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(humanBytes(c.bytes), c.text) << c.bytes;
}

TEST(HumanUnits, RatesAndDurations) {
  EXPECT_EQ(humanRate(0), "0 B/s");
  EXPECT_EQ(humanRate(-5), "0 B/s");
  EXPECT_EQ(humanRate(2.5 * 1048576), "2.5 MiB/s");
  EXPECT_EQ(humanRate(1e30), "16.0 EiB/s");
  struct Case {
    uint64_t seconds;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {0, "0:00"}, {59, "0:59"}, {61, "1:01"}, {3599, "59:59"},
      {3600, "1:00:00"}, {90061, "25:01:01"}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(clockDuration(c.seconds), c.text) << c.seconds;
}

TEST(HumanUnits, ARetrySaysWhereTheConnectionWasLostAndHowLongItWaits) {
  struct Case {
    uint64_t position;
    int wait_ms;
    int retry;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {48u << 20, 2000, 2, "connection lost at 48.0 MiB, retrying in 2 s (attempt 2 of 5)"},
      {0, 50, 1, "connection lost at 0 B, retrying in 0.05 s (attempt 1 of 5)"},
      {1536, 1500, 3, "connection lost at 1.5 KiB, retrying in 1.5 s (attempt 3 of 5)"},
      {1, 999, 4, "connection lost at 1 B, retrying in 0.999 s (attempt 4 of 5)"},
      {1, 100, 5, "connection lost at 1 B, retrying in 0.1 s (attempt 5 of 5)"},
      {1, 30000, 5, "connection lost at 1 B, retrying in 30 s (attempt 5 of 5)"},
      {1, 0, 1, "connection lost at 1 B, retrying in 0 s (attempt 1 of 5)"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(retryNote(c.position, c.wait_ms, c.retry, 5), c.text);
}

TEST(RemotePath, TypedPathsAreRootedAtTheDisksTopFolder) {
  struct Case {
    const char* typed;
    const char* top;
    const char* resolved;
  };
  // clang-format off
  const Case cases[] = {
      {"", "/demo", "/demo"}, {"/", "/demo", "/demo"}, {"//", "/demo", "/demo"},
      {"docs", "/demo", "/demo/docs"}, {"/docs", "/demo", "/demo/docs"},
      {"docs//a/", "/demo", "/demo/docs/a"}, {"/other//x/", "/demo", "/demo/other/x"},
      // The top folder's own path keeps its meaning; only as a whole name.
      {"/demo/docs", "/demo", "/demo/docs"}, {"/demo", "/demo", "/demo"},
      {"/demox", "/demo", "/demo/demox"}, {"demo/docs", "/demo", "/demo/demo/docs"},
      {"/자료실", "/octa", "/octa/자료실"}, {"/octa/자료실", "/octa", "/octa/자료실"},
      {"a/./b/../c", "/demo", "/demo/a/c"}, {"..", "/demo", "/demo"},
      {"/demo/../../x", "/demo", "/demo/x"},  // never above the top
      {"<12@>", "/demo", "<12@>"}, {"<12@>/new", "/demo", "<12@>/new"},
      {"docs", "/", "/docs"}, {"", "/", "/"}, {"/docs/..", "/", "/"},  // signed on at the root
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(resolveRemote(c.typed, c.top), c.resolved) << c.typed;
}

TEST(RemotePath, NamesTheExplorerRefusesAndMalformedClubKeysAreTold) {
  // clang-format off
  const std::pair<std::string, bool> names[] = {
      {"보고서 2004.txt", true}, {"a.b", true}, {"...", true}, {"", false}, {".", false},
      {"..", false}, {"back\\slash", false}, {"a:b", false}, {"a*", false}, {"a?", false},
      {"say \"hi\"", false}, {"<a>", false}, {"a|b", false}, {"tab\there", false},
      {"c1 \xc2\x9b", false}, {std::string("nul\0", 4), false},
  };
  // clang-format on
  for (const auto& [name, fine] : names) EXPECT_EQ(nameProblem(name).empty(), fine) << name;
  struct Key {
    const char* path;
    bool new_item;
    bool fine;
  };
  // clang-format off
  const Key keys[] = {
      {"<12>", false, true}, {"<12@>", false, true}, {"<12@>/", false, true},
      {"<12@>/new", true, true}, {"<12@>/new", false, false}, {"<12>/new", true, false},
      {"<12@>/a/b", true, false}, {"<abc>", false, false}, {"<>", false, false},
      {"<0@>", false, false}, {"<12", false, false}, {"<-1>", false, false},
      {"<9999999999999999999>", false, false},  // beyond 64 bits
  };
  // clang-format on
  for (const auto& k : keys)
    EXPECT_EQ(clubKeyProblem(k.path, k.new_item).empty(), k.fine) << k.path;
}

TEST(RemoteListing, ListedDatesReadAsTheServerWritesThem) {
  // The calendar time read, or nullptr for a text that is no such time.
  const std::pair<const char*, const char*> cases[] = {
      {"2004-12-13 PM 03:30", "2004-12-13 15:30:00"},
      {"2004-12-13 AM 12:05", "2004-12-13 12:05:00"},  // hours up to 12 are AM
      {"2004-01-01 AM 00:00", "2004-01-01 00:00:00"},
      {"2004-12-13 PM 11:59", "2004-12-13 23:59:00"},
      {"20041213153007", "2004-12-13 15:30:07"},  // a club's time, with seconds
      {"2004-12-13 PM 12:00", nullptr},
      {"2004-12-13 XM 03:30", nullptr},
      {"2004-13-13 AM 03:30", nullptr},
      {"2004-12-13 AM 03:60", nullptr},
      {"2004-12-13 AM 3:30", nullptr},
      {"20041213156000", nullptr},
      {"", nullptr},
  };
  for (const auto& [text, read] : cases) {
    std::tm t{};
    ASSERT_EQ(parseListedDate(text, &t), read != nullptr) << text;
    if (read == nullptr) continue;
    char shown[32] = "";
    std::strftime(shown, sizeof shown, "%Y-%m-%d %H:%M:%S", &t);
    EXPECT_STREQ(shown, read) << text;
  }
}

TEST(RemotePath, ParentBaseNameAndJoin) {
  struct Case {
    const char* path;
    std::optional<std::string> parent;
    const char* base;
  };
  // clang-format off
  const Case cases[] = {
      {"/a/b", "/a", "b"}, {"/a", "/", "a"}, {"/", std::nullopt, ""}, {"/a/b/", "/a", "b"},
      {"<7@>/x", "<7@>", "x"}, {"<12>", std::nullopt, "<12>"}, {"/a//b", "/a", "b"}};
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(remoteParent(c.path), c.parent) << c.path;
    EXPECT_EQ(remoteBaseName(c.path), c.base) << c.path;
  }
  // clang-format off
  const struct { const char* folder; const char* joined; } joins[] = {
      {"/", "/b"}, {"/a", "/a/b"}, {"/a/", "/a/b"}, {"<7@>", "<7@>/b"}, {"", "/b"}};
  // clang-format on
  for (const auto& j : joins) EXPECT_EQ(joinRemote(j.folder, "b"), j.joined) << j.folder;
}

TEST(RemotePath, ChildOfAcceptsOnlyOneSafeNameBelowTheListedFolder) {
  struct Case {
    const char* listed;
    const char* entry;
    std::optional<std::string> child;
  };
  // clang-format off
  const Case cases[] = {
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
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(childOf(c.listed, c.entry), c.child) << c.entry;
  EXPECT_FALSE(childOf("/d", std::string("/d/a\0b", 6)).has_value());
}

TEST(RemotePath, PrintableDefusesTerminalControlsAndClubKeys) {
  struct Case {
    std::string text;
    std::string shown;
  };
  // clang-format off
  const Case cases[] = {
      {"plain 사진.jpg", "plain 사진.jpg"},
      {"a\x1b]0;title\x07z", "a?]0;title?z"},
      {"line\nbreak\r", "line?break?"},
      {std::string("c1 \xc2\x9b") + "2J", "c1 ?2J"},  // CSI as a C1 control
      {"\x7f", "?"},
      {"", ""},
      {"\xc2\xa0 and a cut \xc2", "\xc2\xa0 and a cut \xc2"},  // no C1 control: left alone
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(printable(c.text), c.shown) << c.text;
  EXPECT_EQ(clubKey(12, false), "<12>");
  EXPECT_EQ(clubKey(4294967297, true), "<4294967297@>");
  EXPECT_TRUE(isClubKey("<3@>"));
  EXPECT_FALSE(isClubKey("/octa/<3@>"));
  EXPECT_FALSE(isClubKey(""));
}

// Wide characters take two columns, malformed bytes one each.
TEST(ProgressLine, FitLeftKeepsTheEndOfALongNameAndPadsToTheWidth) {
  struct Case {
    const char* text;
    size_t width;
    const char* fitted;
  };
  // clang-format off
  const Case cases[] = {
      {"abc", 3, "abc"}, {"사진", 4, "사진"}, {"사진/a.jpg", 10, "사진/a.jpg"},
      {"\xff\xfe", 2, "\xff\xfe"}, {"a.txt", 8, "a.txt   "}, {"folder/a.txt", 8, "…r/a.txt"},
      {"사진/바다.jpg", 8, "…다.jpg "},  // a wide character never gets cut in half
      {"사진/바다.jpg", 9, "…바다.jpg"},
      {"abcd", 3, "…cd"},  // one column too many
      {"", 3, "   "}, {"abc", 1, "…"}, {"abc", 0, ""},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string fitted = fitLeft(c.text, c.width);
    EXPECT_EQ(fitted, c.fitted) << c.text << " in " << c.width;
    EXPECT_EQ(displayWidth(fitted), c.width) << c.text << " in " << c.width;
  }
}

// Each line starts with its first needle, holds the others and fills the width exactly.
TEST(ProgressLine, ShowsBytesPercentSpeedAndTimeLeftInTheWidth) {
  struct Case {
    const char* prefix;
    std::string name;
    ProgressState state;
    size_t width;
    std::vector<std::string> needles;
  };
  // clang-format off
  const Case cases[] = {
      // Resumed at 1 MiB; 2 MiB more in 2 s: 1 MiB/s, 1 MiB to go.
      {"", "movie.bin", {1u << 20, 3u << 20, 4u << 20, 2000}, 100,
       {"movie.bin", "3.0 MiB / 4.0 MiB", " 75%", "1.0 MiB/s", "0:01 left"}},
      // Percent is truncated and safe at the extremes.
      {"", "f", {0, 1, 3, 10}, 120, {"f", " 33%"}},
      {"", "f", {0, 0, 0, 0}, 120, {"f", "100%  --  0:00 left"}},  // an empty file is done at once
      {"", "f", {0, UINT64_MAX / 2, UINT64_MAX, 10}, 120, {"f", " 49%"}},
      {"", "f", {0, 999, 1000, 10}, 120, {"f", " 99%"}},
      // Nothing moved yet: no speed and no guess at the time left.
      {"", "f", {0, 0, 100, 0}, 120, {"f", "--  --:-- left"}},
      // A long name is shortened to the terminal's width, the counter is not.
      {"[12/345] ", std::string(200, 'x') + "/끝.bin", {0, 512, 1024, 100}, 79,
       {"[12/345] …x", "끝.bin"}},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string line = formatProgressLine(c.prefix, c.name, c.state, c.width);
    SCOPED_TRACE(line);
    EXPECT_EQ(line.rfind(c.needles[0], 0), 0u);
    for (const std::string& n : c.needles) EXPECT_NE(line.find(n), std::string::npos) << n;
    EXPECT_EQ(displayWidth(line), c.width);
  }
  // Too narrow a terminal: the name keeps 12 columns and the line gets wider.
  EXPECT_EQ(formatProgressLine("", "abcdefghijklmnopqrstuvwxyz", {0, 0, 10, 0}, 20),
            "…pqrstuvwxyz  0 B / 10 B    0%  --  --:-- left");
}

class MeterTest : public ::testing::Test {
 protected:
  ProgressMeter meter_{[this](const std::string& s) { written_.push_back(s); },
                       [this] { return now_; }, [] { return size_t{100}; }};
  std::vector<std::string> written_;
  uint64_t now_ = 5000;
};

TEST_F(MeterTest, RedrawsAtMostTenTimesASecondAndFinishesTheLine) {
  meter_.begin("", "a.bin", 0, 1000);
  EXPECT_TRUE(written_.empty());
  for (uint32_t t = 0; t <= 1000; t += 10) {  // a report every 10 ms for a second
    now_ = 5000 + t;
    meter_.report(t, t);
  }
  EXPECT_GE(meter_.draws(), 10);
  EXPECT_LE(meter_.draws(), 11);
  meter_.finish();
  ASSERT_GE(written_.size(), 2u);
  EXPECT_EQ(written_.back(), "\n");
  const std::string& last = written_[written_.size() - 2];
  EXPECT_EQ(last.front(), '\r');
  EXPECT_NE(last.find("100%"), std::string::npos) << last;
  EXPECT_NE(last.find("\x1b[K"), std::string::npos);
}

TEST_F(MeterTest, TheLimitHoldsAcrossFilesButEveryFileEndsWithItsOwnLine) {
  for (int file = 0; file < 5; ++file) {
    meter_.begin("", "f" + std::to_string(file), 0, 10);
    meter_.report(5, 1);
    meter_.report(10, 2);
    meter_.finish();
    now_ += 1;
  }
  // Five final lines, and only the first file's first report got through in between.
  EXPECT_EQ(meter_.draws(), 6);
  int lines = 0;
  for (const std::string& w : written_) lines += w == "\n";
  EXPECT_EQ(lines, 5);
}

TEST_F(MeterTest, AClearedLineComesBackAtOnceAndCountsSpeedFromTheNewRun) {
  meter_.begin("", "a.bin", 0, 10000);
  meter_.clear();  // nothing drawn yet: nothing to take off
  EXPECT_TRUE(written_.empty());
  meter_.report(5000, 1000);
  meter_.clear();
  ASSERT_EQ(written_.size(), 2u);
  EXPECT_EQ(written_.back(), "\r\x1b[K");
  // A millisecond later, in a run that went on from 4000: 1000 bytes in a second.
  now_ += 1;
  meter_.resume(4000);
  meter_.report(5000, 1000);
  ASSERT_EQ(written_.size(), 3u);
  EXPECT_NE(written_.back().find("1000 B/s"), std::string::npos) << written_.back();
  meter_.clear();
  meter_.clear();  // the line is gone already
  EXPECT_EQ(written_.size(), 4u);
}

TEST(ProgressLine, FilesInFlightShareTheWidthAndNeverPassIt) {
  struct Case {
    std::vector<std::string> names;
    size_t width;
    std::string line;
  };
  // clang-format off
  const Case cases[] = {
      {{}, 80, ""},
      {{"a.bin", "b.bin"}, 40, "a.bin" + std::string(14, ' ') + "  b.bin"},
      {{"folder/deep/one.bin", "folder/deep/two.bin"}, 30, "…/deep/one.bin  …/deep/two.bin"},
      // Not all can have a readable share: the first ones and a count of the others.
      {{"f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8"}, 40,
       "f1" + std::string(15, ' ') + "  f2  +6"},
      {{"사진/바다.jpg", "사진/여름.jpg", "x"}, 33, "사진/바다.jpg  사진/여름.jpg  +1"},
      // Too narrow for a name and a count: the first name alone.
      {{"abcdefghijklmnop", "b", "c"}, 10, "…hijklmnop"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string line = formatInFlight(c.names, c.width);
    EXPECT_EQ(line, c.line) << c.width;
    EXPECT_LE(displayWidth(line), c.width);
  }
}

class BatchMeterTest : public ::testing::Test {
 protected:
  BatchMeter batch_{[this](const std::string& s) { written_.push_back(s); },
                    [this] { return now_; }, [] { return size_t{61}; }};
  std::vector<std::string> written_;
  uint64_t now_ = 5000;
};

TEST_F(BatchMeterTest, CountsEverySlotsBytesButSpeedOnlyFromWhatMoved) {
  batch_.begin(3, 3000);
  batch_.start(0, "a.bin", 0, 1000);
  batch_.start(1, "b.bin", 500, 1000);  // resumed: half of it is there already
  batch_.report(0, 400);
  ASSERT_EQ(written_.size(), 1u);
  EXPECT_EQ(written_.back().rfind("\r[0/3]  900 B / 2.9 KiB   30%  --  --:-- left\x1b[K\n", 0), 0u)
      << written_.back();
  EXPECT_NE(written_.back().find("\na.bin" + std::string(24, ' ') + "  b.bin\x1b[K"),
            std::string::npos);
  batch_.report(1, 600);  // within 100 ms: not drawn
  EXPECT_EQ(written_.size(), 1u);

  // A second later: a.bin done, the third file left as it is, b.bin at its end. 1500 bytes
  // moved in that second; the skipped file's and b.bin's first half were there before.
  now_ += 1000;
  batch_.done(0, true);
  batch_.skip(1000);
  batch_.report(1, 1000);
  ASSERT_EQ(written_.size(), 2u);
  EXPECT_EQ(written_.back(),
            "\x1b[1A\r[2/3]  2.9 KiB / 2.9 KiB  100%  1.5 KiB/s  0:00 left\x1b[K\nb.bin\x1b[K");

  // Taken off for a message, both lines come back at the next report, below it.
  batch_.clear();
  EXPECT_EQ(written_.back(), "\r\x1b[K\x1b[1A\x1b[K");
  batch_.report(1, 1000);
  ASSERT_EQ(written_.size(), 4u);
  EXPECT_EQ(written_.back().rfind("\r[2/3]", 0), 0u);
  batch_.done(1, true);
  batch_.finish();
  EXPECT_EQ(written_[written_.size() - 2].rfind("\x1b[1A\r[3/3]", 0), 0u);
  EXPECT_EQ(written_.back(), "\r\x1b[K");
}

TEST(Conflict, OptionsDecideByTheTargetsSize) {
  const std::optional<uint64_t> none;
  using P = ConflictPolicy;
  struct Case {
    ConflictPolicy policy;
    std::optional<uint64_t> target;
    Action action;
    uint64_t start;
  };
  // clang-format off
  const Case cases[] = {
      // No target: every policy starts from 0.
      {P::kResume, none, Action::kTransfer, 0},
      {P::kSkip, none, Action::kTransfer, 0},
      {P::kAsk, none, Action::kTransfer, 0},
      // Smaller target: resume continues after it.
      {P::kResume, 400, Action::kTransfer, 400},
      {P::kResume, 0, Action::kTransfer, 0},
      {P::kOverwrite, 400, Action::kTransfer, 0},
      {P::kSkip, 400, Action::kSkip, 0},
      // As large: nothing left to resume.
      {P::kResume, 1000, Action::kSkip, 0},
      {P::kOverwrite, 1000, Action::kTransfer, 0},
      // Larger: it is not a beginning of the source, so it cannot be resumed.
      {P::kResume, 1001, Action::kRefuse, 0},
      {P::kOverwrite, 1001, Action::kTransfer, 0},
      {P::kSkip, 1001, Action::kSkip, 0},
      // Nobody to ask: refused, never overwritten.
      {P::kAsk, 400, Action::kRefuse, 0},
      {P::kAsk, 1000, Action::kRefuse, 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.policy)) + " " +
                 std::to_string(c.target.value_or(-1)));
    const Decision d = ConflictResolver(c.policy, nullptr).decide("f", 1000, c.target);
    EXPECT_EQ(d.action, c.action);
    EXPECT_EQ(d.start, c.start);
  }
}

class ScriptedAsker : public Asker {
 public:
  explicit ScriptedAsker(std::deque<Answer> answers) : answers_(std::move(answers)) {}
  Answer ask(Question question, const std::string& name, uint64_t, uint64_t) override {
    asked.push_back({question, name});
    if (answers_.empty()) return Answer{Choice::kQuit, false};
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  std::vector<std::pair<Question, std::string>> asked;

 private:
  std::deque<Answer> answers_;
};

TEST(Conflict, AnAnswerForAllFilesCoversOnlyItsOwnQuestion) {
  ScriptedAsker asker(
      {{Choice::kOverwrite, true}, {Choice::kResume, false}, {Choice::kSkip, true}});
  ConflictResolver resolver(ConflictPolicy::kAsk, &asker);

  EXPECT_EQ(resolver.decide("big1", 100, 100).action, Action::kTransfer);  // asked: overwrite all
  const Decision again = resolver.decide("big2", 100, 300);                // not asked
  EXPECT_EQ(again.action, Action::kTransfer);
  EXPECT_EQ(again.start, 0u);
  const Decision small = resolver.decide("small1", 100, 40);  // the other question: asked
  EXPECT_EQ(small.action, Action::kTransfer);
  EXPECT_EQ(small.start, 40u);
  EXPECT_EQ(resolver.decide("small2", 100, 50).action, Action::kSkip);  // asked: skip all
  EXPECT_EQ(resolver.decide("small3", 100, 60).action, Action::kSkip);  // not asked
  EXPECT_EQ(resolver.decide("new", 100, std::nullopt).action, Action::kTransfer);

  ASSERT_EQ(asker.asked.size(), 3u);
  EXPECT_EQ(asker.asked[0], std::make_pair(Question::kOverwrite, std::string("big1")));
  EXPECT_EQ(asker.asked[1], std::make_pair(Question::kResume, std::string("small1")));
  EXPECT_EQ(asker.asked[2], std::make_pair(Question::kResume, std::string("small2")));
}

TEST(Conflict, QuitStopsAndIsNeverRememberedAndResumeIsNoAnswerToOverwrite) {
  ScriptedAsker asker({{Choice::kQuit, true}, {Choice::kOverwrite, false}});
  ConflictResolver resolver(ConflictPolicy::kAsk, &asker);
  EXPECT_EQ(resolver.decide("a", 10, 10).action, Action::kQuit);
  EXPECT_EQ(resolver.decide("b", 10, 10).action, Action::kTransfer);
  EXPECT_EQ(asker.asked.size(), 2u);
  // A target as large as the source cannot be continued; an answer that tries stops.
  ScriptedAsker resume({{Choice::kResume, true}});
  EXPECT_EQ(ConflictResolver(ConflictPolicy::kAsk, &resume).decide("a", 10, 20).action,
            Action::kQuit);
}

RemoteEntry folder(const std::string& name) {
  return RemoteEntry{name, 0, true, "d", std::nullopt};
}
RemoteEntry file(const std::string& name, int64_t size) {
  return RemoteEntry{name, size, false, "d", std::nullopt};
}
RemoteEntry club(const std::string& name, int64_t index, bool is_folder, const std::string& sname,
                 int64_t size = 0) {
  RemoteEntry e{name, size, is_folder, "d", ClubDetail{}};
  e.club->index = index;
  e.club->kind = is_folder ? 2 : 1;
  e.club->name = sname;
  return e;
}

// Listings from a table: path -> entries. A path missing from it fails with 23006, or, when
// endless, lists itself with a folder "d" inside, as a server could for ever.
class TableLister : public RemoteLister {
 public:
  std::map<std::string, std::vector<RemoteEntry>> table;
  bool endless = false;
  size_t calls = 0;

  bool list(const std::string& path, std::vector<RemoteEntry>* entries,
            LibraryError* error) override {
    ++calls;
    const auto found = table.find(path);
    if (found != table.end() || endless) {
      *entries = endless ? std::vector{folder(path), folder(path + "/d")} : found->second;
      return true;
    }
    *error = LibraryError{23006, "no such file"};
    return false;
  }
};

class TempDir : public ::testing::Test {
 protected:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "zavel-cli-plan-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() override { fs::remove_all(root_); }
  // The plan's items as "d|f relative remote local size", local relative to root_.
  std::vector<std::string> items() const {
    std::vector<std::string> out;
    for (const PlanItem& i : plan_.items)
      out.push_back(std::string(i.folder ? "d " : "f ") + i.relative + " " + i.remote + " " +
                    i.local.lexically_relative(root_).string() + " " + std::to_string(i.size));
    return out;
  }

  fs::path root_;
  TableLister lister_;
  Plan plan_;
  std::vector<std::string> notes_;
  std::string error_;
};

using DownloadPlan = TempDir;

TEST_F(DownloadPlan, AFolderBecomesItsFoldersThenItsFilesWithLocalTargetsInside) {
  lister_.table["/u/docs"] = {folder("/u/docs"), file("/u/docs/a.txt", 5), folder("/u/docs/sub"),
                              file("/u/docs/b.bin", 70000)};
  lister_.table["/u/docs/sub"] = {folder("/u/docs/sub"), file("/u/docs/sub/c", 0)};
  ASSERT_TRUE(planDownload(lister_, {"/u/docs"}, root_, &plan_, &error_)) << error_;
  EXPECT_EQ(items(),
            (std::vector<std::string>{
                "d docs /u/docs docs 0", "f docs/a.txt /u/docs/a.txt docs/a.txt 5",
                "d docs/sub /u/docs/sub docs/sub 0", "f docs/sub/c /u/docs/sub/c docs/sub/c 0",
                "f docs/b.bin /u/docs/b.bin docs/b.bin 70000"}));
  EXPECT_EQ(plan_.bytes, 70005u);
}

TEST_F(DownloadPlan, OneSourceTakesTheDestinationsNameWhenThatIsNoFolder) {
  lister_.table["/u/a.txt"] = {file("/u/a.txt", 9)};
  ASSERT_TRUE(planDownload(lister_, {"/u/a.txt"}, root_ / "renamed.txt", &plan_, &error_))
      << error_;
  EXPECT_EQ(items(), std::vector<std::string>{"f renamed.txt /u/a.txt renamed.txt 9"});

  Plan two;
  EXPECT_FALSE(planDownload(lister_, {"/u/a.txt", "/u/a.txt"}, root_ / "nofolder", &two, &error_));
  EXPECT_NE(error_.find("not a folder"), std::string::npos) << error_;
}

TEST_F(DownloadPlan, NamesThatLeaveTheListedFolderStopThePlan) {
  // clang-format off
  const RemoteEntry hostile[] = {
      file("/u/d/../../escape", 1), file("/u/d/a/b", 1), file("/elsewhere/x", 1), file("/u/d/", 1),
      folder("/u/d/.."), file("x", 1),
      club("/u/d/x", 5, false, "../x"), club("/u/d/x", 5, false, "a/b"),
      club("/u/d/x", 0, false, "x")};  // index 0 names nothing
  // clang-format on
  for (const RemoteEntry& e : hostile) {
    lister_.table["/u/d"] = {folder("/u/d"), e};
    Plan plan;
    std::string error;
    EXPECT_FALSE(planDownload(lister_, {"/u/d"}, root_, &plan, &error)) << e.name;
    EXPECT_NE(error.find("not an item of this folder"), std::string::npos) << error;
  }
  EXPECT_TRUE(fs::is_empty(root_));
}

TEST_F(DownloadPlan, ClubEntriesAreReachedByKeyAndNamedByTheirRecord) {
  lister_.table["<7@>"] = {club("<7@>", 7, true, "사진"), club("<7@>/2004", 9, true, "2004"),
                           club("<7@>/a.jpg", 8, false, "a.jpg", 300)};
  lister_.table["<9@>"] = {club("<9@>", 9, true, "2004"),
                           club("<9@>/b.jpg", 11, false, "b.jpg", 4)};
  ASSERT_TRUE(planDownload(lister_, {"<7@>"}, root_, &plan_, &error_)) << error_;
  EXPECT_EQ(items(), (std::vector<std::string>{"d 사진 <7@> 사진 0", "d 사진/2004 <9@> 사진/2004 0",
                                               "f 사진/2004/b.jpg <11> 사진/2004/b.jpg 4",
                                               "f 사진/a.jpg <8> 사진/a.jpg 300"}));
  EXPECT_EQ(plan_.bytes, 304u);
}

TEST_F(DownloadPlan, AnEndlessListingStopsAtTheDepthLimitAndListingErrorsCarryTheMessage) {
  lister_.endless = true;
  EXPECT_FALSE(planDownload(lister_, {"/d"}, root_, &plan_, &error_));
  EXPECT_NE(error_.find("nested too deep"), std::string::npos) << error_;
  EXPECT_LE(lister_.calls, kMaxDepth + 1);

  lister_.endless = false;
  lister_.table["/u/d"] = {folder("/u/d"), folder("/u/d/gone")};
  Plan plan;
  EXPECT_FALSE(planDownload(lister_, {"/u/d"}, root_, &plan, &error_));
  EXPECT_EQ(error_, "/u/d/gone: file or directory not exist (23006)");
}

using UploadPlan = TempDir;

TEST_F(UploadPlan, WalksFoldersInNameOrderAndLeavesOutWhatCannotBeSent) {
  fs::create_directories(root_ / "src/b-sub/deeper");
  fs::create_directories(root_ / "elsewhere");
  std::ofstream(root_ / "src/c.txt") << "ccc";
  std::ofstream(root_ / "src/a.txt") << "a";
  std::ofstream(root_ / "src/b-sub/deeper/x") << "xxxx";
  fs::create_directory_symlink(root_ / "elsewhere", root_ / "src/link-to-folder");
  fs::create_symlink(root_ / "src/a.txt", root_ / "src/link-to-file");
  ASSERT_EQ(::mkfifo((root_ / "src/pipe").c_str(), 0600), 0);

  ASSERT_TRUE(planUpload({root_ / "src/"}, std::nullopt, &plan_, &notes_, &error_)) << error_;
  EXPECT_EQ(items(), (std::vector<std::string>{
                         "d src  src/ 0", "f src/a.txt  src/a.txt 1", "d src/b-sub  src/b-sub 0",
                         "d src/b-sub/deeper  src/b-sub/deeper 0",
                         "f src/b-sub/deeper/x  src/b-sub/deeper/x 4", "f src/c.txt  src/c.txt 3",
                         "f src/link-to-file  src/link-to-file 1"}));
  EXPECT_EQ(plan_.bytes, 1u + 4 + 3 + 1);
  ASSERT_EQ(notes_.size(), 2u);
  EXPECT_NE(notes_[0].find("link-to-folder"), std::string::npos);
  EXPECT_NE(notes_[1].find("pipe"), std::string::npos);
}

TEST_F(UploadPlan, ASingleSourceCanTakeAnotherNameAndAMissingOneFails) {
  std::ofstream(root_ / "f.bin") << "12345";
  ASSERT_TRUE(planUpload({root_ / "f.bin"}, "g.bin", &plan_, &notes_, &error_)) << error_;
  EXPECT_EQ(items(), std::vector<std::string>{"f g.bin  f.bin 5"});

  Plan missing;
  EXPECT_FALSE(planUpload({root_ / "nope"}, std::nullopt, &missing, &notes_, &error_));
  EXPECT_NE(error_.find("no such file"), std::string::npos);
}

TEST(LocalName, IsTheLastNameEvenForTrailingSlashesAndDots) {
  EXPECT_EQ(localName("a/b"), "b");
  EXPECT_EQ(localName("a/b/"), "b");
  EXPECT_EQ(localName("/x/y/./"), "y");
  EXPECT_EQ(localName("."), fs::current_path().filename().string());
}

}  // namespace
}  // namespace zavel::cli
