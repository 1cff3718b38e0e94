// The receive side's framing and the launch-text parser: what comes from outside.
#include <gtest/gtest.h>

#include "app/signin/frame_reader.h"
#include "app/signin/launch_keys.h"
#include "tests/app/support/fake_auth_server.h"

namespace zavel::app {
namespace {

std::vector<uint8_t> frameWith(uint32_t header, uint32_t body) {
  std::vector<uint8_t> b = {0x01, 0x31, 0x30, 0xF2, 0, 0, 0, 0};
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(header >> s));
  b.resize(b.size() + std::min<uint32_t>(header, 64), 'h');
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(body >> s));
  return b;
}

TEST(FrameReader, DeliversBackToBackAndSplitMessagesWhole) {
  const auto one = testing::queryNodeAns("root/c1").bytes();
  const auto two = testing::authAnswer("root/c1").bytes();
  std::vector<uint8_t> stream = one;
  stream.insert(stream.end(), two.begin(), two.end());

  // Every split point of the two-message stream gives the same two messages.
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    FrameReader reader;
    std::vector<std::vector<uint8_t>> got;
    portal::PortalMessage m;
    reader.append(stream.data(), cut);
    while (reader.next(&m) == FrameReader::Next::kMessage) got.push_back(m.bytes());
    reader.append(stream.data() + cut, stream.size() - cut);
    while (reader.next(&m) == FrameReader::Next::kMessage) got.push_back(m.bytes());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], one);
    EXPECT_EQ(got[1], two);
    EXPECT_EQ(reader.buffered(), 0u);
  }
}

TEST(FrameReader, RefusesBrokenOrOversizedFrames) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    FrameReader::Next expected;
  } cases[] = {
      {"wrong magic", {0x01, 0x31, 0x30, 0xF3, 0, 0, 0, 0}, FrameReader::Next::kBroken},
      {"header over 1 MiB", frameWith((1u << 20) + 1, 0), FrameReader::Next::kBroken},
      {"header of 2^32-1", frameWith(0xFFFFFFFFu, 0), FrameReader::Next::kBroken},
      {"body over 1 MiB", frameWith(8, (1u << 20) + 1), FrameReader::Next::kBroken},
      {"body of 1 MiB waits for its bytes", frameWith(8, 1u << 20), FrameReader::Next::kNone},
      {"three bytes", {0x01, 0x31, 0x30}, FrameReader::Next::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameReader reader;
    reader.append(c.bytes.data(), c.bytes.size());
    portal::PortalMessage m;
    EXPECT_EQ(reader.next(&m), c.expected);
  }
}

TEST(LaunchText, ReadsIdAndSessionKeyAfterTheScheme) {
  struct Case {
    std::u16string text;
    bool keys;
    std::u16string id;
    std::optional<std::u16string> key;
  } cases[] = {
      {u"zavel-auth:u_id=demo;u_sessionkey=abc", true, u"demo", u"abc"},
      {u"zavel-auth: U_ID = demo ; U_SessionKey =  a=b  ", true, u"demo", u"a=b"},
      {u"zavel-auth:u_id=demo", true, u"demo", std::nullopt},
      {u"zavel-auth:u_id=demo;u_sessionkey=", true, u"demo", u""},
      {u"zavel-auth:u_sessionkey=abc;u_id=x;junk;=v", true, u"x", u"abc"},
      {u"zavel-auth:u_id=;u_sessionkey=abc", false, u"", std::nullopt},
      {u"zavel-auth:", false, u"", std::nullopt},   // exactly 11 characters
      {u"zavel-auth:x", false, u"", std::nullopt},  // 12, but no pairs
      {u"u_id=demo;u", false, u"", std::nullopt},   // the pairs fall inside the 11 skipped
      {u"", false, u"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    const auto keys = parseLaunchText(c.text);
    ASSERT_EQ(keys.has_value(), c.keys);
    if (!keys) continue;
    EXPECT_EQ(keys->id, c.id);
    EXPECT_EQ(keys->sessionKey, c.key);
  }
}

}  // namespace
}  // namespace zavel::app
