// Feeds what a client sends on one connection to the authentication router: whole frames
// one after another, each answered (or dropped) as the server does, until the stream is
// out of step. Every answer must frame and parse again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "devserver/config.h"
#include "devserver/portal/auth_server.h"

namespace {

using namespace zavel;
using namespace zavel::devserver;

const Config& config() {
  static const Config c = [] {
    Config parsed;
    std::string error;
    if (!parseConfig(R"({"accounts":[{"id":"demo","domain":"zavel.net","password":"demo",
                          "session_keys":["k"],"user_number":1001}]})",
                     &parsed, &error))
      abort();
    return parsed;
  }();
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AuthExchange exchange(config(), "c1");
  for (int messages = 0; messages < 64; ++messages) {
    size_t length = 0;
    if (portal::checkFrame(data, size, &length) != portal::FrameStatus::kComplete) break;
    const portal::PortalMessage message(std::vector<uint8_t>(data, data + length));
    data += length;
    size -= length;
    if (std::optional<portal::PortalMessage> reply = exchange.answer(message)) {
      portal::FormMap header;
      size_t again = 0;
      if (portal::checkFrame(reply->bytes().data(), reply->bytes().size(), &again) !=
              portal::FrameStatus::kComplete ||
          again != reply->bytes().size() || !reply->parseHeader(&header))
        abort();
    }
  }
  return 0;
}
