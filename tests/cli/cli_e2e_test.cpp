// zavel-cli end to end: the program itself, run as a child process against an in-process
// zavel-devserver on real folders. Not on a terminal, so it prints nothing but errors.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/cli/cli_process.h"
#include "tests/cli/gated_relay.h"
#include "tests/support/devserver_fixture.h"

namespace zavel {
namespace {

namespace fs = std::filesystem;
using testing::CliProcess;
using testing::CliResult;
using testing::DevServerFixture;
using testing::DevServerFixtureOptions;
using testing::GatedRelay;
using testing::runCli;

void writeRandom(const fs::path& path, size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string sha256(const fs::path& path) {
  const std::string bytes = readAll(path);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  return std::string(reinterpret_cast<char*>(digest), length);
}

// Every file below root by relative name with its digest; folders with an empty digest.
std::map<std::string, std::string> digests(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(e.path(), root).string();
    out[name] = e.is_directory() ? "" : sha256(e.path());
  }
  return out;
}

class Cli : public ::testing::Test {
 protected:
  explicit Cli(DevServerFixtureOptions options = {}) : server_(options) {
    std::string pattern = (fs::temp_directory_path() / "zavel-cli-e2e-XXXXXX").string();
    local_ = ::mkdtemp(pattern.data());
  }
  ~Cli() override { fs::remove_all(local_); }

  std::vector<std::string> connection(uint16_t port) const {
    return {"--host", server_.host(),         "--port", std::to_string(port),
            "--user", DevServerFixture::kUser};
  }
  // Runs a command on the test account's disk.
  CliResult cli(std::vector<std::string> args, uint16_t port = 0) const {
    std::vector<std::string> all = connection(port != 0 ? port : server_.port());
    all.insert(all.end(), args.begin(), args.end());
    return runCli(all, {{"ZAVEL_PASSWORD", DevServerFixture::kPassword}});
  }
  fs::path disk(const std::string& relative) const { return server_.diskPath() / relative; }

