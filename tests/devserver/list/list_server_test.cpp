// The club list server's index commands, driven with records as the club client sends them.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "devserver/list/club_index.h"
#include "protocol/framing.h"
#include "tests/devserver/list/club_test_support.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kFilesOnly = kListingMask & ~0x20200000u;
constexpr uint32_t kFoldersOnly = kListingMask & ~0x4040u;

// The names a reply carries beside the result fields, which every reply has.
std::set<std::string> namesOf(const ParamRecord& reply) {
  std::set<std::string> names;
  for (const auto& [name, value] : reply.entries()) names.insert(name);
  for (const char* result : {"result", "errorcode", "errormsg"})
    if (names.erase(result) == 0) names.insert(std::string("missing ") + result);
  return names;
}

using ListServerIndex = ClubTest;

// A club disk holding /dir/inner/f.bin (300 bytes), /dir/plan 2004.txt (700) and /x.txt (1).
class ClubTree : public ClubTest {
 protected:
  void SetUp() override {
    ClubTest::SetUp();
    dir_ = makeDir(top_, "dir");
    inner_ = makeDir(dir_, "inner");
    file_ = addFile(inner_, "f.bin", patternBytes(300));
    plan_ = addFile(dir_, "plan 2004.txt", patternBytes(700));
    x_ = addFile(top_, "x.txt", "x");
  }
  int64_t dir_ = 0, inner_ = 0, file_ = 0, plan_ = 0, x_ = 0;
};

TEST_F(ListServerIndex, ClubInfoGivesTheRootQuotaAndWhatTheDiskHolds) {
  const ParamRecord club = clubInfo();
  expectFields(club, {{"result", 0},
                      {"errorcode", 0},
                      {"errormsg", ""},
                      {"iquota", 1024},
                      {"sid", DevServerFixture::kClubName},
                      {"jsize", 0}});
  EXPECT_GT(top_, int64_t{1} << 32);
  EXPECT_EQ(typeOf(club, "jdidx"), kTypeInt64) << "64-bit fields go out as 64-bit values";
  EXPECT_EQ(textOf(club, "stime").size(), 14u);
  const int64_t a = makeDir(top_, "a");
  addFile(a, "x.bin", patternBytes(1000));
  addFile(makeDir(a, "b"), "y.bin", patternBytes(24));
  expectFields(clubInfo(), {{"jsize", 1024}, {"jfilenum", 2}, {"jdirnum", 2}});
}

TEST_F(ClubTree, FailuresAnswerWithResultErrorCodeAndTextAlone) {
  const int64_t dir = dir_, file = x_;
  ParamRecord no_command(kFlagScramble);
  no_command.setInt64("jfidx", file);
  auto at = [](int32_t club, const char* path) {
    return Req("getfileinfofrompath").i32("iclubno", club).s("spath", path).i32("ioption", -1);
  };
  const std::tuple<ParamRecord, int32_t, const char*> cases[] = {
      // clang-format off
      {Req("getclubinfo").i32("iclubno", 9999),                       22005, "no share directory"},
      {Req("nosuchcommand"),                                          24004, "not allow command"},
      {no_command,                                                    21003, "wrong packet"},
      {Req("createdir").i64("jtidx", top_),                           24001, "wrong parameter"},
      {Req("deletefile").i64("jfidx", file + 1000),         23006, "file or directory not exist"},
      {Req("deletefile").i64("jfidx", 0),                   23006, "file or directory not exist"},
      {Req("getdirinfoopt").i64("jdidx", file).i32("ioption", -1),    23008, "is not directory"},
      {Req("renamefile").i64("jfidx", dir).s("sname", "n"),   23001, "remote file operate error"},
      {Req("createdir").i64("jtidx", file).s("sname", "n"),           23008, "is not directory"},
      {at(kClub, "/nope"),                                  23006, "file or directory not exist"},
      {at(kClub, "/x.txt/y"),                                         23008, "is not directory"},
      {at(4242, "/"),                                                 22005, "no share directory"},
      {Req("createdir").i64("jtidx", top_).s("sname", "dir"),   23005, "file or directory exist"},
      // clang-format on
  };
  for (const auto& [request, error, text] : cases) {
    const ParamRecord reply = call(request);
    expectFields(reply, {{"result", 1}, {"errorcode", error}, {"errormsg", text}});
    EXPECT_TRUE(namesOf(reply).empty()) << text;
  }
  // A text body must end in NUL; one that does not is answered, and the connection goes on.
  TestClient line(server_.host(), server_.listPort());
  ParamRecord bad(kFlagTextBody);
  bad.setBinary("x", "ab", 2);
  expectFields(line.call(bad), {{"result", 1}, {"errorcode", 21003}});
  EXPECT_EQ(resultOf(line.call(Req("getclubinfo").i32("iclubno", kClub))), 0);
}

