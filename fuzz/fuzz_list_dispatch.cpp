// Feeds framed request records to the club list server's listener as it is by default: the
// club commands over a fresh index of one club (its root folder is index 1) for every input,
// and the portal's lookups beside them; the connect log's requests too. The input is what
// clients send on connections to the list server: messages one after another.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "devserver/file/fs_ops.h"
#include "devserver/file/server_context.h"
#include "devserver/list/club_index.h"
#include "devserver/list/club_storage.h"
#include "devserver/list/list_commands.h"
#include "devserver/portal/connect_log.h"
#include "devserver/portal/portal_commands.h"
#include "protocol/framing.h"

namespace {

using namespace zavel;
using namespace zavel::devserver;

struct Scratch {
  std::filesystem::path dir;
  ServerContext context;
  std::unique_ptr<ClubStorage> storage;

  Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zavel-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) abort();
    dir = pattern;
    std::string error;
    if (!parseConfig(R"({"clubs":[{"number":7,"quota_mb":4}]})", &context.config, &error) ||
        !addClubStorage(&context.config, &error) || !openDisks(context, dir.string(), &error))
      abort();
    storage = std::make_unique<ClubStorage>(*context.disk(kClubStorageAccount));
    if (!parseConfig(R"({"accounts":[{"id":"u","domain":"zavel.net","user_number":5,
                          "disks":[{"number":"5"},{"kind":"octa","number":"7"}]}],
                         "clubs":[{"number":7,"members":[{"id":"u","level":2}]}]})",
                     &portal_config, &error))
      abort();
  }
  Config portal_config;
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Empties the storage disk, so every input starts from the same state.
  void reset() {
    Disk* disk = context.disk(kClubStorageAccount);
    std::vector<std::string> names;
    readNames(disk->rootFd(), ".", &names);
    for (const std::string& n : names) disk->removeTree(disk->rootFd(), n.c_str());
    std::error_code ec;
    std::filesystem::remove(logFile(), ec);
  }
  std::filesystem::path logFile() const { return dir / kConnectLogFileName; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  {
    std::string error;
    std::unique_ptr<ClubIndex> index =
        ClubIndex::open(":memory:", scratch.context.config, *scratch.storage, 1, &error);
    if (!index) abort();
    ListDispatcher dispatcher(ListContext{scratch.context.config, *index, *scratch.storage});
    PortalDispatcher portal(scratch.portal_config);
    portal.setLogServer("127.0.0.1", 22223);
    ConnectLog log(scratch.logFile());
    for (int requests = 0; requests < 64 && size >= kHeaderSize; ++requests) {
      const int64_t body = peekBodyLength(data);
      if (body < 0 || static_cast<uint64_t>(body) > size - kHeaderSize) break;
      const size_t total = kHeaderSize + static_cast<size_t>(body);
      ParamRecord request;
      const int64_t decoded = decodeMessage(request, data, total);
      data += total;
      size -= total;
      ParamRecord reply(kFlagScramble);
      if (decoded == kFrameBadBody) {
        ListDispatcher::rejectMalformed(reply);
      } else if (decoded < 0) {
        break;
      } else {
        const char* command = "";
        request.getString("_cmd", &command);
        if (portal.serves(command))
          portal.handle(request, reply, "127.0.0.1");
        else if (log.serves(command))
          log.handle(request, reply, "127.0.0.1");
        else
          dispatcher.handle(request, reply);
      }
      std::vector<uint8_t> out(encodedSize(reply));
      if (encodeMessage(reply, out.data(), out.size()) <= 0) abort();  // every reply fits
    }
  }
  scratch.reset();
  return 0;
}