  DevServerFixture server_;
  fs::path local_;
};

TEST_F(Cli, AFolderGoesUpAndComesBackWithIdenticalDigests) {
  const fs::path tree = local_ / "사진 모음";
  fs::create_directories(tree / "2004/여름");
  fs::create_directories(tree / "빈 폴더");
  writeRandom(tree / "big.bin", 300000, 1);  // several steps of the library
  writeRandom(tree / "2004/여름/바다.jpg", 65536, 2);
  writeRandom(tree / "2004/exactly-one-step", 65536 * 2, 3);
  std::ofstream(tree / "2004/empty.txt").close();

  const CliResult up = cli({"put", tree.string()});
  ASSERT_EQ(up.status, 0) << up.err;
  EXPECT_EQ(up.out, "");
  EXPECT_EQ(up.err, "");  // not on a terminal: nothing but errors
  EXPECT_EQ(digests(disk("사진 모음")), digests(tree));

  const CliResult down = cli({"get", "사진 모음", (local_ / "back").string()});
  ASSERT_EQ(down.status, 0) << down.err;
  EXPECT_EQ(down.err, "");
  EXPECT_EQ(digests(local_ / "back"), digests(tree));
  EXPECT_TRUE(fs::is_directory(local_ / "back/빈 폴더"));
}

TEST_F(Cli, AGetStoppedByCtrlCLeavesAPartialFileThatResumeCompletes) {
  constexpr size_t kSize = 6u << 20;
  writeRandom(disk("movie.bin"), kSize, 4);
  // The relay holds the server's bytes after 2 MiB, so the download stands still there.
  GatedRelay relay(server_.port(), 2u << 20);
  const fs::path target = local_ / "movie.bin";
  std::vector<std::string> args = connection(relay.port());
  args.insert(args.end(), {"get", "movie.bin", target.string()});
  CliProcess first(args, {{"ZAVEL_PASSWORD", DevServerFixture::kPassword}});
  ASSERT_TRUE(relay.waitUntilHeld(std::chrono::seconds(60)));

  first.signal(SIGINT);
  ASSERT_TRUE(first.waitForError("interrupted", std::chrono::seconds(60))) << first.err();
  relay.open();  // the next step sees the cancel flag
  EXPECT_EQ(first.wait(), 130) << first.err();
  EXPECT_NE(first.err().find("--resume"), std::string::npos) << first.err();
  const uint64_t partial = fs::file_size(target);
  EXPECT_GT(partial, 0u);
  EXPECT_LT(partial, kSize);
  EXPECT_EQ(readAll(target), readAll(disk("movie.bin")).substr(0, partial));

  const CliResult again = cli({"get", "--resume", "movie.bin", target.string()});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(sha256(target), sha256(disk("movie.bin")));
}

TEST_F(Cli, EachConflictOptionDoesWhatItSaysOnGetAndPut) {
  writeRandom(disk("remote.bin"), 200000, 5);
  const std::string remote = readAll(disk("remote.bin"));
  const std::string other(1000, 'x');
  const struct {
    const char* option;    // "" for none
    std::string existing;  // the local target before the get
    int status;
    std::string after;    // the local target after it
    const char* message;  // in the error output, "" for none
  } cases[] = {
      {"--resume", remote.substr(0, 70000), 0, remote, ""},
      {"--resume", remote, 0, remote, ""},  // complete already: left alone
      {"--resume", remote + "tail", 1, remote + "tail", "larger than the source"},
      {"--overwrite", other, 0, remote, ""},
      {"--overwrite", remote + "tail", 0, remote, ""},
      {"--skip", other, 0, other, ""},
      {"", other, 1, other, "exists (choose --resume, --overwrite or --skip)"},
  };
  for (const auto& c : cases) {
    const fs::path target = local_ / "local.bin";
    std::ofstream(target, std::ios::binary | std::ios::trunc) << c.existing;
    std::vector<std::string> args = {"get", "remote.bin", target.string()};
    if (*c.option != '\0') args.insert(args.begin() + 1, c.option);
    const CliResult r = cli(args);
    EXPECT_EQ(r.status, c.status) << c.option << " " << c.existing.size() << ": " << r.err;
    EXPECT_TRUE(readAll(target) == c.after) << c.option << " " << c.existing.size();
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }

  // The same decisions on the disk's side.
  const fs::path source = local_ / "up.bin";
  std::ofstream(source, std::ios::binary) << remote;
  std::ofstream(disk("up.bin"), std::ios::binary) << remote.substr(0, 1000);
  const CliResult refused = cli({"put", source.string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("up.bin: exists"), std::string::npos) << refused.err;
  EXPECT_EQ(cli({"put", "--skip", source.string()}).status, 0);
  EXPECT_EQ(fs::file_size(disk("up.bin")), 1000u);
  EXPECT_EQ(cli({"put", "--resume", source.string()}).status, 0);
  EXPECT_EQ(sha256(disk("up.bin")), sha256(source));
  std::ofstream(disk("up.bin"), std::ios::binary | std::ios::trunc) << other;
  EXPECT_EQ(cli({"put", "--overwrite", source.string()}).status, 0);
  EXPECT_EQ(sha256(disk("up.bin")), sha256(source));
}

// A loopback port with nothing listening on it.
uint16_t closedPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
  ::close(s);
  return ntohs(a.sin_port);
}

TEST_F(Cli, FailuresExitNonZeroWithTheLibrarysMessageAndNumber) {
  const std::string port = std::to_string(server_.port()), gone = (local_ / "missing").string();
  const std::string not_found = "file or directory not exist (23006)";
  const struct {
    std::vector<std::string> args;  // after --host and --port of the server
    const char* password;           // nullptr: none given
    int status;
    std::string message;
  } cases[] = {
      {{"--user", "nobody", "ls"}, "secret", 1, "wrong id (22001)"},
      {{"--user", "tester", "df"}, "wrong", 1, "wrong passwd (22002)"},
      // The connection options may also follow the command.
      {{"ls", "missing", "--user", "tester"}, "secret", 1, "zavel-cli: ls: missing: " + not_found},
      {{"--user", "tester", "get", "missing", local_.string()},
       "secret",
       1,
       "/tester/missing: " + not_found},
      {{"--user", "tester", "stat", "missing"}, "secret", 1, not_found},
      {{"--user", "tester", "cat", "missing"}, "secret", 1, not_found},
      {{"--user", "tester", "rm", "missing"}, "secret", 1, not_found},
      {{"--user", "tester", "put", gone}, "secret", 1, "no such file or folder"},
      {{"ls"}, nullptr, 2, "needs --host and --user"},
      {{"--user", "tester"}, nullptr, 2, "subcommand"},
  };
  auto check = [](const CliResult& r, int status, const std::string& message) {
    EXPECT_EQ(r.status, status) << message << ": " << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << message;
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--host", server_.host(), "--port", port};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::map<std::string, std::string> env;
    if (c.password) env["ZAVEL_PASSWORD"] = c.password;
    check(runCli(args, env), c.status, c.message);
  }
  check(runCli({"--host", "127.0.0.1", "--port", std::to_string(closedPort()), "--user", "tester",
                "ls"},
               {{"ZAVEL_PASSWORD", "secret"}}),
        1, "connect fail (21001)");
  check(runCli({"--club", "7", "ls"}), 2, "--list-server");
}

TEST_F(Cli, FileCommandsWorkOnTheDiskAndListingsShowIt) {
  std::ofstream(disk("a.txt")) << "hello";
  EXPECT_EQ(cli({"mkdir", "docs", "more"}).status, 0);
  EXPECT_EQ(cli({"cp", "a.txt", "docs"}).status, 0);
  EXPECT_EQ(cli({"mv", "a.txt", "more/b.txt"}).status, 0);       // another folder, another name
  EXPECT_EQ(cli({"mv", "docs/a.txt", "docs/c.txt"}).status, 0);  // a rename in place
  EXPECT_EQ(readAll(disk("docs/c.txt")), "hello");
  EXPECT_EQ(readAll(disk("more/b.txt")), "hello");
  EXPECT_FALSE(fs::exists(disk("a.txt")));

  const CliResult ls = cli({"ls", "-R"});
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_NE(ls.out.find("/tester:\n"), std::string::npos) << ls.out;
  EXPECT_NE(ls.out.find("docs/\n"), std::string::npos) << ls.out;
  EXPECT_NE(ls.out.find("/tester/docs:\n"), std::string::npos) << ls.out;
  EXPECT_NE(ls.out.find("5  "), std::string::npos) << ls.out;
  EXPECT_NE(ls.out.find("  c.txt\n"), std::string::npos) << ls.out;

  const CliResult stat = cli({"stat", "more/b.txt"});
  EXPECT_NE(stat.out.find("type         file\nsize         5 bytes"), std::string::npos)
      << stat.out;

  writeRandom(disk("docs/bytes.bin"), 100000, 6);
  const CliResult cat = cli({"cat", "docs/bytes.bin"});
  EXPECT_EQ(cat.status, 0) << cat.err;
  EXPECT_TRUE(cat.out == readAll(disk("docs/bytes.bin")));

  const CliResult df = cli({"df"});
  EXPECT_EQ(df.status, 0) << df.err;
  EXPECT_NE(df.out.find("size  1.0 GiB  (1073741824 bytes)"), std::string::npos) << df.out;

  const CliResult folder = cli({"rm", "docs"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
  EXPECT_TRUE(fs::exists(disk("docs/c.txt")));
  EXPECT_EQ(cli({"rm", "-r", "docs", "more/b.txt"}).status, 0);
  EXPECT_FALSE(fs::exists(disk("docs")));
  EXPECT_FALSE(fs::exists(disk("more/b.txt")));
  EXPECT_EQ(cli({"rm", "-r", "/tester"}).status, 1);  // never the whole disk
  EXPECT_TRUE(fs::exists(disk("more")));
}

// The club disk: its file server has to be on port 9553, on a loopback address of its own.
class ClubCli : public Cli {
 protected:
  ClubCli() : Cli(DevServerFixtureOptions{.club_file_port = true}) {}
  CliResult club(std::vector<std::string> args) const {
    std::vector<std::string> all = {"--club", std::to_string(DevServerFixture::kClub),
                                    "--list-server",
                                    server_.host() + ":" + std::to_string(server_.listPort())};
    all.insert(all.end(), args.begin(), args.end());
    return runCli(all);
  }
};

TEST_F(ClubCli, ItemsAreReachedByPathOrByKeyAndFoldersRoundTrip) {
  const fs::path tree = local_ / "club-up";
  fs::create_directories(tree / "inner");
  writeRandom(tree / "one.bin", 150000, 7);
  writeRandom(tree / "inner/two.bin", 1000, 8);
  const CliResult up = club({"put", tree.string(), "/octa"});
  ASSERT_EQ(up.status, 0) << up.err;

  const CliResult ls = club({"ls", "/octa/club-up"});
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_NE(ls.out.find("inner/"), std::string::npos) << ls.out;
  // The key of inner/ as the listing shows it: "<N@>  inner/".
  const size_t at = ls.out.find("@>  inner/");
  ASSERT_NE(at, std::string::npos) << ls.out;
  const size_t open = ls.out.rfind('<', at);
  const std::string key = ls.out.substr(open, at + 2 - open);

  const CliResult by_key = club({"get", key, (local_ / "by-key").string()});
  ASSERT_EQ(by_key.status, 0) << by_key.err;
  EXPECT_EQ(digests(local_ / "by-key"), digests(tree / "inner"));
  const CliResult by_path = club({"get", "/octa/club-up", (local_ / "by-path").string()});
  ASSERT_EQ(by_path.status, 0) << by_path.err;
  EXPECT_EQ(digests(local_ / "by-path"), digests(tree));

  const CliResult df = club({"df"});
  EXPECT_EQ(df.status, 0) << df.err;
  EXPECT_NE(df.out.find("used"), std::string::npos);
}

}  // namespace
}  // namespace zavel
