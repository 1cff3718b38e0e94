#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "club/club_transfer.h"
#include "club/octa_session.h"
#include "session/standard_session.h"
#include "tests/club/club_test_support.h"

namespace zavel::testing {
namespace {

const std::string kBytes = "0123456789";

std::vector<uint8_t> bytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> position8(uint64_t position) {
  std::vector<uint8_t> out(8);
  for (int i = 7; i >= 0; --i, position >>= 8) out[static_cast<size_t>(i)] = position & 0xFF;
  return out;
}

// Where the list server says a file is kept.
ParamRecord locatedFile(int32_t kind = 1) {
  ParamRecord r = entryReply(5, kind);
  r.setString("seip", "127.0.0.1");
  r.setString("suserid", "alice");
  r.setString("spath", "/octa/b1/5");
  return r;
}

TransferSpec specOf(const char* source, const char* destination, uint64_t end,
                    int32_t truncate = 0) {
  TransferSpec s{};
  s.source = source;
  s.destination = destination;
  s.end = end;
  s.truncate = truncate;
  return s;
}

TEST(ClubTransfer, DownloadFetchesFromTheFileServerTheListServerNames) {
  TempFolder temp;
  const std::string local = temp.file("got");
  ScriptedListServer list;
  list.answer(locatedFile()).start();
  FakeServer files;
  files.answer(okReply()).answer(okReply()).raw(bytesOf(kBytes)).reply(okReply()).start();
  CountingOctaSession session(list.port());
  session.setFileServerPort(files.port());

  const char* own_source = "/octa/a/f.bin";
  TransferSpec spec = specOf(own_source, local.c_str(), kBytes.size());
  EXPECT_TRUE(session.download(&spec, nullptr));
  EXPECT_EQ(spec.source, own_source);  // the caller's own text again
  EXPECT_EQ(readFile(local), kBytes);
  EXPECT_EQ(list.requests(), std::vector<std::string>{"_cmd:30=getfileinfofrompath "
                                                      "iclubno:12=4242 ioption:12=1982528 "
                                                      "spath:30=/a/f.bin"});
  EXPECT_EQ(linesOf(files), (std::vector<std::string>{
                                "_cmd:30=setuser id:30=alice version:30=4.10.20.1",
                                "_cmd:30=download endpos:23=10 path:30=/octa/b1/5 startpos:23=0"}));
}

TEST(ClubTransfer, DownloadOfAFolderFailsBeforeAnyFileServer) {
  for (const char* path : {"/octa/a", "<5@>"}) {
    resetErrorState();
    ScriptedListServer list;
    list.answer(locatedFile(2)).start();
    CountingOctaSession session(list.port());
    session.setFileServerPort(closedPort());
    TransferSpec spec = specOf(path, nullptr, 10);
    EXPECT_FALSE(session.download(&spec, nullptr)) << path;
    EXPECT_EQ(zavel_GetLastError(), 17) << path;
    EXPECT_STREQ(spec.source, path);
  }
}

ParamRecord startReply(int32_t kind, int64_t path_index, uint32_t notify_seconds) {
  ParamRecord r = listReply();
  r.setInt32("itype", kind);
  r.setString("seip", "127.0.0.1");
  r.setString("siip", "127.0.0.1");
  r.setString("spath", "/octa/b1/77");
  r.setInt64("jidx", 77);
  r.setInt64("jpathidx", path_index);
  r.setString("sdir", "/octa/b1");
  r.setUInt32("inotifytime", notify_seconds);
  return r;
}

TEST(ClubTransfer, UploadNegotiatesWithTheListServerAndReportsItsEnd) {
  TempFolder temp;
  const std::string local = temp.file("up");
  writeFile(local, kBytes);
  const std::string md5 = md5Hex(kBytes);
  const std::string parent =
      "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538968064 spath:30=/a";
  const auto start = [&](int option) {
    return "_cmd:30=uploadstart ioption:12=" + std::to_string(option) +
           " jfsize:13=10 jtidx:13=20 schecksum:30=" + md5 + " sname:30=new.bin";
  };
  const std::string end = "_cmd:30=uploadend checksum:30=" + md5 + " jfidx:13=77 jfsize:13=10";
  const std::string cancelled = "_cmd:30=uploadend jfidx:13=77 jfsize:13=-2";
  const ParamRecord s1 = startReply(1, -1, 3600), s6 = startReply(6, -1, 3600),
                    s5 = startReply(5, -1, 3600);
  enum Files { kUpload, kFolderThenUpload, kRefusedSignOn, kNone };
  // Kinds the list server answers: 1 new, 6 existing, 5 taken, 2 a folder, 0 refused.
  const struct {
    const char* what;
    int32_t truncate;
    std::vector<ParamRecord> starts;
    int after;  // list replies after the negotiation
    Files files;
    int32_t error;
    std::vector<std::string> requests;
  } cases[] = {
      {"new file", 0, {s1}, 1, kUpload, 0, {parent, start(3), end}},
      {"existing file resumed", 0, {s6, s1}, 1, kUpload, 0, {parent, start(3), start(2), end}},
      {"existing file overwritten", 1, {s6, s1}, 1, kUpload, 0, {parent, start(2), start(1), end}},
      {"storage folder made first",
       0,
       {startReply(1, 9, 3600)},
       2,
       kFolderThenUpload,
       0,
       {parent, start(3), "_cmd:30=uploadmkdirend jpathidx:13=9", end}},
      {"notified every step",
       0,
       {startReply(1, -1, 0)},
       2,
       kUpload,
       0,
       {parent, start(3), "_cmd:30=uploadnotify jfidx:13=77 jfsize:13=10", end}},
      {"a folder by that name",
       0,
       {s5, startReply(2, -1, 3600)},
       1,
       kNone,
       38,
       {parent, start(3), start(1), cancelled}},
      {"an unexpected kind",
       0,
       {s5, startReply(7, -1, 3600)},
       1,
       kNone,
       37,
       {parent, start(3), start(1), cancelled}},
      {"refused outright",
       0,
       {startReply(0, -1, 3600)},
       1,
       kNone,
       15,
       {parent, start(3), cancelled}},
      {"file server refuses", 0, {s1}, 1, kRefusedSignOn, 22001, {parent, start(3), cancelled}}};
  for (const auto& c : cases) {
    resetErrorState();
    ScriptedListServer list;
    list.answer(entryReply(20, 2));
    for (const ParamRecord& r : c.starts) list.answer(r);
    for (int i = 0; i < c.after; ++i) list.answer(listReply());
    list.start();
    FakeServer files;
    if (c.files == kFolderThenUpload) files.answer(okReply()).answer(okReply()).accept();
    if (c.files == kUpload || c.files == kFolderThenUpload)
      files.answer(okReply()).answer(okReply()).receiveRaw(kBytes.size()).reply(okReply());
    if (c.files == kRefusedSignOn) files.answer(okReply(22001, "wrong id"));
    files.start();
    CountingOctaSession session(list.port());
    session.setFileServerPort(files.port());

    const char* own_destination = "/octa/a/new.bin";
    TransferSpec spec = specOf(local.c_str(), own_destination, kBytes.size(), c.truncate);
    EXPECT_EQ(session.upload(&spec, nullptr), c.error == 0) << c.what;
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.what;
    EXPECT_EQ(spec.destination, own_destination) << c.what;
    EXPECT_EQ(list.requests(), c.requests) << c.what;
    if (c.files == kNone) continue;
    const auto seen = linesOf(files);
    if (c.files == kFolderThenUpload) {
      ASSERT_EQ(seen.size(), 4u) << c.what;
      EXPECT_EQ(seen[0], "_cmd:30=setuser id:30=octa version:30=4.10.20.1");
      EXPECT_EQ(seen[1], "_cmd:30=createdir fullpath:30=/octa/b1");
    }
    if (c.files != kRefusedSignOn) {
      EXPECT_EQ(seen.back(), "_cmd:30=upload endpos:23=10 istrunc:12=" +
                                 std::to_string(c.truncate) + " path:30=/octa/b1/77 startpos:23=0")
          << c.what;
      EXPECT_EQ(files.rawReceived(), bytesOf(kBytes)) << c.what;
    }
  }
}

TEST(ClubTransfer, UploadFailingAfterTheNegotiationFails) {
  TempFolder temp;
  writeFile(temp.file("up"), kBytes);
  // The list server never hears the end; the local file will not open, so the new file is
  // taken back.
  const struct {
    const char* local;
    ParamRecord end_reply;
    int32_t error;
    const char* text;
    const char* last_request;
  } cases[] = {
      {"up", listFailure(23006, "gone"), 23006, "gone",
       "_cmd:30=uploadend checksum:30=781e5e245d69b566979b86e28d23f2c7 jfidx:13=77 "
       "jfsize:13=10"},
      {"missing", listReply(), 23002, nullptr, "_cmd:30=uploadend jfidx:13=77 jfsize:13=-2"}};
  for (const auto& c : cases) {
    resetErrorState();
    ScriptedListServer list;
    list.answer(entryReply(20, 2)).answer(startReply(1, -1, 3600)).answer(c.end_reply).start();
    FakeServer files;
    files.answer(okReply());
    if (c.text) files.answer(okReply()).receiveRaw(kBytes.size()).reply(okReply());
    files.start();
    CountingOctaSession session(list.port());
    session.setFileServerPort(files.port());
    const std::string local = temp.file(c.local);
    TransferSpec spec = specOf(local.c_str(), "/a/new.bin", kBytes.size());
    EXPECT_FALSE(session.upload(&spec, nullptr));
    EXPECT_EQ(zavel_GetLastError(), c.error);
    if (c.text) {
      EXPECT_STREQ(zavel_GetLastErrStr(), c.text);
    }
    EXPECT_EQ(list.requests().back(), c.last_request);
  }
}

struct Reports {
  static inline std::vector<TransferProgress> seen;
  static void record(const TransferProgress* p) { seen.push_back(*p); }
};

TEST(ClubTransfer, CopyExFollowsTheDestinationKind) {
  const char* own_source = "/octa/a/f.bin";
  // Kind 0 is nothing at all, a folder is no source, any other kind than 0 to 3 is no copy.
  const struct {
    int32_t kind;
    std::vector<ParamRecord> replies;
    int32_t error;
  } refused[] = {{0, {}, 777}, {1, {entryReply(5, 2)}, 17}, {7, {}, 24001}};
  for (const auto& c : refused) {
    zavel_SetLastError(777);
    int32_t kind = c.kind;
    TransferSpec spec = specOf(own_source, "/octa/b/copy.bin", 10);
    spec.destinationKind = &kind;
    EXPECT_EQ(
        sent(c.replies, [&](OctaSession& s) { EXPECT_FALSE(s.copyEx(nullptr, &spec, nullptr)); })
            .size(),
        c.replies.size());
    EXPECT_EQ(zavel_GetLastError(), c.error) << c.kind;
  }
  {
    // Kind 1: a copy the list server makes, reported once.
    ScriptedListServer list;
    list.answer(entryReply(5, 1)).answer(entryReply(20, 2)).answer(listReply()).start();
    CountingOctaSession session(list.port());
    int32_t kind = 1;
    int user_value = 0;
    TransferSpec spec = specOf(own_source, "/octa/b/copy.bin", 10);
    spec.destinationKind = &kind;
    spec.userValue = &user_value;
    spec.progressCallback = &Reports::record;
    Reports::seen.clear();
    EXPECT_TRUE(session.copyEx(nullptr, &spec, nullptr));
    EXPECT_EQ(list.requests(),
              (std::vector<std::string>{
                  "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=16448 spath:30=/a/f.bin",
                  "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=0 spath:30=/b",
                  "_cmd:30=copyfile ioption:12=1 jfidx:13=5 jtidx:13=20"}));
    ASSERT_EQ(Reports::seen.size(), 1u);
    EXPECT_EQ(Reports::seen[0].direction, 4);
    EXPECT_EQ(Reports::seen[0].position, 0u);
    EXPECT_EQ(Reports::seen[0].userValue, &user_value);
    EXPECT_EQ(Reports::seen[0].spec, &spec);
    EXPECT_EQ(Reports::seen[0].session,
              reinterpret_cast<ZavelSession*>(static_cast<Session*>(&session)));
  }
  {
    // Kind 2: the file's own server copies it to the target.
    ScriptedListServer list;
    list.answer(locatedFile()).start();
    FakeServer files;
    files.answer(okReply()).answer(okReply()).raw(position8(10)).reply(okReply()).start();
    CountingOctaSession session(list.port());
    session.setFileServerPort(files.port());
    int32_t kind = 2;
    const char* own_target_host = "10.0.0.2";
    CopyTarget target{own_target_host, 9553, "peer", "pw"};
    TransferSpec spec = specOf(own_source, "/peer/f", 10);
    spec.destinationKind = &kind;
    EXPECT_TRUE(session.copyEx(&target, &spec, nullptr));
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(spec.source, own_source);
    EXPECT_EQ(target.host, own_target_host);
    EXPECT_EQ(linesOf(files).back(),
              "_cmd:30=copyex destpath:30=/peer/f endpos:23=10 id:30=peer ip:30=10.0.0.2 "
              "istrunc:12=0 pass:30=pw port:12=9553 srcpath:30=/octa/b1/5 startpos:23=0 "
              "version:12=2");
  }
}

TEST(ClubTransfer, PersonalDiskCopiesToAClubThroughAPreparedDestination) {
  installClubDestination();
  ScriptedListServer list;
  ParamRecord prepared = startReply(1, -1, 3600);
  prepared.setString("seip", "10.1.2.3");
  list.answer(entryReply(20, 2)).answer(prepared).answer(listReply()).start();
  FakeServer files;
  files.answer(okReply()).answer(okReply()).raw(position8(10)).reply(okReply()).start();
  StandardSession session("127.0.0.1", files.port(), "alice", "", kTestTimeout);
  ASSERT_TRUE(session.signOn());

  int32_t kind = 3;
  int32_t club = kTestClub;
  const char* own_destination = "/octa/a/new.bin";
  CopyTarget target{"127.0.0.1", list.port(), "member", "pw"};
  TransferSpec spec = specOf("/alice/f", own_destination, 10);
  spec.destinationKind = &kind;
  spec.destinationExtra = &club;
  EXPECT_TRUE(session.copyEx(&target, &spec, nullptr));
  EXPECT_EQ(spec.destination, own_destination);
  EXPECT_EQ(list.requests(),
            (std::vector<std::string>{
                "_cmd:30=getfileinfofrompath iclubno:12=4242 ioption:12=538968064 spath:30=/a",
                "_cmd:30=uploadstart ioption:12=3 jfsize:13=10 jtidx:13=20 schecksum:30= "
                "sname:30=new.bin",
                "_cmd:30=uploadend checksum:30= jfidx:13=77 jfsize:13=10"}));
  EXPECT_EQ(linesOf(files).back(),
            "_cmd:30=copyex destpath:30=/octa/b1/77 endpos:23=10 id:30=octa ip:30=10.1.2.3 "
            "istrunc:12=0 pass:30=pw port:12=" +
                std::to_string(files.port()) + " srcpath:30=/alice/f startpos:23=0 version:12=2");
}

}  // namespace
}  // namespace zavel::testing
