// The club list server's index commands, driven with records as the club client sends them.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "protocol/framing.h"
#include "tests/devserver/list/club_test_support.h"

namespace zavel::testing {
namespace {

namespace fs = std::filesystem;

// Masks the club client sends: what the explorer lists, and where a file's bytes are.
constexpr uint32_t kListingMask = 0x29A04B40;
constexpr uint32_t kLocateMask = 0x1e4040;
constexpr uint32_t kFilesOnly = kListingMask & ~0x20200000u;
constexpr uint32_t kFoldersOnly = kListingMask & ~0x4040u;

const std::set<std::string> kResultNames = {"result", "errorcode", "errormsg"};

std::set<std::string> withResult(std::set<std::string> names) {
  names.insert(kResultNames.begin(), kResultNames.end());
  return names;
}

using ListServerIndex = ClubTest;

TEST_F(ListServerIndex, ClubInfoGivesTheRootQuotaAndWhatTheDiskHolds) {
  ParamRecord club = clubInfo();
  ASSERT_EQ(resultOf(club), 0);
  EXPECT_EQ(errorCodeOf(club), 0);
  EXPECT_EQ(textOf(club, "errormsg"), "");
  const int64_t top = numberOf(club, "jdidx");
  EXPECT_GT(top, int64_t{1} << 32);
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  ASSERT_TRUE(club.find("jdidx", &data, &length, &type));
  EXPECT_EQ(type, kTypeInt64) << "64-bit fields go out as 64-bit values";
  EXPECT_EQ(numberOf(club, "iquota"), 1024);
  EXPECT_EQ(textOf(club, "sid"), DevServerFixture::kClubName);
  EXPECT_EQ(textOf(club, "stime").size(), 14u);
  EXPECT_EQ(numberOf(club, "jsize"), 0);

  const int64_t a = makeDir(top, "a");
  const int64_t b = makeDir(a, "b");
  addFile(a, "x.bin", patternBytes(1000));
  addFile(b, "y.bin", patternBytes(24));
  club = clubInfo();
  EXPECT_EQ(numberOf(club, "jsize"), 1024);
  EXPECT_EQ(numberOf(club, "jfilenum"), 2);
  EXPECT_EQ(numberOf(club, "jdirnum"), 2);
}

TEST_F(ListServerIndex, FailuresAnswerWithResultErrorCodeAndTextAlone) {
  const int64_t top = root();
  const int64_t dir = makeDir(top, "dir");
  const int64_t file = addFile(top, "x.txt", "x");
  ParamRecord no_command(kFlagScramble);
  no_command.setInt64("jfidx", file);
  struct Case {
    ParamRecord request;
    int32_t code;
    const char* text;
  } cases[] = {
      {Req("getclubinfo").i32("iclubno", 9999), 22005, "no share directory"},
      {Req("nosuchcommand"), 24004, "not allow command"},
      {no_command, 21003, "wrong packet"},
      {Req("createdir").i64("jtidx", top), 24001, "wrong parameter"},
      {Req("deletefile").i64("jfidx", file + 1000), 23006, "file or directory not exist"},
      {Req("deletefile").i64("jfidx", 0), 23006, "file or directory not exist"},
      {Req("getdirinfoopt").i64("jdidx", file).i32("ioption", -1), 23008, "is not directory"},
      {Req("renamefile").i64("jfidx", dir).s("sname", "n"), 23001, "remote file operate error"},
      {Req("createdir").i64("jtidx", file).s("sname", "n"), 23008, "is not directory"},
      {Req("getfileinfofrompath").i32("iclubno", kClub).s("spath", "/nope").i32("ioption", -1),
       23006, "file or directory not exist"},
      {Req("getfileinfofrompath").i32("iclubno", kClub).s("spath", "/x.txt/y").i32("ioption", -1),
       23008, "is not directory"},
      {Req("getfileinfofrompath").i32("iclubno", 4242).s("spath", "/").i32("ioption", -1), 22005,
       "no share directory"},
      {Req("createdir").i64("jtidx", top).s("sname", "dir"), 23005, "file or directory exist"},
  };
  for (const Case& c : cases) {
    const ParamRecord reply = call(c.request);
    EXPECT_EQ(resultOf(reply), 1) << c.text;
    EXPECT_EQ(errorCodeOf(reply), c.code) << c.text;
    EXPECT_EQ(textOf(reply, "errormsg"), c.text);
    EXPECT_EQ(namesOf(reply), kResultNames) << c.text;
  }
}

TEST_F(ListServerIndex, AnUnreadableRequestIsAnsweredAndTheConnectionGoesOn) {
  TestClient c(server_.host(), server_.listPort());
  // A text body must end in NUL; this one does not.
  ParamRecord bad(kFlagTextBody);
  bad.setBinary("x", "ab", 2);
  const ParamRecord reply = c.call(bad);
  EXPECT_EQ(resultOf(reply), 1);
  EXPECT_EQ(errorCodeOf(reply), 21003);
  EXPECT_EQ(resultOf(c.call(Req("getclubinfo").i32("iclubno", kClub))), 0);
}

TEST_F(ListServerIndex, NamePathsAndIndexPathsReachTheSameEntries) {
  const int64_t top = root();
  const int64_t docs = makeDir(top, "docs");
  const int64_t old = makeDir(docs, "old");
  const int64_t plan = addFile(docs, "plan 2004.txt", "plan");
  const std::string d = std::to_string(docs), p = std::to_string(plan), t = std::to_string(top);
  struct Case {
    std::string path;
    int64_t index;  // 0: not found
    int32_t kind;
  } cases[] = {
      {"/", top, 2},
      {"/docs", docs, 2},
      {"/docs/", docs, 2},
      {"//docs//plan 2004.txt", plan, 1},
      {"<" + d + "@>", docs, 2},
      {"<" + p + ">", plan, 1},
      {"<" + d + "@>/old", old, 2},
      {"<" + t + "@>/docs/plan 2004.txt", plan, 1},
      {"/docs/Plan 2004.txt", 0, 0},
      {"<" + std::to_string(plan + 5000) + ">", 0, 0},
      {"<0>", 0, 0},
      {"<12a>", 0, 0},
      {"<" + p, 0, 0},
      {"<" + d + "@>old", 0, 0},
      {"/docs/../docs", 0, 0},
  };
  for (const Case& c : cases) {
    const ParamRecord reply = infoAt(c.path, 0x4000);
    if (c.index == 0) {
      EXPECT_EQ(resultOf(reply), 1) << c.path;
      EXPECT_EQ(errorCodeOf(reply), 23006) << c.path;
      continue;
    }
    EXPECT_EQ(resultOf(reply), 0) << c.path;
    EXPECT_EQ(numberOf(reply, "jidx"), c.index) << c.path;
    EXPECT_EQ(numberOf(reply, "itype"), c.kind) << c.path;
  }
}

TEST_F(ListServerIndex, InfoRepliesCarryExactlyTheFieldsTheMaskAsksFor) {
  const int64_t top = root();
  const int64_t dir = makeDir(top, "dir");
  makeDir(dir, "inner");
  const int64_t file = addFile(dir, "f.bin", patternBytes(300));
  const std::set<std::string> listed = {"jidx", "sname", "jsize", "stime", "itype"};
  struct Case {
    bool dir_command;  // getdirinfoopt, else getfileinfoopt
    int64_t index;
    uint32_t mask;
    std::set<std::string> names;
  } cases[] = {
      {false, file, 0, {"jidx"}},
      {false, file, kListingMask, listed},
      {false, file, kLocateMask, {"jidx", "itype", "seip", "siip", "spath", "suserid"}},
      {false,
       file,
       0x2000 | 0x400 | 0x1000 | 0x8000 | 0x80,  // file-only fields
       {"jidx", "jdown", "jtsize", "setime", "sdes", "jpidx"}},
      {false, file, 0x80000000, {"jidx", "iclubno"}},  // the club by a folder bit
      {false, dir, kListingMask, listed},
      {false, dir, 0x2000000 | 0x4000000, {"jidx", "jfilenum", "jdirnum"}},
      {true, dir, 0xFFFF, {"jidx"}},  // folder info reads folder bits only
      {true, dir, 0x40000000 | 0x10000000 | 0x400000, {"jidx", "sdes", "setime", "jpidx"}},
      {false, dir, kLocateMask, {"jidx", "itype"}},  // no location for a folder
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const ParamRecord reply = c.dir_command
                                  ? call(Req("getdirinfoopt")
                                             .i64("jdidx", c.index)
                                             .i32("ioption", static_cast<int32_t>(c.mask)))
                                  : info(c.index, c.mask);
    EXPECT_EQ(resultOf(reply), 0) << i;
    EXPECT_EQ(namesOf(reply), withResult(c.names)) << i;
  }
}

TEST_F(ListServerIndex, FoldersReportWhatIsBelowThemAndFilesWhereTheirBytesAre) {
  const int64_t top = root();
  const int64_t dir = makeDir(top, "dir");
  const int64_t inner = makeDir(dir, "inner");
  const int64_t file = addFile(inner, "f.bin", patternBytes(300));
  addFile(dir, "g.bin", patternBytes(700));
  ParamRecord reply = infoAt("/dir", 0x1000000 | 0x2000000 | 0x4000000 | 0x400000);
  EXPECT_EQ(numberOf(reply, "jsize"), 1000);
  EXPECT_EQ(numberOf(reply, "jfilenum"), 2);
  EXPECT_EQ(numberOf(reply, "jdirnum"), 1);
  EXPECT_EQ(numberOf(reply, "jpidx"), top);

  reply = infoAt("/dir/inner/f.bin", kLocateMask | 0x10000 | 0x80);
  EXPECT_EQ(textOf(reply, "seip"), server_.host());
  EXPECT_EQ(textOf(reply, "siip"), server_.host());
  EXPECT_EQ(textOf(reply, "suserid"), DevServerFixture::kClubStorageUser);
  EXPECT_EQ(readFile(hostPath(textOf(reply, "spath"))), patternBytes(300));
  EXPECT_EQ(numberOf(reply, "iclubno"), kClub);
  EXPECT_EQ(numberOf(reply, "jpidx"), inner);
  // Each request for the bytes' whereabouts counts as a download.
  infoAt("/dir/inner/f.bin", kLocateMask);
  EXPECT_EQ(numberOf(info(file, 0x2000), "jdown"), 2);
  EXPECT_EQ(numberOf(info(file, 0x2000), "jdown"), 2) << "asking for other fields counts nothing";
}

TEST_F(ListServerIndex, ListingsPutFoldersFirstAndKeepToTheScopeOfTheMask) {
  const int64_t top = root();
  const int64_t dir = makeDir(top, "dir");
  addFile(dir, "b.txt", "bb");
  addFile(dir, "a.txt", "a");
  const int64_t z = makeDir(dir, "z");
  makeDir(dir, "Y");
  addFile(z, "deep.bin", patternBytes(5000));
  struct Case {
    uint32_t mask;
    std::vector<std::string> names;
  } cases[] = {
      {kListingMask, {"Y", "z", "a.txt", "b.txt"}},
      {kFilesOnly, {"a.txt", "b.txt"}},
      {kFoldersOnly, {"Y", "z"}},
      {0, {"Y", "z", "a.txt", "b.txt"}},
  };
  for (const Case& c : cases) {
    const ParamRecord reply = listing(dir, c.mask);
    ASSERT_EQ(resultOf(reply), 0);
    ASSERT_EQ(numberOf(reply, "ifilecnt"), static_cast<int64_t>(c.names.size())) << c.mask;
    for (size_t i = 0; i < c.names.size(); ++i) {
      const std::string n = std::to_string(i + 1);
      EXPECT_EQ(textOf(reply, ("sname" + n).c_str()), c.names[i]) << c.mask;
    }
  }
  const ParamRecord all = listing(dir, kListingMask);
  EXPECT_EQ(numberOf(all, "itype2"), 2);
  EXPECT_EQ(numberOf(all, "jidx2"), z);
  EXPECT_EQ(numberOf(all, "jsize2"), 5000);
  EXPECT_EQ(numberOf(all, "jfilenum2"), 1);
  EXPECT_EQ(numberOf(all, "jdirnum2"), 0);
  EXPECT_FALSE(all.has("jdown2")) << "folders carry no file fields";
  EXPECT_EQ(numberOf(all, "itype4"), 1);
  EXPECT_EQ(numberOf(all, "jsize4"), 2);
  EXPECT_EQ(numberOf(all, "jtsize4"), 2);
  EXPECT_EQ(numberOf(all, "jdown4"), 0);
  EXPECT_EQ(numberOf(all, "icopy4"), 0);
  EXPECT_EQ(textOf(all, "stime4").size(), 14u);
  EXPECT_EQ(textOf(all, "sdes4"), "");
  EXPECT_FALSE(all.has("sname5"));

  const ParamRecord inside_z = listing(z, kListingMask);
  EXPECT_EQ(numberOf(inside_z, "ifilecnt"), 1);
  EXPECT_EQ(textOf(inside_z, "sname1"), "deep.bin");
}

TEST_F(ListServerIndex, NamesThatWouldBreakPathsAreRefused) {
  const int64_t top = root();
  const std::string cases[] = {"",
                               ".",
                               "..",
                               "a/b",
                               "a\\b",
                               "a<b",
                               "c>d",
                               "tab\there",
                               "nl\n",
                               std::string(256, 'x'),
                               std::string("nul\0in", 6)};
  for (const std::string& name : cases) {
    const ParamRecord reply = call(Req("createdir").i64("jtidx", top).s("sname", name));
    EXPECT_EQ(errorCodeOf(reply), 24001) << name;
    EXPECT_EQ(errorCodeOf(uploadStart(top, name, 1, 3)), 24001) << name;
  }
  EXPECT_GT(makeDir(top, std::string(255, 'x')), 0);
  EXPECT_GT(makeDir(top, "사진 @ 2004 (1)"), 0);
  const ParamRecord listed = listing(top);
  EXPECT_EQ(numberOf(listed, "ifilecnt"), 2);
}

TEST_F(ListServerIndex, RenameMoveAndDeleteKeepTheTreeWhole) {
  const int64_t top = root();
  const int64_t a = makeDir(top, "a");
  const int64_t b = makeDir(a, "b");
  const int64_t c = makeDir(top, "c");
  const int64_t file = addFile(b, "f.bin", patternBytes(4096));
  const fs::path bytes = hostPath(textOf(info(file, kLocateMask), "spath"));
  ASSERT_TRUE(fs::exists(bytes));
  addFile(c, "f.bin", "other");
  struct Case {
    const char* what;
    ParamRecord request;
    int32_t code;
  } cases[] = {
      {"folder into itself", Req("movedir").i64("jdidx", a).i64("jtidx", a), 24001},
      {"folder below itself", Req("movedir").i64("jdidx", a).i64("jtidx", b), 24001},
      {"root moved", Req("movedir").i64("jdidx", top).i64("jtidx", c), 23009},
      {"root renamed", Req("renamedir").i64("jdidx", top).s("sname", "r"), 23009},
      {"root deleted", Req("deletedir").i64("jdidx", top), 23009},
      {"onto a name in use", Req("movefile").i64("jfidx", file).i64("jtidx", c), 23005},
      {"rename onto a sibling", Req("renamedir").i64("jdidx", c).s("sname", "a"), 23005},
      {"file moved into a file", Req("movefile").i64("jfidx", file).i64("jtidx", file), 23008},
      {"rename to its own name", Req("renamedir").i64("jdidx", c).s("sname", "c"), 0},
      {"folder into a sibling", Req("movedir").i64("jdidx", c).i64("jtidx", b), 0},
      {"file renamed", Req("renamefile").i64("jfidx", file).s("sname", "g.bin"), 0},
  };
  for (const Case& k : cases) EXPECT_EQ(code(k.request), k.code) << k.what;
  EXPECT_EQ(numberOf(infoAt("/a/b/c", 0), "jidx"), c);
  EXPECT_EQ(numberOf(infoAt("/a/b/g.bin", 0), "jidx"), file);

  // Deleting a folder takes everything below it, bytes included.
  ASSERT_EQ(resultOf(call(Req("deletedir").i64("jdidx", a))), 0);
  for (int64_t gone : {a, b, c, file}) EXPECT_EQ(errorCodeOf(info(gone, 0)), 23006) << gone;
  EXPECT_FALSE(fs::exists(bytes));
  EXPECT_EQ(numberOf(clubInfo(), "jsize"), 0);
}

TEST_F(ListServerIndex, TimesExpiriesAndDescriptionsAreCheckedAndKept) {
  const int64_t top = root();
  const int64_t dir = makeDir(top, "dir");
  const int64_t file = addFile(dir, "f.txt", "f");
  struct Case {
    const char* time;
    bool valid;
  } times[] = {
      {"20041213153005", true},  {"20040229000000", true},
      {"2004121315300", false},  {"200412131530055", false},
      {"20041301000000", false}, {"20040230000000", false},
      {"19000229000000", false}, {"20041213240000", false},
      {"2004121315300x", false}, {"", false},
  };
  for (const Case& c : times) {
    const ParamRecord reply = call(Req("setfiletime").i64("jfidx", file).s("stime", c.time));
    EXPECT_EQ(errorCodeOf(reply), c.valid ? 0 : 24001) << c.time;
  }
  EXPECT_EQ(textOf(info(file, 0x800), "stime"), "20040229000000");
  // Folders take a time through the same command.
  ASSERT_EQ(code(Req("setfiletime").i64("jfidx", dir).s("stime", "20001231235959")), 0);
  EXPECT_EQ(textOf(info(dir, 0x8000000), "stime"), "20001231235959");

  ASSERT_EQ(code(Req("setfiledescription").i64("jfidx", file).s("sdes", "설명")), 0);
  ASSERT_EQ(code(Req("setfileexpiretime").i64("jfidx", file).s("setime", "20051231")), 0);
  ASSERT_EQ(code(Req("setdirdescription").i64("jdidx", dir).s("sdes", "폴더")), 0);
  ASSERT_EQ(code(Req("setdirexpiretime").i64("jdidx", dir).s("setime", "never")), 0);
  const ParamRecord f = info(file, 0x8000 | 0x1000);
  EXPECT_EQ(textOf(f, "sdes"), "설명");
  EXPECT_EQ(textOf(f, "setime"), "20051231");
  const ParamRecord d = call(Req("getdirinfoopt").i64("jdidx", dir).i32("ioption", 0x50000000));
  EXPECT_EQ(textOf(d, "sdes"), "폴더");
  EXPECT_EQ(textOf(d, "setime"), "never");

  struct Bad {
    const char* what;
    ParamRecord request;
    int32_t code;
  } bad[] = {
      {"folder command on a file", Req("setdirdescription").i64("jdidx", file).s("sdes", "x"),
       23008},
      {"file command on a folder", Req("setfileexpiretime").i64("jfidx", dir).s("setime", "x"),
       23001},
      {"description too long",
       Req("setfiledescription").i64("jfidx", file).s("sdes", std::string(1025, 'd')), 24001},
      {"expiry too long",
       Req("setfileexpiretime").i64("jfidx", file).s("setime", std::string(65, '1')), 24001},
  };
  for (const Bad& b : bad) EXPECT_EQ(code(b.request), b.code) << b.what;
  EXPECT_EQ(textOf(info(file, 0x8000), "sdes"), "설명") << "a refused change leaves the old text";
}

TEST_F(ListServerIndex, ConcurrentRequestsEachGetAnIndexOfTheirOwn) {
  const int64_t top = root();
  constexpr int kThreads = 4, kEach = 15;
  std::vector<std::vector<int64_t>> made(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        const ParamRecord reply =
            call(Req("createdir")
                     .i64("jtidx", top)
                     .s("sname", std::to_string(t) + "-" + std::to_string(i)));
        made[t].push_back(resultOf(reply) == 0 ? numberOf(reply, "jidx") : -1);
      }
    });
  for (std::thread& t : threads) t.join();
  std::set<int64_t> all;
  for (const auto& list : made)
    for (int64_t index : list) {
      EXPECT_GT(index, top);
      all.insert(index);
    }
  EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
  EXPECT_EQ(numberOf(clubInfo(), "jdirnum"), kThreads * kEach);
}

