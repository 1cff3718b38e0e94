// Which listeners other machines could reach. The file server opens a personal disk by its id
// alone, as the real service does once the client has signed in, so off loopback anyone who
// can connect may read and write every disk.
#pragma once

#include <string>
#include <vector>

#include "devserver/dev_server.h"

namespace zavel::devserver {

// True for 127.0.0.0/8, ::1 (also as ::ffff:127.x.y.z) and "localhost". Any other name is
// false: what it resolves to may change, and only numeric addresses are checked.
bool isLoopbackHost(const std::string& host);

// "ROLE HOST:PORT" of every listener in options that is not on loopback, in the order the
// endpoint lines use; empty when all of them are.
std::vector<std::string> remoteEndpoints(const DevServerOptions& options);

}  // namespace zavel::devserver
