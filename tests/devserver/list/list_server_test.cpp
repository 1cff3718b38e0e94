// The club list server: its index commands, and uploads, copies and downloads negotiated
// with it while the file server moves the bytes under the storage account, driven with
// records as the club client sends them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <thread>
#include <vector>

#include "devserver/list/club_index.h"
#include "protocol/framing.h"
#include "tests/devserver/test_client.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

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
  ParamRecord listing(int64_t i, uint32_t m = 0) { return masked("getfilelistopt", "jdidx", i, m); }
  ParamRecord info(int64_t i, uint32_t m) { return masked("getfileinfoopt", "jfidx", i, m); }
  ParamRecord dirInfo(int64_t i, uint32_t m) { return masked("getdirinfoopt", "jdidx", i, m); }
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

  static Req startReq(int64_t folder, const std::string& name, int64_t size, int32_t option) {
    Req r("uploadstart");
    r.s("sname", name).i64("jfsize", size).i64("jtidx", folder).i32("ioption", option);
    return r.s("schecksum", "");
  }
  ParamRecord uploadStart(int64_t folder, const std::string& name, int64_t size, int32_t option) {
    return call(startReq(folder, name, size, option));
  }
  int64_t sizeAt(const std::string& path, const char* field = "jsize") {
    return numberOf(infoAt(path, kSizes), field);
  }
  ParamRecord notify(int64_t index, int64_t size) {
    return call(Req("uploadnotify").i64("jfidx", index).i64("jfsize", size));
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

  // Makes the storage folder an upload start asks for, as the club client does (signed on
  // to the file server as the storage account), and reports it made.
  void makeStorageFolder(const ParamRecord& start) {
    const int64_t folder = numberOf(start, "jpathidx");
    if (folder == -1) return;
    TestClient storage(server_);
    storage.signOn(DevServerFixture::kClubStorageUser);
    const int32_t made = storage.run(Req("createdir").s("fullpath", textOf(start, "sdir")));
    EXPECT_TRUE(made == 0 || made == 23005) << made;
    ok(Req("uploadmkdirend").i64("jpathidx", folder));
  }

  DevServerFixture server_;
  int64_t top_ = 0;  // the club's root folder
};

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