TEST_F(ClubTree, NamePathsAndIndexPathsReachTheSameEntries) {
  const int64_t docs = dir_, old = inner_, plan = plan_;
  const std::string d = std::to_string(docs), p = std::to_string(plan), t = std::to_string(top_);
  // Per path: the entry and its kind, or (index 0) the code of the refusal.
  const std::tuple<std::string, int64_t, int32_t> cases[] = {
      {"/", top_, 2},
      {"", top_, 2},
      {"/dir", docs, 2},
      {"/dir/", docs, 2},
      {"//dir//plan 2004.txt", plan, 1},
      {"<" + d + "@>", docs, 2},
      {"<" + p + ">", plan, 1},
      {"<" + d + "@>/inner", old, 2},
      {"<" + t + "@>/dir/plan 2004.txt", plan, 1},
      {"/dir/Plan 2004.txt", 0, 23006},
      {"<" + std::to_string(plan + 5000) + ">", 0, 23006},
      {"<0>", 0, 23006},
      {"<>", 0, 23006},
      {"<@>", 0, 23006},
      {"<12a>", 0, 23006},
      {"<1234567890123456789>", 0, 23006},  // more digits than an index has
      {"<" + p, 0, 23006},
      {"<" + d + "@>inner", 0, 23006},
      {"/dir/../dir", 0, 23006},
      {"<" + p + ">/x", 0, 23008},
      {"/" + std::string(4096, 'x'), 0, 24001},
  };
  for (const auto& [path, index, kind_or_code] : cases) {
    SCOPED_TRACE(path.substr(0, 40));
    const ParamRecord reply = infoAt(path, 0x4000);
    if (index != 0)
      expectFields(reply,
                   {{"result", 0}, {"errorcode", 0}, {"jidx", index}, {"itype", kind_or_code}});
    else
      expectFields(reply, {{"result", 1}, {"errorcode", kind_or_code}});
  }
}

TEST_F(ClubTree, InfoRepliesCarryExactlyTheFieldsTheMaskAsksFor) {
  const int64_t dir = dir_, file = file_;
  using Names = std::set<std::string>;
  const Names listed = {"jidx", "sname", "jsize", "stime", "itype"};
  const Names file_only = {"jidx", "jdown", "jtsize", "setime", "sdes", "jpidx"};
  const Names located = {"jidx", "itype", "seip", "siip", "spath", "suserid"};
  // Per command (getdirinfoopt, else getfileinfoopt), entry and mask: the fields beside the
  // result.
  const std::tuple<bool, int64_t, uint32_t, Names> cases[] = {
      // clang-format off
      {false, file, 0,                                       {"jidx"}},
      {false, file, kListingMask,                            listed},
      {false, file, kLocateMask,                             located},
      {false, file, 0x2000 | 0x400 | 0x1000 | 0x8000 | 0x80, file_only},
      {false, file, 0x80000000,                              {"jidx", "iclubno"}},  // folder bit
      {false, dir,  kListingMask,                            listed},
      {false, dir,  0x2000000 | 0x4000000,                   {"jidx", "jfilenum", "jdirnum"}},
      {true,  dir,  0xFFFF,                                  {"jidx"}},  // folder bits only
      {true,  dir,  0x40000000 | 0x10000000 | 0x400000,      {"jidx", "sdes", "setime", "jpidx"}},
      {false, dir,  kLocateMask,                             {"jidx", "itype"}},  // no location
      // clang-format on
  };
  for (const auto& [dir_command, index, mask, names] : cases) {
    const ParamRecord reply = dir_command ? dirInfo(index, mask) : info(index, mask);
    EXPECT_EQ(resultOf(reply), 0);
    EXPECT_EQ(namesOf(reply), names) << index << " mask " << std::hex << mask;
  }
}

