// Socket calls that never switch a socket's mode: each recv and send passes MSG_DONTWAIT
// and waits by poll() itself, so the same calls serve a non-blocking client stream and a
// server's accepted blocking one, without an fcntl per call.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace zavel {

// True when the last failed call only would have blocked.
bool wouldBlock();

// Waits up to timeout_ms (any negative value: without limit) until the socket can take
// `events` (POLLIN, POLLOUT). A peer that closed or failed counts as ready: the next recv
// or send says so.
bool waitReady(int handle, short events, int32_t timeout_ms);

// One recv or send that never blocks: the count, 0 when the peer closed, -1 with errno set.
// A send never raises SIGPIPE; MSG_MORE among its flags holds a short send back until a
// send without it, so a reply and the data behind it leave in one segment.
ssize_t recvNow(int handle, void* data, size_t size, int flags);
ssize_t sendNow(int handle, const void* data, size_t size, int flags = 0);

// Receives once, waiting up to timeout_ms when nothing is there yet: the count, 0 when the
// peer closed, -1 on an error or when nothing came in time.
ssize_t receiveSome(int handle, void* data, size_t size, int32_t timeout_ms);

// Reads or writes until `size` bytes are through, each wait for the socket lasting at most
// timeout_ms: the count done, short when the peer closed, failed or went quiet.
size_t receiveAll(int handle, void* data, size_t size, int32_t timeout_ms);
size_t sendAll(int handle, const void* data, size_t size, int32_t timeout_ms, int flags = 0);

}  // namespace zavel