// Every refusal answers with result 1, its code and text and no other field, and changes
// nothing: no entry is made, a description or expiry keeps its old text.
TEST_F(ClubTree, RefusalsAnswerWithResultErrorCodeAndTextAlone) {
  const int64_t a = dir_, b = inner_, x = x_, file = file_, c = makeDir(top_, "c");
  addFile(c, "f.bin", "other");
  ok(Req("setfiledescription").i64("jfidx", file).s("sdes", "설명"));
  ok(Req("setfileexpiretime").i64("jfidx", file).s("setime", "20051231"));
  ParamRecord no_command(kFlagScramble);
  no_command.setInt64("jfidx", x);
  auto at = [](int32_t club, const char* path) {
    return Req("getfileinfofrompath").i32("iclubno", club).s("spath", path).i32("ioption", -1);
  };
  const char* kBadParameter = "wrong parameter";
  const char* kNotDir = "is not directory";
  const char* kNone = "file or directory not exist";
  const char* kTaken = "file or directory exist";
  const char* kDenied = "permission deny";
  std::vector<std::tuple<ParamRecord, int32_t, const char*>> cases = {
      // clang-format off
      {Req("getclubinfo").i32("iclubno", 9999),                       22005, "no share directory"},
      {Req("nosuchcommand"),                                          24004, "not allow command"},
      {no_command,                                                    21003, "wrong packet"},
      {Req("createdir").i64("jtidx", top_),                           24001, kBadParameter},
      {Req("deletefile").i64("jfidx", x + 1000),                      23006, kNone},
      {Req("deletefile").i64("jfidx", 0),                             23006, kNone},
      {Req("getdirinfoopt").i64("jdidx", x).i32("ioption", -1),       23008, kNotDir},
      {Req("renamefile").i64("jfidx", a).s("sname", "n"),     23001, "remote file operate error"},
      {Req("createdir").i64("jtidx", x).s("sname", "n"),              23008, kNotDir},
      {at(kClub, "/nope"),                                            23006, kNone},
      {at(kClub, "/x.txt/y"),                                         23008, kNotDir},
      {at(4242, "/"),                                                 22005, "no share directory"},
      {Req("createdir").i64("jtidx", top_).s("sname", "dir"),         23005, kTaken},
      // The tree stays whole: no folder inside itself, the root stays, no name twice.
      {Req("movedir").i64("jdidx", a).i64("jtidx", a),                24001, kBadParameter},
      {Req("movedir").i64("jdidx", a).i64("jtidx", b),                24001, kBadParameter},
      {Req("movedir").i64("jdidx", top_).i64("jtidx", c),             23009, kDenied},
      {Req("renamedir").i64("jdidx", top_).s("sname", "r"),           23009, kDenied},
      {Req("deletedir").i64("jdidx", top_),                           23009, kDenied},
      {Req("movefile").i64("jfidx", file).i64("jtidx", c),            23005, kTaken},
      {Req("renamedir").i64("jdidx", c).s("sname", "dir"),            23005, kTaken},
      {Req("movefile").i64("jfidx", file).i64("jtidx", file),         23008, kNotDir},
      // Upload starts: options 1 to 3, sizes from 0 to what the quota leaves, into a folder.
      {startReq(top_, "y.bin", 5, 0),                                 24001, kBadParameter},
      {startReq(top_, "y.bin", 5, 4),                                 24001, kBadParameter},
      {startReq(top_, "y.bin", -1, 3),                                24001, kBadParameter},
      {startReq(top_, "y.bin", int64_t{2} << 30, 3),                  23007, "disk full"},
      {startReq(top_, "y.bin", int64_t{1} << 62, 3),                  23007, "disk full"},
      {startReq(x, "in-a-file", 1, 3),                                23008, kNotDir},
      {startReq(x + 999, "nowhere", 1, 3),                            23006, kNone},
      // Times are checked with validClubTime (ClubTime holds its rows).
      {Req("setfiletime").i64("jfidx", file).s("stime", "20040230000000"), 24001, kBadParameter},
      // Descriptions up to 1024 bytes and expiries up to 64, each on its kind of entry.
      {Req("setdirdescription").i64("jdidx", file).s("sdes", "x"),    23008, kNotDir},
      {Req("setfileexpiretime").i64("jfidx", a).s("setime", "x"),     23001,
       "remote file operate error"},
      {Req("setfiledescription").i64("jfidx", file).s("sdes", std::string(1025, 'd')), 24001,
       kBadParameter},
      {Req("setfileexpiretime").i64("jfidx", file).s("setime", std::string(65, '1')), 24001,
       kBadParameter},
      // clang-format on
  };
  // Names that would break paths, for a folder and for an upload.
  for (const std::string& name :
       {std::string(""), std::string("."), std::string(".."), std::string("a/b"),
        std::string("a\\b"), std::string("a<b"), std::string("c>d"), std::string("tab\there"),
        std::string("nl\n"), std::string("del\x7f"), std::string(256, 'x'),
        std::string("nul\0in", 6)}) {
    cases.emplace_back(Req("createdir").i64("jtidx", top_).s("sname", name), 24001, kBadParameter);
    cases.emplace_back(startReq(top_, name, 1, 3), 24001, kBadParameter);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const auto& [request, error, text] = cases[i];
    SCOPED_TRACE(std::to_string(i) + " " + textOf(request, "_cmd"));
    const ParamRecord reply = call(request);
    expectFields(reply, {{"result", 1}, {"errorcode", error}, {"errormsg", text}});
    EXPECT_TRUE(namesOf(reply).empty());
  }
  EXPECT_EQ(numberOf(listing(top_), "ifilecnt"), 3);
  expectFields(info(file, 0x8000 | 0x1000), {{"sdes", "설명"}, {"setime", "20051231"}});
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
      {kListingMask & ~0x20200000u, {"a.txt", "b.txt"}},  // no folder bits
      {kListingMask & ~0x4040u, {"Y", "z"}},              // no file bits
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

TEST_F(ClubTree, RenameMoveAndDeleteKeepTheTreeWhole) {
  const int64_t a = dir_, b = inner_, c = makeDir(top_, "c"), file = file_;
  const fs::path bytes = bytesOf(file);
  EXPECT_GT(makeDir(top_, std::string(255, 'x')), 0);
  EXPECT_GT(makeDir(top_, "사진 @ 2004 (1)"), 0);
  for (const ParamRecord& request : {Req("renamedir").i64("jdidx", c).s("sname", "c"),
                                     Req("movedir").i64("jdidx", c).i64("jtidx", b),
                                     Req("renamefile").i64("jfidx", file).s("sname", "g.bin")})
    ok(request);
  EXPECT_EQ(numberOf(infoAt("/dir/inner/c", 0), "jidx"), c);
  EXPECT_EQ(numberOf(infoAt("/dir/inner/g.bin", 0), "jidx"), file);
  // Deleting a folder takes everything below it, bytes included.
  ok(Req("deletedir").i64("jdidx", a));
  for (int64_t gone : {a, b, c, file, plan_}) EXPECT_EQ(errorCodeOf(info(gone, 0)), 23006) << gone;
  EXPECT_FALSE(fs::exists(bytes));
  expectFields(clubInfo(), {{"jsize", 1}, {"jfilenum", 1}, {"jdirnum", 2}});
}

// Times, folder descriptions and expiries read back (the file's are in the refusals test).
TEST_F(ClubTree, TimesExpiriesAndDescriptionsAreKept) {
  const int64_t dir = dir_, file = file_;
  // Per change: the entry, whether getdirinfoopt reads it back, its mask, field and value.
  const std::tuple<ParamRecord, int64_t, bool, uint32_t, const char*, const char*> changes[] = {
      // clang-format off
      {Req("setfiletime").i64("jfidx", file).s("stime", "19991231235959"), file, false, 0x800,
       "stime", "19991231235959"},
      {Req("setfiletime").i64("jfidx", dir).s("stime", "20001231235959"), dir, false, 0x8000000,
       "stime", "20001231235959"},
      {Req("setdirdescription").i64("jdidx", dir).s("sdes", "폴더"), dir, true, 0x40000000, "sdes",
       "폴더"},
      {Req("setdirexpiretime").i64("jdidx", dir).s("setime", "never"), dir, true, 0x10000000,
       "setime", "never"},
      // clang-format on
  };
  for (const auto& [request, index, dir_command, mask, field, value] : changes) {
    ok(request);
    EXPECT_EQ(textOf(dir_command ? dirInfo(index, mask) : info(index, mask), field), value)
        << field;
  }
}

// Club times are yyyymmddhhmmss in UTC, checked as dates: leap days, month lengths, hours
// below 24.
TEST(ClubTime, SecondsReadAsUtcDateAndTimeAndTextsAreCheckedAsDates) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "19700101000000"},          {-1, "19691231235959"},
      {951782400, "20000229000000"},  {1102951805, "20041213153005"},
      {2147483648, "20380119031408"}, {4102444800, "21000101000000"}};
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(devserver::clubTimeText(seconds), text) << seconds;
    EXPECT_TRUE(devserver::validClubTime(text)) << text;
  }
  const std::pair<const char*, bool> times[] = {
      {"20041213153005", true},  {"20040229000000", true},  {"20000229120000", true},
      {"19991231235959", true},  {"2004121315300", false},  {"200412131530055", false},
      {"20041301000000", false}, {"20040230000000", false}, {"19000229000000", false},
      {"20041213240000", false}, {"2004121315300x", false}, {"", false},
      {"20041200000000", false}, {"20040001000000", false}, {"20041213156000", false},
      {"20041213150060", false}, {"20050229000000", false}, {"20040431000000", false}};
  for (const auto& [text, valid] : times) EXPECT_EQ(devserver::validClubTime(text), valid) << text;
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

