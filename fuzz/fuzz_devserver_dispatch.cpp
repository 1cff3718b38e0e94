// Feeds framed request records to the file server's dispatcher, signed on to a scratch
// disk. The input is the client's side of a connection: messages one after another, with
// the raw bytes of any data phase following its request, as on the wire.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "devserver/file/dispatcher.h"
#include "devserver/file/fs_ops.h"
#include "devserver/file/server_context.h"
#include "protocol/framing.h"

namespace {

using namespace zavel;
using namespace zavel::devserver;

// The rest of the input, shared by the request reader and the data phase.
struct Input {
  const uint8_t* data;
  size_t size;
};

class InputPeer : public Peer {
 public:
  explicit InputPeer(Input& in) : in_(in) {}
  bool sendReply(const ParamRecord& reply, bool) override {
    std::vector<uint8_t> out(encodedSize(reply));
    return encodeMessage(reply, out.data(), out.size()) > 0;
  }
  bool sendBytes(const void*, size_t, bool) override { return true; }
  int64_t receiveBytes(void* data, size_t size, int) override {
    const size_t n = size < in_.size ? size : in_.size;
    memcpy(data, in_.data, n);
    in_.data += n;
    in_.size -= n;
    return static_cast<int64_t>(n);
  }

 private:
  Input& in_;
};

struct Scratch {
  std::filesystem::path dir;
  ServerContext context;
  std::unique_ptr<Dispatcher> dispatcher;

  Scratch() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zavel-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) abort();
    dir = pattern;
    std::string error;
    if (!parseConfig(R"({"accounts":[{"id":"fuzz","password":"pw","disks":[{"quota_mb":4}]}]})",
                     &context.config, &error) ||
        !openDisks(context, dir.string(), &error))
      abort();
    context.copy_to_loopback = false;  // a copy never leaves the process
    context.copy_hosts.clear();
    dispatcher = std::make_unique<Dispatcher>(context);
    std::filesystem::create_directories(dir / "disks" / "fuzz" / "folder");
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Empties the disk but for one folder, so every input starts from the same state.
  void reset() {
    Disk* disk = context.disk("fuzz");
    std::vector<std::string> names;
    readNames(disk->rootFd(), ".", &names);
    for (const std::string& n : names)
      if (n != "folder") disk->removeTree(disk->rootFd(), n.c_str());
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  Input in{data, size};
  InputPeer peer(in);
  {
    ConnectionState conn;
    ParamRecord sign_on(kFlagScramble);
    sign_on.setString("_cmd", "setuser");
    sign_on.setString("id", "fuzz");
    scratch.dispatcher->handle(conn, sign_on, peer);
    for (int requests = 0; requests < 64 && in.size >= kHeaderSize; ++requests) {
      const int64_t body = peekBodyLength(in.data);
      if (body < 0 || static_cast<uint64_t>(body) > in.size - kHeaderSize) break;
      const size_t total = kHeaderSize + static_cast<size_t>(body);
      ParamRecord request;
      const int64_t decoded = decodeMessage(request, in.data, total);
      in.data += total;
      in.size -= total;
      if (decoded == kFrameBadBody) {
        scratch.dispatcher->rejectMalformed(peer);
      } else if (decoded < 0 || !scratch.dispatcher->handle(conn, request, peer)) {
        break;
      }
    }
  }
  scratch.reset();
  return 0;
}