TEST_F(ClubTree, FoldersReportWhatIsBelowThemAndFilesWhereTheirBytesAre) {
  expectFields(infoAt("/dir", 0x1000000 | 0x2000000 | 0x4000000 | 0x400000),
               {{"jsize", 1000}, {"jfilenum", 2}, {"jdirnum", 1}, {"jpidx", top_}});
  const ParamRecord reply = infoAt("/dir/inner/f.bin", kLocateMask | 0x10000 | 0x80);
  expectFields(reply, {{"seip", server_.host()},
                       {"siip", server_.host()},
                       {"suserid", DevServerFixture::kClubStorageUser},
                       {"iclubno", kClub},
                       {"jpidx", inner_}});
  EXPECT_EQ(readFile(hostPath(textOf(reply, "spath"))), patternBytes(300));
  // Each request for the bytes' whereabouts counts as a download; other fields count nothing.
  infoAt("/dir/inner/f.bin", kLocateMask);
  EXPECT_EQ(numberOf(info(file_, 0x2000), "jdown"), 2);
  EXPECT_EQ(numberOf(info(file_, 0x2000), "jdown"), 2);
}

TEST_F(ListServerIndex, ListingsPutFoldersFirstAndKeepToTheScopeOfTheMask) {
  const int64_t dir = makeDir(top_, "dir");
  addFile(dir, "b.txt", "bb");
  addFile(dir, "a.txt", "a");
  const int64_t z = makeDir(dir, "z");
  makeDir(dir, "Y");
  addFile(z, "deep.bin", patternBytes(5000));
  const std::pair<uint32_t, std::vector<std::string>> cases[] = {
      {kListingMask, {"Y", "z", "a.txt", "b.txt"}},
      {kFilesOnly, {"a.txt", "b.txt"}},
      {kFoldersOnly, {"Y", "z"}},
      {0, {"Y", "z", "a.txt", "b.txt"}},
  };
  for (const auto& [mask, names] : cases) {
    const ParamRecord reply = listing(dir, mask);
    Fields expected = {{"result", 0}, {"ifilecnt", static_cast<int64_t>(names.size())}};
    for (size_t i = 0; i <= names.size(); ++i)
      expected.push_back(
          {"sname" + std::to_string(i + 1), i < names.size() ? names[i] : "<absent>"});
    SCOPED_TRACE(mask);
    expectFields(reply, expected);
  }
  const ParamRecord all = listing(dir, kListingMask);
  const Fields entries = {{"itype2", 2},   {"jidx2", z},  {"jsize2", 5000}, {"jfilenum2", 1},
                          {"jdirnum2", 0}, {"itype4", 1}, {"jsize4", 2},    {"jtsize4", 2},
                          {"jdown4", 0},   {"icopy4", 0}, {"sdes4", ""}};
  expectFields(all, entries);
  EXPECT_FALSE(all.has("jdown2")) << "folders carry no file fields";
  EXPECT_EQ(textOf(all, "stime4").size(), 14u);
  expectFields(listing(z, kListingMask), {{"ifilecnt", 1}, {"sname1", "deep.bin"}});
  // An empty folder lists nothing.
  expectFields(listing(makeDir(dir, "empty"), kListingMask),
               {{"result", 0}, {"ifilecnt", 0}, {"sname1", "<absent>"}});
}

