// The client side of the authentication exchange fed a hostile router's bytes, in arbitrary
// pieces: after the node question, and (when the second byte is odd) after a router that has
// already given the node, so that answers addressed to it are read as well.
#include <cstddef>
#include <cstdint>

#include "client/auth_exchange.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t piece = 1 + data[0] % 64;
  const bool routed = data[1] & 1;
  data += 2;
  size -= 2;
  zavel::client::AuthExchange exchange("user@zavel.net", "pw", routed ? "key" : "");
  exchange.connected();
  if (routed) {
    zavel::portal::FormMap header;
    for (const auto& [key, value] : {std::pair{"ctrl", "general"},
                                     {"general", "queryNodeAns"},
                                     {"parentname", "root"},
                                     {"childname", "c1"},
                                     {"yournodeaddr", "root/c1"}})
      header.set(key, value);
    zavel::portal::PortalMessage reply;
    exchange.handle(zavel::portal::PortalMessage::build(header, zavel::portal::FormMap()), &reply);
  }
  for (size_t at = 0; at < size && !exchange.finished(); at += piece)
    exchange.received(data + at, size - at < piece ? size - at : piece);
  return 0;
}