using ClubUploads = ClubTest;

TEST_F(ClubUploads, UploadStartAnswersTheKindsTheNegotiationExpects) {
  // The first file of a fresh club disk needs a storage folder that the client makes.
  const ParamRecord first = uploadStart(top_, "first.bin", 10, 3);
  ASSERT_EQ(resultOf(first), 0);
  const int64_t folder = numberOf(first, "jpathidx");
  ASSERT_GT(folder, 0);
  const std::string dir = "/octa/b" + std::to_string(folder);
  expectFields(first, {{"itype", 1},
                       {"sdir", dir},
                       {"spath", dir + "/" + std::to_string(numberOf(first, "jidx"))},
                       {"seip", server_.host()},
                       {"siip", server_.host()}});
  EXPECT_GT(numberOf(first, "inotifytime"), 0);
  EXPECT_EQ(code(Req("uploadmkdirend").i64("jpathidx", folder)), 23006)
      << "a folder reported made before it exists";
  makeStorageFolder(first);
  expectFields(uploadStart(top_, "second.bin", 10, 3), {{"jpathidx", -1}, {"sdir", ""}});

  const int64_t have = addFile(top_, "have.bin", patternBytes(100));
  const std::string have_path = textOf(info(have, kLocateMask), "spath");
  makeDir(top_, "dir");
  // Per name and option: the kind of answer, index and path (the refusals are with the
  // others). A folder's name answers 2 whatever the option.
  const std::tuple<const char*, int32_t, int32_t, int64_t, std::string> cases[] = {
      {"have.bin", 3, 6, 0, ""},
      {"have.bin", 2, 3, have, have_path},
      {"have.bin", 1, 4, have, have_path},
      {"dir", 3, 2, 0, ""},
      {"dir", 2, 2, 0, ""},
  };
  for (const auto& [name, option, kind, index, path] : cases) {
    SCOPED_TRACE(std::string(name) + " option " + std::to_string(option));
    expectFields(
        uploadStart(top_, name, 120, option),
        {{"result", 0}, {"errorcode", 0}, {"itype", kind}, {"jidx", index}, {"spath", path}});
  }
}