TEST_F(ListServerIndex, NamesThatWouldBreakPathsAreRefused) {
  const std::string cases[] = {"",
                               ".",
                               "..",
                               "a/b",
                               "a\\b",
                               "a<b",
                               "c>d",
                               "tab\there",
                               "nl\n",
                               "del\x7f",
                               std::string(256, 'x'),
                               std::string("nul\0in", 6)};
  for (const std::string& name : cases) {
    EXPECT_EQ(code(Req("createdir").i64("jtidx", top_).s("sname", name)), 24001) << name;
    EXPECT_EQ(errorCodeOf(uploadStart(top_, name, 1, 3)), 24001) << name;
  }
  EXPECT_GT(makeDir(top_, std::string(255, 'x')), 0);
  EXPECT_GT(makeDir(top_, "사진 @ 2004 (1)"), 0);
  EXPECT_EQ(numberOf(listing(top_), "ifilecnt"), 2);
}

TEST_F(ClubTree, RenameMoveAndDeleteKeepTheTreeWhole) {
  const int64_t a = dir_, b = inner_, c = makeDir(top_, "c"), file = file_;
  const fs::path bytes = bytesOf(file);
  addFile(c, "f.bin", "other");
  const std::tuple<const char*, ParamRecord, int32_t> cases[] = {
      // clang-format off
      {"folder into itself",     Req("movedir").i64("jdidx", a).i64("jtidx", a),          24001},
      {"folder below itself",    Req("movedir").i64("jdidx", a).i64("jtidx", b),          24001},
      {"root moved",             Req("movedir").i64("jdidx", top_).i64("jtidx", c),       23009},
      {"root renamed",           Req("renamedir").i64("jdidx", top_).s("sname", "r"),     23009},
      {"root deleted",           Req("deletedir").i64("jdidx", top_),                     23009},
      {"onto a name in use",     Req("movefile").i64("jfidx", file).i64("jtidx", c),      23005},
      {"rename onto a sibling",  Req("renamedir").i64("jdidx", c).s("sname", "dir"),      23005},
      {"file into a file",       Req("movefile").i64("jfidx", file).i64("jtidx", file),   23008},
      {"rename to its own name", Req("renamedir").i64("jdidx", c).s("sname", "c"),        0},
      {"folder into a sibling",  Req("movedir").i64("jdidx", c).i64("jtidx", b),          0},
      {"file renamed",           Req("renamefile").i64("jfidx", file).s("sname", "g.bin"), 0},
      // clang-format on
  };
  for (const auto& [what, request, error] : cases) EXPECT_EQ(code(request), error) << what;
  EXPECT_EQ(numberOf(infoAt("/dir/inner/c", 0), "jidx"), c);
  EXPECT_EQ(numberOf(infoAt("/dir/inner/g.bin", 0), "jidx"), file);
  // Deleting a folder takes everything below it, bytes included.
  ok(Req("deletedir").i64("jdidx", a));
  for (int64_t gone : {a, b, c, file, plan_}) EXPECT_EQ(errorCodeOf(info(gone, 0)), 23006) << gone;
  EXPECT_FALSE(fs::exists(bytes));
  expectFields(clubInfo(), {{"jsize", 1}, {"jfilenum", 1}, {"jdirnum", 0}});
}