TEST_F(ListServerIndex, TheIndexOutlivesARestartAndNeverHandsAnIndexOutTwice) {
  const int64_t top = root();
  const int64_t kept = makeDir(top, "kept");
  const int64_t file = addFile(kept, "f.bin", patternBytes(10));
  const int64_t gone = makeDir(top, "gone");
  ASSERT_EQ(resultOf(call(Req("deletedir").i64("jdidx", gone))), 0);
  server_.stop();

  devserver::DevServerOptions options;
  options.data_dir = server_.dataPath();
  options.useFreePorts();
  devserver::DevServer again(options);
  std::string error;
  ASSERT_TRUE(again.start(&error)) << error;
  auto ask = [&](const ParamRecord& request) {
    return testing::ask("127.0.0.1", again.listPort(), request);
  };
  EXPECT_EQ(numberOf(ask(Req("getclubinfo").i32("iclubno", kClub)), "jdidx"), top);
  EXPECT_EQ(numberOf(ask(Req("getfileinfofrompath")
                             .i32("iclubno", kClub)
                             .s("spath", "/kept/f.bin")
                             .i32("ioption", 0x200)),
                     "jidx"),
            file);
  const ParamRecord made = ask(Req("createdir").i64("jtidx", top).s("sname", "new"));
  EXPECT_GT(numberOf(made, "jidx"), gone);
}

}  // namespace
}  // namespace zavel::testing