// The bytes of an upload are put on the host as the file server would store them.
TEST_F(ClubUploads, AnInterruptedUploadResumesFromTheBytesReallyStored) {
  const ParamRecord start = uploadStart(top_, "movie.bin", 300000, 3);
  makeStorageFolder(start);
  const int64_t index = numberOf(start, "jidx");
  const std::string path = textOf(start, "spath");
  writeFile(hostPath(path), patternBytes(100000));
  // A report ahead of the stored bytes does not make the file look longer than it is.
  EXPECT_EQ(resultOf(notify(index, 250000)), 0);
  EXPECT_EQ(sizeAt("/movie.bin"), 100000);
  EXPECT_EQ(sizeAt("/movie.bin", "jtsize"), 300000);
  EXPECT_EQ(resultOf(notify(index, 90000)), 0);
  EXPECT_EQ(sizeAt("/movie.bin"), 90000);
  // The client went away without "uploadend"; it comes back to continue the same file.
  EXPECT_EQ(numberOf(uploadStart(top_, "movie.bin", 300000, 3), "itype"), 6);
  expectFields(uploadStart(top_, "movie.bin", 300000, 2),
               {{"itype", 3}, {"jidx", index}, {"spath", path}, {"jpathidx", -1}});
  EXPECT_EQ(sizeAt("/movie.bin"), 100000) << "a resumed upload starts from the bytes stored";
  writeFile(hostPath(path), patternBytes(300000));
  ASSERT_EQ(resultOf(end(index, 300000)), 0);
  EXPECT_EQ(sizeAt("/movie.bin"), 300000);
  EXPECT_EQ(errorCodeOf(notify(index, 1)), 24004) << "no upload is running any more";
}

TEST_F(ClubUploads, UploadEndKeepsWhatWasReallyStoredAndANegativeSizeLeavesNoNewFile) {
  const ParamRecord start = uploadStart(top_, "short.bin", 1000, 3);
  writeFile(hostPath(textOf(start, "spath")), patternBytes(600));
  ASSERT_EQ(resultOf(end(numberOf(start, "jidx"), 1000)), 0);
  EXPECT_EQ(sizeAt("/short.bin"), 600);
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), 600);

  const int64_t kept = addFile(top_, "kept.bin", patternBytes(50, 3));
  const fs::path kept_bytes = bytesOf(kept);
  // Every negative size is the same "given up" to the server; -1 stands for them.
  const ParamRecord fresh = uploadStart(top_, "fresh.bin", 100, 3);
  ASSERT_EQ(numberOf(fresh, "itype"), 1);
  const fs::path fresh_bytes = hostPath(textOf(fresh, "spath"));
  writeFile(fresh_bytes, "partial");
  ASSERT_EQ(resultOf(end(numberOf(fresh, "jidx"), -1)), 0);
  EXPECT_EQ(errorCodeOf(info(numberOf(fresh, "jidx"), 0)), 23006);
  EXPECT_EQ(errorCodeOf(infoAt("/fresh.bin", 0)), 23006);
  EXPECT_FALSE(fs::exists(fresh_bytes));
  // A file that was complete before stays as it was.
  ASSERT_EQ(numberOf(uploadStart(top_, "kept.bin", 10, 1), "itype"), 4);
  ASSERT_EQ(resultOf(end(kept, -1)), 0);
  EXPECT_EQ(numberOf(info(kept, kSizes), "jsize"), 50);
  EXPECT_EQ(readFile(kept_bytes), patternBytes(50, 3));
  EXPECT_EQ(errorCodeOf(notify(kept, 1)), 24004);
  EXPECT_EQ(numberOf(clubInfo(), "jfilenum"), 2);
}

class LargeClubFiles : public ClubTest {
 protected:
  LargeClubFiles() : ClubTest(DevServerFixtureOptions{.club_quota_mb = 8192}) {}
};

