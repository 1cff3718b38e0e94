// zavel-cli's account pieces without a server: the program's settings file, the rights
// each command needs and the JSON disk list.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/account.h"
#include "cli/program_settings.h"
#include "cli/rights.h"

namespace zavel::cli {
namespace {

std::string where(const client::Endpoint& e) {
  return e.host + ":" + std::to_string(e.port);
}

TEST(Settings, TheProgramsFileNamesThePortalAndTheClubServerAsQtReadsIt) {
  struct Case {
    const char* text;
    const char* portal;
    const char* club;
  };
  const char* defaults = "127.0.0.1:22222";
  // clang-format off
  const Case cases[] = {
      {"", defaults, defaults},
      {"[server]\nip=portal.example.net\nport=22000\n"
       "[serverOCTA]\nip=club.example.net\nport=23000\n",
       "portal.example.net:22000", "club.example.net:23000"},
      // Names compare ignoring case; the order of the sections does not matter.
      {"[SERVEROCTA]\nIP=c\nPort=2\n[Server]\nIp=p\nPORT=1\n", "p:1", "c:2"},
      // Other sections, and values before any section, are not the servers'.
      {"ip=x\nport=9\n[user]\nip=u\nport=3\n[serverOCTA2]\nip=o\n[server]\nip=p\n",
       "p:22222", defaults},
      // A byte order mark, CR LF line ends, blanks around names and values.
      {"\xEF\xBB\xBF[ server ]\r\n ip = p \r\nport = 44\r\n", "p:44", defaults},
      // Quoted values, comments after a value and on lines of their own.
      {"; ip=no\n[server]\n# port=7\nip=\"p q\"\nport=45 ; the old one was 44\n", "p q:45",
       defaults},
      // A port that is no port from 1 to 65535, and an empty ip, mean the defaults.
      {"[server]\nip=\nport=0\n[serverOCTA]\nip=c\nport=65536\n", defaults, "c:22222"},
      {"[server]\nport=12ab\n[serverOCTA]\nport=-1\n", defaults, defaults},
      // The last of repeated values counts, even when it is unusable.
      {"[server]\nport=1\n[serverOCTA]\nport=5\n[server]\nport=2\n[serverOCTA]\nport=x\n",
       "127.0.0.1:2", defaults},
  };
  // clang-format on
  for (const auto& c : cases) {
    const ProgramServers servers = parseProgramSettings(c.text);
    EXPECT_EQ(where(servers.portal), c.portal) << c.text;
    EXPECT_EQ(where(servers.club), c.club) << c.text;
  }
}

TEST(Rights, EachCommandIsRefusedExactlyWhereTheModeForbidsWhatItDoes) {
  // Per mode 1, 2, 3, 4: '.' runs, 'N' refused as no-delete, 'R' refused as read-only.
  struct Case {
    const char* command;
    const char* by_mode;
  };
  // clang-format off
  const Case cases[] = {
      {"ls", "...."}, {"get", "...."}, {"df", "...."}, {"stat", "...."}, {"cat", "...."},
      {"put", "..R."}, {"mkdir", "..R."}, {"cp", "..R."},
      {"rm", ".NR."}, {"mv", ".NR."},
  };
  // clang-format on
  for (const auto& c : cases) {
    for (int32_t mode = 1; mode <= 4; ++mode) {
      const std::string refusal = rightsRefusal(c.command, mode);
      const char expected = c.by_mode[mode - 1];
      SCOPED_TRACE(std::string(c.command) + " in mode " + std::to_string(mode) + ": " + refusal);
      const char* word = expected == 'N' ? "no-delete" : expected == 'R' ? "read-only" : "";
      EXPECT_EQ(refusal.empty(), expected == '.');
      EXPECT_NE(refusal.find(word), std::string::npos);
    }
  }
}

TEST(Account, TheJsonDiskListKeepsNumbersAsNumbersAndSurvivesBadTexts) {
  const std::vector<DiskRights> disks = {
      {{"1001", "My zavel", "personal"}, 1},
      {{"12ab", "half \xEC\x82", "octa"}, 2},  // a name cut inside a character
      {{"", "", "octa"}, std::nullopt},
  };
  const nlohmann::json expected = nlohmann::json::parse(R"([
      {"name": "My zavel", "kind": "personal", "number": 1001, "rights": "read-write"},
      {"name": "half \ufffd", "kind": "club", "number": "12ab", "rights": "no-delete"},
      {"name": "", "kind": "club", "number": "", "rights": null}])");
  const std::string text = disksJson(disks);
  EXPECT_EQ(nlohmann::json::parse(text), expected) << text;
  EXPECT_LT(text.find("\"name\""), text.find("\"kind\"")) << "keys as written, not sorted";
}

}  // namespace
}  // namespace zavel::cli
