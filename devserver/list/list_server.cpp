#include "devserver/list/list_server.h"

#include <ace/ACE.h>

#include "devserver/file/file_server.h"
#include "devserver/peer.h"
#include "devserver/server_errors.h"
#include "protocol/connection.h"

namespace zavel::devserver {

ListServer::ListServer(ListDispatcher& dispatcher, size_t max_connections)
    : dispatcher_(dispatcher),
      listener_(max_connections,
                [this](ACE_HANDLE handle, bool over_limit) { serve(handle, over_limit); }) {}

ListServer::~ListServer() {
  stop();
}

bool ListServer::listen(const std::string& host, uint16_t port, std::string* error) {
  return listener_.listen(host, port, error);
}

void ListServer::serve(ACE_HANDLE handle, bool over_limit) {
  SocketPeer peer(handle);
  while (!listener_.stopping()) {
    ACE_Time_Value idle = timeoutValue(kIdleTimeoutMs);
    if (ACE::handle_read_ready(handle, &idle) <= 0) return;
    ParamRecord request;
    const ReceiveResult got = receiveRequest(handle, request, kRequestTimeoutMs);
    if (got == ReceiveResult::kClosed) return;
    ParamRecord reply(kFlagScramble);
    if (over_limit) {
      setListResult(reply, kErrSessionLimit);
    } else if (got == ReceiveResult::kMalformed) {
      ListDispatcher::rejectMalformed(reply);
    } else {
      dispatcher_.handle(request, reply);
    }
    if (!peer.sendReply(reply) || over_limit) return;
  }
}

}  // namespace zavel::devserver
