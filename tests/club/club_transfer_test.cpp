#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "club/club_transfer.h"
#include "club/fingerprint.h"
#include "club/octa_session.h"
#include "session/standard_session.h"
#include "tests/club/club_test_support.h"

namespace zavel::testing {
namespace {

using Lines = std::vector<std::string>;
const std::string kBytes = "0123456789";

std::vector<uint8_t> bytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> position8(uint64_t position) {
  std::vector<uint8_t> out(8);
  for (int i = 7; i >= 0; --i, position >>= 8) out[static_cast<size_t>(i)] = position & 0xFF;
  return out;
}

// Where the list server says a file is kept, and the request that asks.
const std::string kLocate =
    "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=1982528 spath:30=/a/f.bin";
ParamRecord locatedFile(int32_t kind = 1) {
  return listReply("jidx:13=5;itype:12=" + std::to_string(kind) +
                   ";seip:30=127.0.0.1;suserid:30=alice;spath:30=/octa/b1/5");
}

// A club-disk session whose list server answers replies and whose file server runs script;
// without a script nothing listens where the file server would be.
struct ClubServers {
  explicit ClubServers(const std::vector<ParamRecord>& replies,
                       const std::function<void(FakeServer&)>& script = nullptr) {
    for (const ParamRecord& r : replies) list.answer(r);
    list.start();
    if (script) script(files), files.start();
    session = std::make_unique<CountingOctaSession>(list.port());
    session->setFileServerPort(script ? files.port() : closedPort());
  }
  ScriptedListServer list;
  FakeServer files;
  std::unique_ptr<CountingOctaSession> session;
};

// The file server signs on, is asked, and answers with bytes and a final reply.
std::function<void(FakeServer&)> serving(const std::vector<uint8_t>& bytes) {
  return [=](FakeServer& f) { f.answer(okReply()).answer(okReply()).raw(bytes).reply(okReply()); };
}

TEST(ClubTransfer, DownloadFetchesFromTheFileServerTheListServerNames) {
  TempFolder temp;
  const std::string local = temp.file("got");
  ClubServers club({locatedFile()}, serving(bytesOf(kBytes)));
  const char* own_source = "/octa/a/f.bin";
  TransferSpec spec = transferSpec(own_source, local.c_str(), 0, kBytes.size());
  EXPECT_TRUE(club.session->download(&spec, nullptr));
  EXPECT_EQ(spec.source, own_source);  // the caller's own text again
  EXPECT_EQ(readFile(local), kBytes);
  EXPECT_EQ(club.list.requests(), Lines{kLocate});
  EXPECT_EQ(linesOf(club.files),
            (Lines{"_cmd:30=setuser id:30=alice version:30=4.10.20.1",
                   "_cmd:30=download endpos:23=10 path:30=/octa/b1/5 startpos:23=0"}));
}

TEST(ClubTransfer, DownloadOfAFolderFailsBeforeAnyFileServer) {
  for (const char* path : {"/octa/a", "<5@>"}) {
    resetErrorState();
    ClubServers club({locatedFile(2)});
    TransferSpec spec = transferSpec(path, nullptr, 0, 10);
    EXPECT_FALSE(club.session->download(&spec, nullptr)) << path;
    EXPECT_EQ(zavel_GetLastError(), 17) << path;
    EXPECT_STREQ(spec.source, path);
  }
}

ParamRecord startReply(int32_t kind, int64_t path_index = -1, uint32_t notify_seconds = 3600) {
  return listReply("itype:12=" + std::to_string(kind) +
                   ";seip:30=127.0.0.1;siip:30=127.0.0.1;spath:30=/octa/b1/77;jidx:13=77;"
                   "sdir:30=/octa/b1;jpathidx:13=" +
                   std::to_string(path_index) +
                   ";inotifytime:22=" + std::to_string(notify_seconds));
}

TEST(ClubTransfer, UploadNegotiatesWithTheListServerAndReportsItsEnd) {
  TempFolder temp;
  writeFile(temp.file("up"), kBytes);
  const std::string md5 = md5Hex(kBytes);
  const std::string parent =
      "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538968064 spath:30=/a";
  const auto start = [&](int option, bool fingerprinted = true) {
    return "_cmd:30=uploadstart ioption:12=" + std::to_string(option) +
           " jfsize:13=10 jtidx:13=20 schecksum:30=" + (fingerprinted ? md5 : "") +
           " sname:30=new.bin";
  };
  const std::string end = "_cmd:30=uploadend checksum:30=" + md5 + " jfidx:13=77 jfsize:13=10";
  const std::string cut = "_cmd:30=uploadend jfidx:13=77 jfsize:13=-2";
  const std::string made = "_cmd:30=uploadmkdirend jpathidx:13=9";
  const std::string notified = "_cmd:30=uploadnotify jfidx:13=77 jfsize:13=10";
  const ParamRecord ok = listReply(), gone = listFailure(23006, "gone"), s0 = startReply(0),
                    s1 = startReply(1), s2 = startReply(2), s5 = startReply(5), s6 = startReply(6),
                    s7 = startReply(7), s9 = startReply(1, 9), s0n = startReply(1, -1, 0);
  enum Files { kUpload, kMkdirUpload, kRefusedSignOn, kSignOn, kNone };
  // Kinds the list server answers: 1 new, 6 existing, 5 taken, 2 a folder, 0 refused; s9 asks
  // for a storage folder first, s0n for a notice every step. A refused end is not sent again;
  // a local file that will not open takes the new file back.
  // replies: after the parent's.
  struct Case {
    const char* what;
    int32_t truncate;
    std::vector<ParamRecord> replies;
    Files files;
    int32_t error;
    Lines requests;
    const char* local = "up";
    const char* text = nullptr;
  };
  // clang-format off
  const Case cases[] = {
      {"new file", 0, {s1, ok}, kUpload, 0, {parent, start(3), end}},
      {"existing file resumed", 0, {s6, s1, ok}, kUpload, 0, {parent, start(3), start(2), end}},
      {"existing overwritten", 1, {s6, s1, ok}, kUpload, 0, {parent, start(2), start(1), end}},
      {"storage folder first", 0, {s9, ok, ok}, kMkdirUpload, 0, {parent, start(3), made, end}},
      {"notified every step", 0, {s0n, ok, ok}, kUpload, 0, {parent, start(3), notified, end}},
      {"a folder by that name", 0, {s5, s2, ok}, kNone, 38, {parent, start(3), start(1), cut}},
      {"an unexpected kind", 0, {s5, s7, ok}, kNone, 37, {parent, start(3), start(1), cut}},
      {"refused outright", 0, {s0, ok}, kNone, 15, {parent, start(3), cut}},
      {"file server refuses", 0, {s1, ok}, kRefusedSignOn, 22001, {parent, start(3), cut}},
      {"end refused", 0, {s1, gone}, kUpload, 23006, {parent, start(3), end}, "up", "gone"},
      {"no local file", 0, {s1, ok}, kSignOn, 23002, {parent, start(3, false), cut}, "missing"}};
  // clang-format on
  for (const auto& c : cases) {
    resetErrorState();
    std::vector<ParamRecord> replies{entryReply(20, 2)};
    replies.insert(replies.end(), c.replies.begin(), c.replies.end());
    const bool uploads = c.files == kUpload || c.files == kMkdirUpload;
    ClubServers club(replies, [&](FakeServer& files) {
      if (c.files == kMkdirUpload) files.answer(okReply()).answer(okReply()).accept();
      if (uploads) files.answer(okReply()).answer(okReply()).receiveRaw(kBytes.size());
      if (uploads) files.reply(okReply());
      if (c.files == kRefusedSignOn) files.answer(okReply(22001, "wrong id"));
      if (c.files == kSignOn) files.answer(okReply());
    });
    FakeServer& files = club.files;

    const char* own_destination = "/octa/a/new.bin";
    const std::string local = temp.file(c.local);
    TransferSpec spec = transferSpec(local.c_str(), own_destination, 0, 10, c.truncate);
    EXPECT_EQ(club.session->upload(&spec, nullptr), c.error == 0) << c.what;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.what;
    if (c.text) {
      EXPECT_STREQ(zavel_GetLastErrStr(), c.text) << c.what;
    }
    EXPECT_EQ(spec.destination, own_destination) << c.what;
    EXPECT_EQ(club.list.requests(), c.requests) << c.what;
    if (c.files == kNone) continue;
    const auto seen = linesOf(files);
    if (c.files == kMkdirUpload) {
      ASSERT_EQ(seen.size(), 4u) << c.what;
      EXPECT_EQ(seen[0], "_cmd:30=setuser id:30=octa version:30=4.10.20.1");
      EXPECT_EQ(seen[1], "_cmd:30=createdir fullpath:30=/octa/b1");
    }
    if (!uploads) continue;
    EXPECT_EQ(seen.back(), "_cmd:30=upload endpos:23=10 istrunc:12=" + std::to_string(c.truncate) +
                               " path:30=/octa/b1/77 startpos:23=0")
        << c.what;
    EXPECT_EQ(files.rawReceived(), bytesOf(kBytes)) << c.what;
  }
}

TEST(ClubTransfer, UploadsWithNowhereToGoAreRefusedBeforeTheNegotiation) {
  // An end before the start, no name, index 0, a parent that is a file.
  struct Case {
    const char* destination;
    uint64_t start;
    std::vector<ParamRecord> replies;
    int32_t error;
  };
  // clang-format off
  const Case cases[] = {
      {"/a/new.bin", 11, {}, 24001}, {"/octa", 0, {}, 6}, {"<0@>/new.bin", 0, {}, 6},
       {"/a/new.bin", 0, {entryReply(20, 1)}, 6}};
  // clang-format on
  for (const auto& c : cases) {
    resetErrorState();
    TransferSpec upload = transferSpec("/no/local/file", c.destination, c.start, 10);
    EXPECT_EQ(
        sent(c.replies, [&](OctaSession& s) { EXPECT_FALSE(s.upload(&upload, nullptr)); }).size(),
        c.replies.size())
        << c.destination;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.destination;
  }
}

struct Reports {
  static inline std::vector<TransferProgress> seen;
  static void record(const TransferProgress* p) { seen.push_back(*p); }
};

TEST(ClubTransfer, CopyExFollowsTheDestinationKind) {
  const char* own_source = "/octa/a/f.bin";
  const char* own_target_host = "10.0.0.2";
  const std::string source =
      "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=16448 spath:30=/a/f.bin";
  // Kind 0 is nothing at all, a folder is no source, any other kind than 0 to 3 is no copy;
  // kind 1 is a copy the list server makes, reported once; kind 2 has the file's own server
  // copy it to the target, and says so by setting the kind to 0.
  struct Case {
    int32_t kind;
    std::vector<ParamRecord> replies;
    bool files;
    bool ok;
    int32_t error;
    Lines requests;
    size_t reports;
    int32_t kind_after;
  };
  // clang-format off
  const Case cases[] = {
      {0, {}, false, false, 777, {}, 0, 0},
      {1, {entryReply(5, 2)}, false, false, 17, {source}, 0, 1},
      {7, {}, false, false, 24001, {}, 0, 7},
      {1, {entryReply(5, 1), entryReply(20, 2), listReply()}, false, true, 777,
       {source, "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=0 spath:30=/b",
       "_cmd:30=copyfile ioption:12=1 jfidx:13=5 jtidx:13=20"}, 1, 1},
      {2, {locatedFile()}, true, true, 0, {kLocate}, 1, 0}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    zavel_SetLastError(777);
    Reports::seen.clear();
    ClubServers club(c.replies, c.files ? serving(position8(10)) : nullptr);
    int32_t kind = c.kind;
    int user_value = 0;
    CopyTarget target{own_target_host, 9553, "peer", "pw"};
    TransferSpec spec = transferSpec(own_source, c.files ? "/peer/f" : "/octa/b/copy.bin", 0, 10);
    spec.destinationKind = &kind;
    spec.userValue = &user_value;
    spec.progressCallback = &Reports::record;
    EXPECT_EQ(club.session->copyEx(c.files ? &target : nullptr, &spec, nullptr), c.ok);
    EXPECT_EQ(zavel_GetLastError(), c.error);
    EXPECT_EQ(club.list.requests(), c.requests);
    EXPECT_EQ(kind, c.kind_after);
    EXPECT_EQ(spec.source, own_source);
    ASSERT_EQ(Reports::seen.size(), c.reports);
    for (const TransferProgress& p : Reports::seen) {
      if (c.files) break;  // the file server's own reports: the session tests'

      EXPECT_EQ(
          std::tuple(p.direction, p.position, p.userValue, p.spec, p.session),
          std::tuple(4, 0u, &user_value, &spec,
                     reinterpret_cast<ZavelSession*>(static_cast<Session*>(club.session.get()))));
    }
    if (!c.files) continue;
    EXPECT_EQ(target.host, own_target_host);
    EXPECT_EQ(linesOf(club.files).back(),
              "_cmd:30=copyex destpath:30=/peer/f endpos:23=10 id:30=peer ip:30=10.0.0.2 "
              "istrunc:12=0 pass:30=pw port:12=9553 srcpath:30=/octa/b1/5 startpos:23=0 "
              "version:12=2");
  }
}

TEST(ClubTransfer, PersonalDiskCopiesToAClubThroughAPreparedDestination) {
  installClubDestination();
  ScriptedListServer list;
  ParamRecord prepared = startReply(1);
  prepared.setString("seip", "10.1.2.3");
  list.answer(entryReply(20, 2)).answer(prepared).answer(listReply()).start();
  FakeServer files;
  serving(position8(10))(files);
  files.start();
  StandardSession session("127.0.0.1", files.port(), "alice", "", kTestTimeout);
  ASSERT_TRUE(session.signOn());

  int32_t kind = 3;
  int32_t club = kTestClub;
  const char* own_destination = "/octa/a/new.bin";
  CopyTarget target{"127.0.0.1", list.port(), "member", "pw"};
  TransferSpec spec = transferSpec("/alice/f", own_destination, 0, 10);
  spec.destinationKind = &kind;
  spec.destinationExtra = &club;
  EXPECT_TRUE(session.copyEx(&target, &spec, nullptr));
  EXPECT_EQ(spec.destination, own_destination);
  EXPECT_EQ(list.requests(),
            (Lines{"_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538968064 spath:30=/a",
                   "_cmd:30=uploadstart ioption:12=3 jfsize:13=10 jtidx:13=20 schecksum:30= "
                   "sname:30=new.bin",
                   "_cmd:30=uploadend checksum:30= jfidx:13=77 jfsize:13=10"}));
  EXPECT_EQ(linesOf(files).back(),
            "_cmd:30=copyex destpath:30=/octa/b1/77 endpos:23=10 id:30=octa ip:30=10.1.2.3 "
            "istrunc:12=0 pass:30=pw port:12=" +
                std::to_string(files.port()) + " srcpath:30=/alice/f startpos:23=0 version:12=2");
}

// The fingerprint an upload negotiates with.
TEST(Fingerprint, SmallFilesWholeLargeFilesByThousandSamples) {
  TempFolder temp;
  for (size_t size : {0, 10241, 1048576, 1048577, 5000000}) {
    const std::string bytes = patterned(size);
    writeFile(temp.file("f"), bytes);
    std::string expected_input = size <= 1048576 ? bytes : "";
    for (size_t k = 0; size > 1048576 && k < 1000; ++k)
      expected_input += bytes.substr(k * (size / 1000), 1048);
    EXPECT_EQ(fileFingerprint(temp.file("f").c_str()), md5Hex(expected_input)) << size;
  }
  // A file that cannot be opened has none.
  EXPECT_EQ(fileFingerprint(temp.file("missing").c_str()), "");
  EXPECT_EQ(fileFingerprint(nullptr), "");
  EXPECT_EQ(fileFingerprint(""), "");
}

}  // namespace
}  // namespace zavel::testing