TEST_F(ClubTree, TimesExpiriesAndDescriptionsAreCheckedAndKept) {
  const int64_t dir = dir_, file = file_;
  auto time = [](int64_t index, const char* text) {
    return Req("setfiletime").i64("jfidx", index).s("stime", text);
  };
  // Times are yyyymmddhhmmss, checked as dates: leap days, month lengths, hours below 24.
  const std::pair<const char*, bool> times[] = {
      {"20041213153005", true},  {"20040229000000", true},  {"20000229120000", true},
      {"19991231235959", true},  {"2004121315300", false},  {"200412131530055", false},
      {"20041301000000", false}, {"20040230000000", false}, {"19000229000000", false},
      {"20041213240000", false}, {"2004121315300x", false}, {"", false},
      {"20041200000000", false}, {"20040001000000", false}, {"20041213156000", false},
      {"20041213150060", false}, {"20050229000000", false}, {"20040431000000", false}};
  for (const auto& [text, valid] : times)
    EXPECT_EQ(code(time(file, text)), valid ? 0 : 24001) << text;
  EXPECT_EQ(textOf(info(file, 0x800), "stime"), "19991231235959");
  // Folders take a time through the same command.
  EXPECT_EQ(code(time(dir, "20001231235959")), 0);
  EXPECT_EQ(textOf(info(dir, 0x8000000), "stime"), "20001231235959");

  // Descriptions up to 1024 bytes and expiries up to 64, each on its kind of entry.
  const std::pair<ParamRecord, int32_t> changes[] = {
      // clang-format off
      {Req("setfiledescription").i64("jfidx", file).s("sdes", "설명"),                   0},
      {Req("setfileexpiretime").i64("jfidx", file).s("setime", "20051231"),            0},
      {Req("setdirdescription").i64("jdidx", dir).s("sdes", "폴더"),                     0},
      {Req("setdirexpiretime").i64("jdidx", dir).s("setime", "never"),                 0},
      {Req("setdirdescription").i64("jdidx", file).s("sdes", "x"),                     23008},
      {Req("setfileexpiretime").i64("jfidx", dir).s("setime", "x"),                    23001},
      {Req("setfiledescription").i64("jfidx", file).s("sdes", std::string(1025, 'd')), 24001},
      {Req("setfileexpiretime").i64("jfidx", file).s("setime", std::string(65, '1')),  24001},
      // clang-format on
  };
  for (const auto& [request, error] : changes)
    EXPECT_EQ(code(request), error) << textOf(request, "_cmd");
  // A refused change leaves the old text.
  expectFields(info(file, 0x8000 | 0x1000), {{"sdes", "설명"}, {"setime", "20051231"}});
  expectFields(dirInfo(dir, 0x50000000), {{"sdes", "폴더"}, {"setime", "never"}});
}

// Club times are yyyymmddhhmmss in UTC.
TEST(ClubTime, SecondsReadAsUtcDateAndTime) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "19700101000000"},          {-1, "19691231235959"},
      {951782400, "20000229000000"},  {1102951805, "20041213153005"},
      {2147483648, "20380119031408"}, {4102444800, "21000101000000"}};
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(devserver::clubTimeText(seconds), text) << seconds;
    EXPECT_TRUE(devserver::validClubTime(text)) << text;
  }
}

TEST_F(ListServerIndex, ConcurrentRequestsEachGetAnIndexOfTheirOwn) {
  constexpr int kThreads = 4, kEach = 15;
  std::vector<std::vector<int64_t>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const std::string name = std::to_string(t) + "-" + std::to_string(i);
        const ParamRecord reply = call(Req("createdir").i64("jtidx", top_).s("sname", name));
        made[t].push_back(resultOf(reply) == 0 ? numberOf(reply, "jidx") : -1);
      }
    });
  for (std::thread& t : threads) t.join();
  std::set<int64_t> all;
  for (const auto& list : made) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_GT(*all.begin(), top_);
  EXPECT_EQ(numberOf(clubInfo(), "jdirnum"), kThreads * kEach);
}

TEST_F(ListServerIndex, TheIndexOutlivesARestartAndNeverHandsAnIndexOutTwice) {
  const int64_t file = addFile(makeDir(top_, "kept"), "f.bin", patternBytes(10));
  const int64_t gone = makeDir(top_, "gone");
  ok(Req("deletedir").i64("jdidx", gone));
  server_.stop();
  auto again = startServer(server_.dataPath());
  auto ask = [&](const ParamRecord& r) { return testing::ask("127.0.0.1", again->listPort(), r); };
  EXPECT_EQ(numberOf(ask(Req("getclubinfo").i32("iclubno", kClub)), "jdidx"), top_);
  const ParamRecord kept = ask(Req("getfileinfofrompath")
                                   .i32("iclubno", kClub)
                                   .s("spath", "/kept/f.bin")
                                   .i32("ioption", 0x200));
  EXPECT_EQ(numberOf(kept, "jidx"), file);
  EXPECT_GT(numberOf(ask(Req("createdir").i64("jtidx", top_).s("sname", "new")), "jidx"), gone);
}

}  // namespace
}  // namespace zavel::testing