TEST_F(LargeClubFiles, SizesAndIndexesBeyondThirtyTwoBitsKeepEveryBit) {
  constexpr int64_t kSize = 3000000000;
  const ParamRecord start = uploadStart(top_, "big.iso", kSize, 3);
  ASSERT_EQ(resultOf(start), 0);
  const int64_t index = numberOf(start, "jidx");
  EXPECT_GT(index, int64_t{1} << 32);
  // A sparse file stands in for three gigabytes of uploaded bytes.
  const fs::path bytes = hostPath(textOf(start, "spath"));
  writeFile(bytes, "");
  ASSERT_EQ(::truncate(bytes.c_str(), kSize), 0);
  ASSERT_EQ(resultOf(end(index, kSize)), 0);
  const ParamRecord reply = info(index, kSizes);
  EXPECT_EQ(typeOf(reply, "jsize"), kTypeInt64);
  expectFields(reply, {{"jsize", kSize}, {"jtsize", kSize}});
  expectFields(listing(top_), {{"jsize1", kSize}, {"jidx1", index}});
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), kSize);
  // Clients that still read 32 bits see the low half, as before.
  int32_t low = 0;
  ASSERT_TRUE(reply.getInt32("jsize", &low));
  EXPECT_EQ(low, static_cast<int32_t>(static_cast<uint32_t>(kSize)));
}

TEST_F(ClubUploads, CopyFileCopiesTheBytesAndMindsNamesAndKinds) {
  const int64_t from = makeDir(top_, "from");
  const int64_t to = makeDir(top_, "to");
  const std::string bytes = patternBytes(70000, 9);
  const int64_t source = addFile(from, "f.bin", bytes);
  ok(Req("setfiledescription").i64("jfidx", source).s("sdes", "원본"));
  auto copy = [&](int64_t file, int64_t folder, int32_t option) {
    return Req("copyfile").i64("jfidx", file).i64("jtidx", folder).i32("ioption", option);
  };
  const int64_t first = numberOf(ok(copy(source, to, 0)), "jidx");
  EXPECT_NE(first, source);
  EXPECT_EQ(readFile(hostPath(textOf(infoAt("/to/f.bin", kLocateMask), "spath"))), bytes);
  expectFields(listing(to), {{"icopy1", 1}, {"sdes1", "원본"}});

  EXPECT_EQ(code(copy(source, to, 0)), 23005);
  const int64_t second = numberOf(ok(copy(source, to, 1)), "jidx");
  EXPECT_EQ(errorCodeOf(info(first, 0)), 23006) << "the replaced copy is gone";
  EXPECT_EQ(numberOf(infoAt("/to/f.bin", 0), "jidx"), second);
  // Copying a file onto itself changes nothing.
  EXPECT_EQ(numberOf(call(copy(source, from, 1)), "jidx"), source);
  EXPECT_EQ(readFile(bytesOf(source)), bytes);
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", from).i64("jtidx", to)), 23001);
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", source).i64("jtidx", source)), 23008);
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), 2 * 70000);
  // The storage disk's used space followed the copies and the removal of the one replaced.
  TestClient storage(server_);
  storage.signOn(DevServerFixture::kClubStorageUser);
  EXPECT_EQ(usedBytes(storage), static_cast<int64_t>(walkedBytes(server_.clubStoragePath())));
}

class SmallClub : public ClubTest {
 protected:
  SmallClub() : ClubTest(DevServerFixtureOptions{.club_quota_mb = 1}) {}
};

TEST_F(SmallClub, NothingGrowsTheClubBeyondItsQuota) {
  const int64_t dir = makeDir(top_, "dir");
  const int64_t file = addFile(top_, "f.bin", patternBytes(700 * 1024));
  EXPECT_EQ(code(Req("copyfile").i64("jfidx", file).i64("jtidx", dir)), 23007);
  EXPECT_EQ(errorCodeOf(uploadStart(dir, "g.bin", 400 * 1024, 3)), 23007);
  // A running upload holds the space it announced.
  const ParamRecord small = uploadStart(dir, "h.bin", 300 * 1024, 3);
  ASSERT_EQ(resultOf(small), 0);
  EXPECT_EQ(errorCodeOf(uploadStart(dir, "i.bin", 100 * 1024, 3)), 23007);
  ASSERT_EQ(resultOf(end(numberOf(small, "jidx"), -2)), 0);
  EXPECT_EQ(resultOf(uploadStart(dir, "i.bin", 100 * 1024, 3)), 0);
}

}  // namespace
}  // namespace zavel::testing
